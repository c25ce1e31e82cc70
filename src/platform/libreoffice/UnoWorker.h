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

// The one thread that makes every UNO call of an office connection. The caller (the office
// thread, never the window's) waits for each task only up to a bound, so that a hung office
// cannot hang the caller; a task that overran keeps the worker busy until it returns.
class UnoWorker {
public:
    UnoWorker();
    // Waits for the thread to end unless it was abandoned.
    ~UnoWorker();
    UnoWorker(const UnoWorker&) = delete;
    UnoWorker& operator=(const UnoWorker&) = delete;

    struct Job;
    using Ticket = std::shared_ptr<Job>;
    enum class Outcome { Done, TimedOut };

    // Queues the task and returns at once. The task must own everything it touches: after
    // a time-out it may still run while the caller has gone on.
    Ticket post(std::function<void()> task);
    // Waits for a posted task and rethrows what it threw; a task may be waited for again
    // after a time-out.
    Outcome wait(const Ticket& ticket, std::chrono::milliseconds bound);
    bool isDone(const Ticket& ticket) const;
    Outcome run(std::function<void()> task, std::chrono::milliseconds bound) {
        return wait(post(std::move(task)), bound);
    }
    // Waits until the worker has no task left.
    bool waitIdle(std::chrono::milliseconds bound);
    // Gives up a worker stuck in a call that never returns: the thread is left to itself,
    // and the tasks still queued are dropped there, on the worker, not here.
    void abandon();

    struct Job {
        std::function<void()> task;
        std::exception_ptr error;
        bool done = false;
    };

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Ticket> jobs;
        bool busy = false;
        bool stopping = false;
        bool abandoned = false;
    };
    static void loop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace qp
