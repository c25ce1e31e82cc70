#include "printing/WaitClock.h"

#include <thread>

namespace qp {

std::chrono::steady_clock::time_point SteadyWaitClock::now() const {
    return std::chrono::steady_clock::now();
}

void SteadyWaitClock::sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

} // namespace qp
