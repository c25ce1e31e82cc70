// The whole road of a mixed batch on a fresh machine, through the real main window: the
// first-run dialog chooses the PDF print server, Office entries go to a real LibreOffice and
// PDF entries to the real server, and everything arrives in the private CUPS queue in list
// order.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace qp::test {
namespace {

class WindowPrint : public KeptJobsTest {};

TEST_F(WindowPrint, MixedBatchFromAFreshStartArrivesInListOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir corpus(qEnvironmentVariable("QP_CORPUS_DIR"));
    const QString word = corpus.filePath("doc/TestChineseProperties.doc");
    const QString slides = corpus.filePath("ppt/table_test.ppt");
    const QString firstPdf = corpusPdf("sizes.pdf");
    const QString secondPdf = dir.filePath("Angebot (Entwurf), [v2] – Größe.PDF");
    copyFile(corpusPdf("XiaoBiaoSong.pdf"), secondPdf);

    WindowFixture fixture;
    LibreOfficeApplication office(fixture.settings);
    QProcessProgramStarter starter;
    DBusPdfPrintServer pdfServer;
    fixture.office = &office;
    fixture.starter = &starter;
    fixture.pdfServer = &pdfServer;
    fixture.executableDir = qEnvironmentVariable("QP_RUNTIME_DIR");

    // First run: the user is sent to find the PDF program and picks the server.
    fixture.prompter.script(PromptAnswer::Ok); // "Find Acrobat..."
    fixture.dialogs.script(pdfServerProgram());
    fixture.window().runStartupChecks();
    ASSERT_EQ(fixture.dialogs.requests.size(), 1u);
    EXPECT_EQ(QDir(fixture.dialogs.requests[0].initDir),
              QFileInfo(pdfServerProgram()).absoluteDir())
        << "the dialog does not open where the server lies";
    EXPECT_EQ(fixture.settings.get("Quirepress/Settings/Acrobat"), pdfServerProgram());

    for (const QString& path : {word, firstPdf, slides, secondPdf}) {
        fixture.find<QLineEdit>("pathEdit")->setText(path);
        QTest::mouseClick(fixture.find<QPushButton>("addButton"), Qt::LeftButton);
    }
    ASSERT_EQ(fixture.listEntries(), (QStringList{word, firstPdf, slides, secondPdf}));

    fixture.prompter.script(PromptAnswer::No); // "Save batch..."
    QTest::mouseClick(fixture.find<QPushButton>("printButton"), Qt::LeftButton);

    ASSERT_EQ(fixture.prompter.boxes.size(), 2u)
        << fixture.prompter.boxes.back().text.toStdString();
    EXPECT_EQ(fixture.prompter.boxes[1].title, "Save batch...");
    EXPECT_TRUE(fixture.listEntries().isEmpty());
    const QStringList jobs = newJobs(4, 120000);
    ASSERT_EQ(jobs.size(), 4);
    // The PDFs are sent as they are; the Office documents come rendered by LibreOffice.
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(firstPdf));
    EXPECT_EQ(fileBytes(jobs[3]), fileBytes(secondPdf));
    EXPECT_EQ(pdfPageCount(jobs[0]), 1);
    EXPECT_EQ(pdfPageCount(jobs[2]), 1);
}

} // namespace
} // namespace qp::test
