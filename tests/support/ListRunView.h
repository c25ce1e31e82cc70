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
    int locateAcrobatShown = 0;
    bool skip = false;
    double maximum = 100, minimum = 0;

    int entryCount() const override { return entries.size(); }
    QString entry(int index) const override { return entries.value(index); }
    QString pathToAdd() const override { return {}; }
    void addPathToAdd() override {}
    void clearPathToAdd() override {}
    double progressMaximum() const override { return maximum; }
    double progressMinimum() const override { return minimum; }
    void setProgressMaximum(double value) override { maximum = value; }
    void setProgressMinimum(double value) override { minimum = value; }
    void setProgressValue(double) override {}
    void showProgress() override {}
    void setStatus(const QString&) override {}
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocateAcrobat() override { ++locateAcrobatShown; }
    bool skipSaveOffer() const override { return skip; }
    void setSkipSaveOffer(bool value) override { skip = value; }
    void saveBatch() override {}
    void setReadyState() override { entries.clear(); }
    void repaintNow() override { QCoreApplication::processEvents(); }
    void yieldToEvents() override { QCoreApplication::processEvents(); }
};

} // namespace qp::test
