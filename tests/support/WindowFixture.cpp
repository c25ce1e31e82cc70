#include "support/WindowFixture.h"

namespace qp::test {

WindowFixture::WindowFixture()
    : window(MainWindowServices{prompter, dialogs, settings, office, pdf, pdf, help,
                                "/opt/quirepress", [this] { ++endProgramCalls; },
                                dataHome.filePath("BatchBin")}) {}

} // namespace qp::test
