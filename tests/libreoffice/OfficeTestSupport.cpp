#include "OfficeTestSupport.h"

#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "platform/libreoffice/OfficeProfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>
#include <stdexcept>

namespace qp::test {

namespace {

const char* const Namespaces =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" "
    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
    "office:version=\"1.2\"";

QByteArray document(const char* mimetype, const QByteArray& styles, const QByteArray& body) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document ") +
           Namespaces + " office:mimetype=\"application/vnd.oasis.opendocument." + mimetype +
           "\">" + styles + "<office:body>" + body + "</office:body></office:document>\n";
}

QByteArray textDocument() {
    return document("text",
                    "<office:automatic-styles><style:style style:name=\"Break\" "
                    "style:family=\"paragraph\"><style:paragraph-properties "
                    "fo:break-before=\"page\"/></style:style></office:automatic-styles>",
                    "<office:text><text:p>QPWORD FIRST PAGE</text:p>"
                    "<text:p text:style-name=\"Break\">QPWORD SECOND PAGE</text:p></office:text>");
}

QByteArray spreadsheet() {
    QByteArray sheets;
    const QStringList names{QStringLiteral("Alpha"), QStringLiteral("Beta"),
                            QStringLiteral("Gamma")};
    for (int i = 0; i < names.size(); ++i)
        sheets += "<table:table table:name=\"" + names[i].toUtf8() +
                  "\"><table:table-row><table:table-cell office:value-type=\"string\"><text:p>" +
                  OfficeFixtures::sheetMarks()[i].toUtf8() +
                  "</text:p></table:table-cell></table:table-row></table:table>";
    return document("spreadsheet", {}, "<office:spreadsheet>" + sheets + "</office:spreadsheet>");
}

QByteArray presentation() {
    QByteArray pages;
    for (const char* mark : {"QPSLIDE ONE", "QPSLIDE TWO"})
        pages += QByteArray("<draw:page draw:name=\"") + mark +
                 "\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\" svg:width=\"20cm\" "
                 "svg:height=\"4cm\"><draw:text-box><text:p>" +
                 mark + "</text:p></draw:text-box></draw:frame></draw:page>";
    return document("presentation", {}, "<office:presentation>" + pages + "</office:presentation>");
}

QString run(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs) || process.exitCode() != 0)
        throw std::runtime_error((program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) +
                                  QStringLiteral(" failed: ") +
                                  QString::fromLocal8Bit(process.readAllStandardError()))
                                     .toStdString());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace

const QStringList& OfficeFixtures::sheetMarks() {
    static const QStringList marks{QStringLiteral("QPSHEET ALPHA"), QStringLiteral("QPSHEET BETA"),
                                   QStringLiteral("QPSHEET GAMMA")};
    return marks;
}

OfficeFixtures::~OfficeFixtures() = default;

OfficeFixtures::OfficeFixtures() {
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder for fixtures");
    // A seeded profile of its own: quick to start, and never shared with the office under test.
    m_profile = std::make_unique<OfficeProfile>(LibreOfficeAutomation::defaultProgramDir());
    const QString letter = file(QStringLiteral("letter.fodt"), textDocument());
    const QString book = file(QStringLiteral("book.fods"), spreadsheet());
    const QString slides = file(QStringLiteral("slides.fodp"), presentation());
    convert(QStringLiteral("doc:MS Word 97"), letter);
    convert(QStringLiteral("xls:MS Excel 97"), book);
    convert(QStringLiteral("ppt:MS PowerPoint 97"), slides);
    for (const QString& made : {doc(), xls(), ppt()})
        if (!QFile::exists(made))
            throw std::runtime_error("LibreOffice did not make " + made.toStdString());
}

void OfficeFixtures::convert(const QString& format, const QString& source) {
    run(QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=") + m_profile->url(), QStringLiteral("--headless"),
         QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"), m_dir.path(), source});
}

QString OfficeFixtures::copy(const QString& source, const QString& name) const {
    const QString target = m_dir.filePath(name);
    QFile::remove(target);
    if (!QFile::copy(source, target))
        throw std::runtime_error("cannot copy to " + target.toStdString());
    return target;
}

QString OfficeFixtures::file(const QString& name, const QByteArray& content) const {
    const QString path = m_dir.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString());
    return path;
}

int pdfPages(const QString& path) {
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfText(const QString& path) {
    return run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
}

QString corpusDir() {
    const QString dir = QString::fromLocal8Bit(qgetenv("QP_CORPUS_DIR"));
    if (!dir.isEmpty() && QFile::exists(dir + QStringLiteral("/MANIFEST.tsv")))
        return QDir(dir).absolutePath();
    return {};
}

bool mustNotSkip() {
    return qgetenv("CI") == "true";
}

} // namespace qp::test
