#pragma once

#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qp {
class OfficeProfile;
}

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
    std::unique_ptr<OfficeProfile> m_profile;
    QTemporaryDir m_dir;
};

// For one suite: the private CUPS server, the fixtures, and one office, started at its first
// use and kept from test to test as from entry to entry.
class OfficeSuite : public KeptJobsTest {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    static inline OfficeFixtures* fixtures = nullptr;
    static inline FakeSettingsStore settings;
    static inline LibreOfficeApplication* office = nullptr;
};

} // namespace qp::test
