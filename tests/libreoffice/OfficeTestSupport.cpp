#include "OfficeTestSupport.h"

#include <QFileInfo>

namespace qp::test {

static QString dataFile(const QString& name) {
    return qEnvironmentVariable("QP_SOURCE_DIR") + "/tests/libreoffice/data/" + name;
}

OfficeFixtures::OfficeFixtures() : m_profile(LibreOfficeApplication::defaultProgramDir()) {
    convert(dataFile("letter.fodt"), "doc:MS Word 97");
    convert(dataFile("book.fods"), "xls:MS Excel 97");
    convert(dataFile("slides.fodp"), "ppt:MS PowerPoint 97");
}

QString OfficeFixtures::convert(const QString& source, const QString& format) const {
    QProcess soffice;
    soffice.start("soffice", {"-env:UserInstallation=" + m_profile.url(), "--headless",
                              "--convert-to", format, "--outdir", m_dir.path(), source});
    const QString made =
        m_dir.filePath(QFileInfo(source).completeBaseName() + '.' + format.section(':', 0, 0));
    if (!soffice.waitForFinished(300000) || !QFile::exists(made))
        throw std::runtime_error("LibreOffice did not make " + made.toStdString());
    return made;
}

// The letter's two pages and as many more as it takes, each a paragraph that begins a page.
QString OfficeFixtures::longDoc(int pages) const {
    const QByteArray page = "<text:p text:style-name=\"Break\">QPLONG PAGE</text:p>";
    const QByteArray odf =
        fileBytes(dataFile("letter.fodt"))
            .replace("<office:text>", "<office:text>" + page.repeated(pages - 2));
    return convert(file(QString("long%1.fodt").arg(pages), odf), "doc:MS Word 97");
}

QString OfficeFixtures::file(const QString& name, const QByteArray& content) const {
    QFile out(m_dir.filePath(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
        throw std::runtime_error("cannot write " + name.toStdString());
    return out.fileName();
}

} // namespace qp::test
