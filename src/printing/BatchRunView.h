#pragma once

#include <QString>

namespace qp {

// What the batch run needs of the main window.
class BatchRunView {
public:
    virtual ~BatchRunView() = default;

    virtual int entryCount() const = 0;
    virtual QString entry(int index) const = 0;

    virtual QString pathToAdd() const = 0; // the text of txtfiletoadd
    virtual void addPathToAdd() = 0;       // cmdAdd_Click
    virtual void clearPathToAdd() = 0;     // txtfiletoadd := "" (runs its change handler)

    virtual double progressMaximum() const = 0;
    virtual double progressMinimum() const = 0;
    virtual void setProgressMaximum(double value) = 0;
    virtual void setProgressMinimum(double value) = 0;
    virtual void setProgressValue(double value) = 0;
    virtual void showProgress() = 0; // progresslabel, then Progress, made visible

    virtual void setStatus(const QString& text) = 0;
    // Why the current entry cannot be used, told before the run asks whether to go on. The
    // window has no place for it; a run without a window reports it.
    virtual void noteUnusableEntry(const QString& reason) { (void)reason; }
    virtual void showBusyPointer() = 0;
    virtual void restoreDefaultPointer() = 0;
    virtual void showLocateAcrobat() = 0; // mnuLocateAcro and mnuLine5 made visible

    virtual bool skipSaveOffer() const = 0;
    virtual void setSkipSaveOffer(bool value) = 0;

    virtual void saveBatch() = 0;     // SaveBatch with the list's current entries
    virtual void setReadyState() = 0; // SetReadyState

    // Shows what the run changed (status line, progress bar) without handling user input.
    virtual void repaintNow() = 0;
    // One yield to the event loop: handles waiting events, user input included, waiting a
    // short bounded time for one to arrive so that a wait loop does not burn a core.
    virtual void yieldToEvents() = 0;
};

} // namespace qp
