#pragma once

#include "core/Prompter.h"
#include "printing/BatchRunView.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace qp::bench {

// A list for the batch run to print, without a window: nothing to paint, no save question.
class SilentRunView : public BatchRunView {
public:
    explicit SilentRunView(QStringList list = {}) : entries(std::move(list)) {}

    QStringList entries;

    int entryCount() const override { return entries.size(); }
    QString entry(int index) const override { return entries.value(index); }
    QString pathToAdd() const override { return {}; }
    void addPathToAdd() override {}
    void clearPathToAdd() override {}
    double progressMaximum() const override { return m_maximum; }
    double progressMinimum() const override { return m_minimum; }
    void setProgressMaximum(double value) override { m_maximum = value; }
    void setProgressMinimum(double value) override { m_minimum = value; }
    void setProgressValue(double) override {}
    void showProgress() override {}
    void setStatus(const QString&) override {}
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocateAcrobat() override {}
    bool skipSaveOffer() const override { return true; }
    void setSkipSaveOffer(bool) override {}
    void saveBatch() override {}
    void setReadyState() override { entries.clear(); }
    void repaintNow() override { QCoreApplication::processEvents(); }
    void yieldToEvents() override { QCoreApplication::processEvents(); }

private:
    double m_maximum = 100;
    double m_minimum = 0;
};

// A message box during a benchmark means something went wrong: it is printed and counted.
class CountingPrompter : public Prompter {
public:
    explicit CountingPrompter(PromptAnswer answer) : m_answer(answer) {}

    int boxes = 0;

    PromptAnswer ask(const QString& text, const QString& title, PromptButtons,
                     PromptIcon) override {
        ++boxes;
        std::fprintf(stderr, "message box \"%s\": %s\n", qUtf8Printable(title),
                     qUtf8Printable(text));
        return m_answer;
    }

private:
    PromptAnswer m_answer;
};

} // namespace qp::bench
