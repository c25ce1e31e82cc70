#pragma once

#include "printing/BatchRunView.h"

#include <QCoreApplication>
#include <QStringList>

namespace qp::test {

// A list for the batch run to print, without a window: it keeps what the run decides
// (the save-offer flag, the Locate Acrobat entry) and paints nothing.
class ListRunView : public BatchRunView {
public:
    QStringList entries;
    int locatePdfServerShown = 0;
    bool skip = false;

    int entryCount() const override { return entries.size(); }
    QString entry(int index) const override { return entries.value(index); }
    QString typedPath() const override { return {}; }
    void addTypedPath() override {}
    void clearTypedPath() override {}
    void startProgress(int) override {}
    void setProgress(int, int) override {}
    void setStatus(const QString&) override {}
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override { ++locatePdfServerShown; }
    bool skipSaveOffer() const override { return skip; }
    void setSkipSaveOffer(bool value) override { skip = value; }
    void saveBatch() override {}
    void setReadyState() override { entries.clear(); }
    void repaintNow() override { QCoreApplication::processEvents(); }
    void yieldToEvents() override { QCoreApplication::processEvents(); }
};

} // namespace qp::test
