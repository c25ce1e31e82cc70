#pragma once

#include <QString>

namespace qp {

// What the batch run needs of the main window.
class BatchRunView {
public:
    virtual ~BatchRunView() = default;

    virtual int entryCount() const = 0;
    virtual QString entry(int index) const = 0;

    // The path typed into the window but not yet added to the list.
    virtual QString typedPath() const = 0;
    virtual void addTypedPath() = 0;   // as the Add button does
    virtual void clearTypedPath() = 0; // as emptying the box by hand does

    // A run through `total` entries begins: its progress is shown, none done yet.
    virtual void startProgress(int total) = 0;
    // The run has reached entry number `done` (counted from 1) of its `total`, and is about to
    // print it.
    virtual void setProgress(int done, int total) = 0;

    virtual void setStatus(const QString& text) = 0;
    virtual void showBusyPointer() = 0;
    virtual void restoreDefaultPointer() = 0;
    virtual void showLocatePdfServer() = 0; // the menu entry that locates the PDF program

    virtual bool skipSaveOffer() const = 0;
    virtual void setSkipSaveOffer(bool value) = 0;

    virtual void saveBatch() = 0; // as File > Save Batch, with the list's current entries
    // An empty list and path box, "Ready" in the status line, no progress shown.
    virtual void setReadyState() = 0;
};

} // namespace qp
