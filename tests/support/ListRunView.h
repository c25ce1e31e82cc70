#pragma once

#include "printing/BatchRunView.h"

#include <QCoreApplication>
#include <QStringList>
#include <functional>

namespace qp::test {

// The window as the batch run sees it, with the real one's rules for the list, the path box
// and the save offer, and no widgets. A journal gets, in order, what the run showed and did.
struct ListRunView : BatchRunView {
    int entryCount() const override { return static_cast<int>(entries.size()); }
    QString entry(int index) const override { return entries.value(index); }
    QString typedPath() const override { return pathBox; }
    void addTypedPath() override {
        if (!pathBox.isEmpty())
            entries.append(pathBox);
        clearTypedPath();
    }
    void clearTypedPath() override {
        skip = skip && pathBox.isEmpty(); // emptying a box that held text changes the batch
        pathBox.clear();
    }
    void startProgress(int) override {}
    void setProgress(int, int) override {}
    void setStatus(const QString&) override {}
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override { note("show locate"); }
    bool skipSaveOffer() const override { return skip; }
    void setSkipSaveOffer(bool value) override { skip = value; }
    void saveBatch() override { note("save " + entries.join(", ")); }
    void setReadyState() override {
        entries.clear();
        pathBox.clear();
        skip = false;
        note("ready");
    }
    void repaintNow() override { QCoreApplication::processEvents(); }
    void yieldToEvents() override {
        note("yield");
        if (onYield)
            onYield();
        else
            QCoreApplication::processEvents();
    }
    void note(const QString& line) {
        if (journal)
            journal->append(line);
    }

    QStringList entries;
    QString pathBox;
    bool skip = false;
    QStringList* journal = nullptr;
    std::function<void()> onYield; // runs in each yield, as a user's events would
};

} // namespace qp::test
