#include "OfficeTestSupport.h"

#include "platform/libreoffice/OfficeProfile.h"

#include <QFileInfo>

namespace qp::test {
namespace {

// A flat ODF document of that kind whose paragraphs of style "Break" begin a page.
QByteArray flatOdf(const char* kind, const QByteArray& body) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document") +
           " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
           " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
           " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
           " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
           " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
           " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
           " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
           " office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument." +
           kind +
           "\"><office:automatic-styles><style:style style:name=\"Break\" style:family="
           "\"paragraph\"><style:paragraph-properties fo:break-before=\"page\"/></style:style>"
           "</office:automatic-styles><office:body><office:" +
           kind + ">" + body + "</office:" + kind + "></office:body></office:document>\n";
}

// A Word document with one page for each text.
QByteArray pages(const QStringList& texts) {
    return "<text:p text:style-name=\"Break\">" +
           texts.join("</text:p><text:p text:style-name=\"Break\">").toUtf8() + "</text:p>";
}

} // namespace

OfficeFixtures::OfficeFixtures()
    : m_profile(std::make_unique<OfficeProfile>(LibreOfficeApplication::defaultProgramDir())) {
    QByteArray sheets, slides;
    for (const QString& mark : sheetMarks)
        sheets += "<table:table table:name=\"" + mark.section(' ', 1).toUtf8() +
                  "\"><table:table-row><table:table-cell office:value-type=\"string\"><text:p>" +
                  mark.toUtf8() + "</text:p></table:table-cell></table:table-row></table:table>";
    for (const char* mark : {"QPSLIDE ONE", "QPSLIDE TWO"})
        slides += QByteArray("<draw:page draw:name=\"") + mark +
                  "\"><draw:frame svg:x=\"2cm\" "
                  "svg:y=\"2cm\" svg:width=\"20cm\" svg:height=\"4cm\"><draw:text-box><text:p>" +
                  mark + "</text:p></draw:text-box></draw:frame></draw:page>";
    convert(
        file("letter.fodt", flatOdf("text", pages({"QPWORD FIRST PAGE", "QPWORD SECOND PAGE"}))),
        "doc:MS Word 97");
    convert(file("book.fods", flatOdf("spreadsheet", sheets)), "xls:MS Excel 97");
    convert(file("slides.fodp", flatOdf("presentation", slides)), "ppt:MS PowerPoint 97");
}

OfficeFixtures::~OfficeFixtures() = default;

QString OfficeFixtures::convert(const QString& source, const QString& format) const {
    QProcess soffice;
    soffice.start("soffice", {"-env:UserInstallation=" + m_profile->url(), "--headless",
                              "--convert-to", format, "--outdir", m_dir.path(), source});
    const QString made =
        m_dir.filePath(QFileInfo(source).completeBaseName() + '.' + format.section(':', 0, 0));
    if (!soffice.waitForFinished(300000) || !QFile::exists(made))
        throw std::runtime_error("LibreOffice did not make " + made.toStdString());
    return made;
}

QString OfficeFixtures::longDoc(int count) const {
    QStringList texts;
    for (int page = 1; page <= count; ++page)
        texts << "QPLONG PAGE " + QString::number(page);
    return convert(file(QString("long%1.fodt").arg(count), flatOdf("text", pages(texts))),
                   "doc:MS Word 97");
}

QString OfficeFixtures::copy(const QString& source, const QString& name) const {
    QFile::remove(m_dir.filePath(name));
    if (!QFile::copy(source, m_dir.filePath(name)))
        throw std::runtime_error("cannot copy to " + name.toStdString());
    return m_dir.filePath(name);
}

QString OfficeFixtures::file(const QString& name, const QByteArray& content) const {
    QFile out(m_dir.filePath(name));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size())
        throw std::runtime_error("cannot write " + name.toStdString());
    return out.fileName();
}

void OfficeSuite::SetUpTestSuite() {
    KeptJobsTest::SetUpTestSuite();
    fixtures = new OfficeFixtures;
    office = new LibreOfficeApplication(settings);
}

void OfficeSuite::TearDownTestSuite() {
    delete office;
    delete fixtures;
    KeptJobsTest::TearDownTestSuite();
}

} // namespace qp::test
