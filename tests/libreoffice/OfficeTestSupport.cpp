#include "OfficeTestSupport.h"

#include "platform/libreoffice/LibreOfficeApplication.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <stdexcept>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

const char* const Namespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";

QByteArray flatOdf(const char* mimetype, const QByteArray& styles, const QByteArray& body) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document") + Namespaces +
           " office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument." +
           mimetype + "\">" + styles + "<office:body>" + body +
           "</office:body></office:document>\n";
}

QString run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        throw std::runtime_error(u"%1 %2 failed: %3"_s
                                     .arg(program, args.join(QLatin1Char(' ')),
                                          QString::fromLocal8Bit(process.readAllStandardError()))
                                     .toStdString());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace

const QStringList& OfficeFixtures::sheetMarks() {
    static const QStringList marks{u"QPSHEET ALPHA"_s, u"QPSHEET BETA"_s, u"QPSHEET GAMMA"_s};
    return marks;
}

OfficeFixtures::~OfficeFixtures() = default;

OfficeFixtures::OfficeFixtures() {
    // A seeded profile of its own: quick to start, and never shared with the office under test.
    m_profile = std::make_unique<OfficeProfile>(LibreOfficeApplication::defaultProgramDir());
    QByteArray sheets;
    for (const QString& mark : sheetMarks())
        sheets += "<table:table table:name=\"" + mark.section(' ', 1).toUtf8() +
                  "\"><table:table-row><table:table-cell office:value-type=\"string\"><text:p>" +
                  mark.toUtf8() + "</text:p></table:table-cell></table:table-row></table:table>";
    QByteArray slides;
    for (const char* mark : {"QPSLIDE ONE", "QPSLIDE TWO"})
        slides +=
            QByteArray("<draw:page draw:name=\"") + mark +
            "\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\" svg:width=\"20cm\" svg:height=\"4cm\">"
            "<draw:text-box><text:p>" +
            mark + "</text:p></draw:text-box></draw:frame></draw:page>";
    const struct {
        const char* name;
        const char* format;
        QByteArray content;
    } sources[] = {
        {"letter.fodt", "doc:MS Word 97",
         flatOdf("text",
                 "<office:automatic-styles><style:style style:name=\"Break\" style:family="
                 "\"paragraph\"><style:paragraph-properties fo:break-before=\"page\"/>"
                 "</style:style></office:automatic-styles>",
                 "<office:text><text:p>QPWORD FIRST PAGE</text:p><text:p text:style-name="
                 "\"Break\">QPWORD SECOND PAGE</text:p></office:text>")},
        {"book.fods", "xls:MS Excel 97",
         flatOdf("spreadsheet", {}, "<office:spreadsheet>" + sheets + "</office:spreadsheet>")},
        {"slides.fodp", "ppt:MS PowerPoint 97",
         flatOdf("presentation", {}, "<office:presentation>" + slides + "</office:presentation>")}};
    for (const auto& source : sources)
        convert(file(QString::fromLatin1(source.name), source.content),
                QString::fromLatin1(source.format));
    for (const QString& made : {doc(), xls(), ppt()})
        if (!QFile::exists(made))
            throw std::runtime_error("LibreOffice did not make " + made.toStdString());
}

QString OfficeFixtures::convert(const QString& source, const QString& format) const {
    run(u"soffice"_s, {u"-env:UserInstallation="_s + m_profile->url(), u"--headless"_s,
                       u"--convert-to"_s, format, u"--outdir"_s, m_dir.path(), source});
    return m_dir.filePath(QFileInfo(source).completeBaseName() + u'.' + format.section(':', 0, 0));
}

QString OfficeFixtures::longDoc(int pages) const {
    QByteArray body = "<office:text>";
    for (int page = 1; page <= pages; ++page)
        body += "<text:p text:style-name=\"Break\">QPLONG PAGE " + QByteArray::number(page) +
                "</text:p>";
    const QString source = file(u"long%1.fodt"_s.arg(pages),
                                flatOdf("text",
                                        "<office:automatic-styles><style:style style:name="
                                        "\"Break\" style:family=\"paragraph\"><style:paragraph-"
                                        "properties fo:break-before=\"page\"/></style:style>"
                                        "</office:automatic-styles>",
                                        body + "</office:text>"));
    return convert(source, u"doc:MS Word 97"_s);
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

const QString OfficeSuite::Queue = u"office"_s;
PrivateCups* OfficeSuite::cups = nullptr;
OfficeFixtures* OfficeSuite::fixtures = nullptr;
LibreOfficeApplication* OfficeSuite::office = nullptr;
static FakeSettingsStore suiteSettings;

void OfficeSuite::SetUpTestSuite() {
    cups = new PrivateCups;
    cups->addKeepingQueue(Queue, true);
    fixtures = new OfficeFixtures;
    office = new LibreOfficeApplication(suiteSettings);
}

void OfficeSuite::TearDownTestSuite() {
    delete office;
    delete fixtures;
    delete cups;
}

void OfficeSuite::SetUp() {
    m_jobsBefore = cups->jobFiles(Queue).size();
}

QStringList OfficeSuite::newJobs(int expected) {
    EXPECT_TRUE(cups->waitForJobs(Queue, m_jobsBefore + expected, 60000))
        << cups->log().toStdString();
    const QStringList all = cups->jobFiles(Queue);
    EXPECT_EQ(all.size(), m_jobsBefore + expected);
    const QStringList added = all.mid(m_jobsBefore);
    m_jobsBefore = all.size();
    return added;
}

AppError failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return AppError(0, {});
}

int pdfPages(const QString& path) {
    const QRegularExpressionMatch match =
        QRegularExpression(u"^Pages:\\s+(\\d+)"_s, QRegularExpression::MultilineOption)
            .match(run(u"pdfinfo"_s, {path}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfText(const QString& path) {
    return run(u"pdftotext"_s, {path, u"-"_s});
}

QList<int> sheetsIn(const QString& job) {
    const QString text = pdfText(job);
    QList<int> sheets;
    for (int i = 0; i < OfficeFixtures::sheetMarks().size(); ++i)
        if (text.contains(OfficeFixtures::sheetMarks()[i]))
            sheets << i;
    return sheets;
}

QString corpusDir() {
    const QString dir = qEnvironmentVariable("QP_CORPUS_DIR");
    if (!dir.isEmpty() && QFile::exists(dir + u"/MANIFEST.tsv"_s))
        return QDir(dir).absolutePath();
    return {};
}

bool mustNotSkip() {
    return qgetenv("CI") == "true";
}

} // namespace qp::test
