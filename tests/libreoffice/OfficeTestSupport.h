#pragma once

#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qp {
class OfficeProfile;
} // namespace qp

namespace qp::test {

// Word, Excel and PowerPoint files made for the tests by LibreOffice itself from flat ODF: a
// 2-page document, a workbook of 3 sheets (each naming itself in A1), a 2-slide presentation.
class OfficeFixtures {
public:
    OfficeFixtures();
    ~OfficeFixtures();
    QString doc() const { return m_dir.filePath("letter.doc"); }
    QString xls() const { return m_dir.filePath("book.xls"); }
    QString ppt() const { return m_dir.filePath("slides.ppt"); }
    // A Word document of that many pages.
    QString longDoc(int pages) const;
    QString copy(const QString& source, const QString& name) const;
    QString file(const QString& name, const QByteArray& content) const;
    // The file LibreOffice makes of the source in the format given ("pdf", "doc:MS Word 97").
    QString convert(const QString& source, const QString& format) const;

    static inline const QStringList sheetMarks{"QPSHEET ALPHA", "QPSHEET BETA", "QPSHEET GAMMA"};

private:
    QTemporaryDir m_dir;
    std::unique_ptr<OfficeProfile> m_profile;
};

// Which of the fixture workbook's sheets (0-based) a printed job shows.
QList<int> sheetsIn(const QString& job);

// For one suite: a private CUPS server whose default queue keeps every job, the fixtures, and
// one office, started at its first use and kept from test to test as from entry to entry.
class OfficeSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override { m_jobsBefore = cups->jobFiles(Queue).size(); }
    // The jobs added since SetUp or the last call, once there are that many; fails on too
    // few or too many.
    QStringList newJobs(int expected);

    static inline const QString Queue = "office";
    static inline PrivateCups* cups = nullptr;
    static inline OfficeFixtures* fixtures = nullptr;
    static inline FakeSettingsStore settings;
    static inline LibreOfficeApplication* office = nullptr;
    int m_jobsBefore = 0;
};

} // namespace qp::test
