#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <stdexcept>

namespace qp {

// LibreOffice refused to give a usable document for a path.
class DocumentRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A UNO call failed; officeGone tells that the connection to the office broke.
class OfficeFailure : public std::runtime_error {
public:
    OfficeFailure(const std::string& message, bool gone)
        : std::runtime_error(message), officeGone(gone) {}
    bool officeGone;
};

// The UNO side of one connection to a running office: loading, rendering and closing
// documents, which are known here by a number. Every member must be called on the same
// thread (the office's own); UNO exceptions come out as DocumentRefused or OfficeFailure.
class OfficeSession {
public:
    explicit OfficeSession(QString programDir);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Connects to the office listening on the pipe; false while nobody listens there.
    bool connect(const QString& pipeName);
    // Forgets the connection and every document of it.
    void disconnect();

    // Loads hidden, read-only, without macros and without any interaction.
    int load(const QString& path);
    void activate(int document);
    bool isSpreadsheet(int document);
    int sheetCount(int document);
    // False for a hidden worksheet (sheetIndex from 0), "very hidden" ones included.
    bool isSheetVisible(int document, int sheetIndex);
    // Renders the whole document, or only the sheet at sheetIndex (from 0), into a PDF file at
    // path, as its own application exports it. False, with no file written, for a worksheet
    // that renders no page at all.
    bool exportPdf(int document, int sheetIndex, const QString& path);
    void close(int document);
    // How many documents the office has open, whoever opened them.
    int openDocumentCount();
    // Gets the office ready for the first Word, Excel and PowerPoint file: makes a tiny one
    // of each kind in folder, loads it as load() does, renders it into PDF there and closes
    // it. Ends early once stop is set.
    void warmUp(const QString& folder, const std::atomic<bool>& stop);

private:
    // Closes a document that is being given up; a failure to close would hide the failure
    // that matters.
    void closeQuietly(int document) noexcept;

    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace qp
