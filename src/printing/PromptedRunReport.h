#pragma once

#include "printing/RunReport.h"

namespace qp {

class Prompter;

// A run's report as the window gives it: one message box for each question and each ending.
class PromptedRunReport : public RunReport {
public:
    explicit PromptedRunReport(Prompter& prompter) : m_prompter(prompter) {}

    bool addPendingPath(const QString& path) override;
    void entryStarted(int, int, const QString&) override {}
    void entryPrinted(int) override {}
    void pdfProgramMissing(int number, const QString& entry) override;
    bool continueAfterUnusableEntry(int number, const QString& entry,
                                    const QString& reason) override;
    bool offerSave() override;
    void runEnded(const RunEnd& end) override;

private:
    Prompter& m_prompter;
};

} // namespace qp
