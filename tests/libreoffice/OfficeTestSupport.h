#pragma once

#include "platform/libreoffice/LibreOfficeApplication.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QFileInfo>

namespace qp::test {

// Word, Excel and PowerPoint files that LibreOffice itself makes of the flat ODF in data/:
// 2 pages, 3 sheets each naming itself in A1, 2 slides.
class OfficeFixtures {
public:
    OfficeFixtures() {
        convert(dataFile("letter.fodt"), "doc:MS Word 97");
        convert(dataFile("book.fods"), "xls:MS Excel 97");
        convert(dataFile("slides.fodp"), "ppt:MS PowerPoint 97");
    }
    QString doc() const { return m_dir.filePath("letter.doc"); }
    QString xls() const { return m_dir.filePath("book.xls"); }
    QString ppt() const { return m_dir.filePath("slides.ppt"); }
    // A Word document of that many pages: the letter's two and as many more as it takes, each
    // a paragraph that begins a page.
    QString longDoc(int pages) const {
        const QByteArray page = "<text:p text:style-name=\"Break\">QPLONG PAGE</text:p>";
        const QByteArray odf =
            fileBytes(dataFile("letter.fodt"))
                .replace("<office:text>", "<office:text>" + page.repeated(pages - 2));
        return convert(file(QString("long%1.fodt").arg(pages), odf), "doc:MS Word 97");
    }
    // The workbook with its middle sheet, BETA, hidden.
    QString xlsHidingBeta() const {
        const QByteArray odf =
            fileBytes(dataFile("book.fods"))
                .replace("<office:body>",
                         "<office:automatic-styles><style:style style:name=\"hid\" "
                         "style:family=\"table\"><style:table-properties table:display="
                         "\"false\"/></style:style></office:automatic-styles><office:body>")
                .replace("\"BETA\"", "\"BETA\" table:style-name=\"hid\"");
        return convert(file("hiding.fods", odf), "xls:MS Excel 97");
    }
    QString file(const QString& name, const QByteArray& content) const {
        writeFile(m_dir.filePath(name), content);
        return m_dir.filePath(name);
    }
    // The file LibreOffice makes of the source in the format given ("pdf", "doc:MS Word 97").
    QString convert(const QString& source, const QString& format) const {
        QProcess soffice;
        soffice.start("soffice", {"-env:UserInstallation=" + m_profile.url(), "--headless",
                                  "--convert-to", format, "--outdir", m_dir.path(), source});
        const QString made =
            m_dir.filePath(QFileInfo(source).completeBaseName() + '.' + format.section(':', 0, 0));
        if (!soffice.waitForFinished(300000) || !QFile::exists(made))
            throw std::runtime_error("LibreOffice did not make " + made.toStdString());
        return made;
    }

private:
    static QString dataFile(const QString& name) {
        return qEnvironmentVariable("QP_SOURCE_DIR") + "/tests/libreoffice/data/" + name;
    }

    // The converting office's own, apart from the office under test.
    OfficeProfile m_profile{LibreOfficeApplication::defaultProgramDir()};
    QTemporaryDir m_dir;
};

// Sends what the office rendered, as the batch run does once it reaches the entry.
inline void sendJobs(OfficeApplication& office) {
    for (const RenderedJob& job : office.takeRenderedJobs())
        office.send(job);
}

// Per job its pages, then the sheets it shows by the name in their A1: "1 ALPHA".
inline QStringList pagesAndSheets(const QStringList& jobs) {
    QStringList shown;
    for (const QString& job : jobs) {
        shown << QString::number(pdfPages(job));
        for (const char* sheet : {"ALPHA", "BETA", "GAMMA"})
            if (pdfText(job).contains(QString("QPSHEET ") + sheet))
                shown.last() += QString(" ") + sheet;
    }
    return shown;
}

// For one suite: the private CUPS server, the fixtures, and one office, started at its first
// use and kept from test to test as from entry to entry.
class OfficeSuite : public KeptJobsTest {
protected:
    static void SetUpTestSuite() {
        KeptJobsTest::SetUpTestSuite();
        fixtures = new OfficeFixtures;
        office = new LibreOfficeApplication(settings);
    }
    static void TearDownTestSuite() {
        delete office;
        delete fixtures;
        KeptJobsTest::TearDownTestSuite();
    }

    static inline OfficeFixtures* fixtures = nullptr;
    static inline FakeSettingsStore settings;
    static inline LibreOfficeApplication* office = nullptr;
};

} // namespace qp::test
