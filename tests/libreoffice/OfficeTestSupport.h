#pragma once

#include "platform/libreoffice/LibreOfficeApplication.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

namespace qp::test {

// Word, Excel and PowerPoint files that LibreOffice itself makes of the flat ODF in data/:
// 2 pages, 3 sheets each naming itself in A1, 2 slides.
class OfficeFixtures {
public:
    OfficeFixtures();
    QString doc() const { return m_dir.filePath("letter.doc"); }
    QString xls() const { return m_dir.filePath("book.xls"); }
    QString ppt() const { return m_dir.filePath("slides.ppt"); }
    QString longDoc(int pages) const; // a Word document of that many pages
    QString copy(const QString& source, const QString& name) const {
        return file(name, fileBytes(source));
    }
    QString file(const QString& name, const QByteArray& content) const;
    // The file LibreOffice makes of the source in the format given ("pdf", "doc:MS Word 97").
    QString convert(const QString& source, const QString& format) const;

private:
    OfficeProfile m_profile; // the converting office's own, apart from the office under test
    QTemporaryDir m_dir;
};

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
