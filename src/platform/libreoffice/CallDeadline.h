#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

namespace qp {

// Kills an office's process group when a call into it overruns its bound. The kill is what
// ends a call that hangs: it then fails as after a crash. Watches one call at a time.
class CallDeadline {
public:
    CallDeadline();
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    // The call that starts now kills the group if it is still under way after bound.
    void arm(pid_t group, std::chrono::milliseconds bound);
    // The call is over; true when it overran and its office was killed.
    bool disarm();

private:
    void watch();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    pid_t m_group = 0;
    std::chrono::steady_clock::time_point m_due;
    bool m_armed = false;
    bool m_expired = false;
    bool m_ending = false;
    std::thread m_thread; // last: it starts watching once the rest is set up
};

} // namespace qp
