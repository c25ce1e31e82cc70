#pragma once

#include <chrono>

namespace qp {

// Time as a bounded wait sees it: where it is now, and a short sleep. Tests pass a clock
// that advances on every sleep, so a 30-second wait takes no real time.
class WaitClock {
public:
    virtual ~WaitClock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

// The monotonic clock of the machine; sleeping blocks the calling thread.
class SteadyWaitClock : public WaitClock {
public:
    std::chrono::steady_clock::time_point now() const override;
    void sleepFor(std::chrono::milliseconds duration) override;
};

} // namespace qp
