#pragma once

#include "core/AppError.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace qp {
class LibreOfficeApplication;
class OfficeProfile;
} // namespace qp

namespace qp::test {

class PrivateCups;

// Small Word, Excel and PowerPoint files made for the tests by LibreOffice itself from flat
// ODF text: a 2-page document, a workbook of 3 sheets (each naming itself in A1) and a
// presentation of 2 slides.
class OfficeFixtures {
public:
    OfficeFixtures();
    ~OfficeFixtures();
    QString doc() const { return m_dir.filePath(QStringLiteral("letter.doc")); }
    QString xls() const { return m_dir.filePath(QStringLiteral("book.xls")); }
    QString ppt() const { return m_dir.filePath(QStringLiteral("slides.ppt")); }
    // A Word document of that many pages, one line of text each.
    QString longDoc(int pages) const;
    QString copy(const QString& source, const QString& name) const;
    QString file(const QString& name, const QByteArray& content) const;
    // The file LibreOffice makes of the source in the format given ("pdf", "doc:MS Word 97").
    QString convert(const QString& source, const QString& format) const;

    static const QStringList& sheetMarks();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<OfficeProfile> m_profile;
};

// For one suite: a private CUPS server whose default queue keeps every job, the fixtures, and
// one office, started at its first use and kept from test to test as from entry to entry.
class OfficeSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    // The jobs added since SetUp or the last call, once there are that many; fails on too
    // few or too many.
    QStringList newJobs(int expected);

    static const QString Queue;
    static PrivateCups* cups;
    static OfficeFixtures* fixtures;
    static LibreOfficeApplication* office;
    int m_jobsBefore = 0;
};

// The error the action raises; number 0 (and a failure) when it raises none.
AppError failureOf(const std::function<void()>& action);

int pdfPages(const QString& path);
QString pdfText(const QString& path);
// Which of the fixture workbook's sheets (0-based) a printed job shows.
QList<int> sheetsIn(const QString& job);
// The corpus of real documents, or empty when it is not there.
QString corpusDir();
// Whether tests must not skip for lack of something (CI).
bool mustNotSkip();

} // namespace qp::test
