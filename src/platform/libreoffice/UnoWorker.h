#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qp {

// The one thread that makes every UNO call of an office connection. The caller waits for
// each task only up to a bound, so that a hung office cannot hang the caller; a task that
// overran keeps the worker busy until it returns.
class UnoWorker {
public:
    UnoWorker();
    // Waits for the thread to end unless it was abandoned.
    ~UnoWorker();
    UnoWorker(const UnoWorker&) = delete;
    UnoWorker& operator=(const UnoWorker&) = delete;

    enum class Outcome { Done, TimedOut };
    // Runs the task on the worker and rethrows what it threw. The task must own everything
    // it touches: after a time-out it may still run while the caller has gone on.
    Outcome run(std::function<void()> task, std::chrono::milliseconds bound);
    // Waits until the worker has no task left.
    bool waitIdle(std::chrono::milliseconds bound);
    // Gives up a worker stuck in a call that never returns: the thread is left to itself.
    void abandon();

private:
    struct Job {
        std::function<void()> task;
        std::exception_ptr error;
        bool done = false;
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::shared_ptr<Job>> jobs;
        bool busy = false;
        bool stopping = false;
    };
    static void loop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace qp
