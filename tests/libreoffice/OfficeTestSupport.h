#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace qp {
class OfficeProfile;
}

namespace qp::test {

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
    // A copy of a fixture under another name in the same folder.
    QString copy(const QString& source, const QString& name) const;
    // A file of that name holding the bytes given.
    QString file(const QString& name, const QByteArray& content) const;
    QString folder() const { return m_dir.path(); }

    static const QStringList& sheetMarks();

private:
    void convert(const QString& format, const QString& source);
    QTemporaryDir m_dir;
    std::unique_ptr<OfficeProfile> m_profile;
};

int pdfPages(const QString& path);
QString pdfText(const QString& path);
// The corpus of real documents, or empty when it is not there.
QString corpusDir();
// Whether tests must not skip for lack of something (CI).
bool mustNotSkip();

} // namespace qp::test
