#include "platform/libreoffice/UnoWorker.h"

#include <csignal>
#include <pthread.h>
#include <vector>

namespace qp {

UnoWorker::UnoWorker() : m_shared(std::make_shared<Shared>()) {
    m_thread = std::thread(&UnoWorker::loop, m_shared);
}

UnoWorker::~UnoWorker() {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    m_shared->changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void UnoWorker::loop(std::shared_ptr<Shared> shared) {
    // Writing to the pipe of an office that has died must fail the call, not end the
    // program: the connection's own threads inherit this mask from here.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->stopping || !shared->jobs.empty(); });
        if (shared->abandoned) {
            // The tasks hold UNO references, which are released on this thread only.
            std::vector<std::function<void()>> dropped;
            for (const Ticket& job : shared->jobs)
                dropped.push_back(std::move(job->task));
            shared->jobs.clear();
            lock.unlock();
            dropped.clear();
            return;
        }
        if (shared->jobs.empty())
            return;
        Ticket job = shared->jobs.front();
        shared->jobs.pop_front();
        shared->busy = true;
        std::function<void()> task = std::move(job->task);
        lock.unlock();
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        // The task's captures go here, on the worker, where UNO references belong.
        task = nullptr;
        lock.lock();
        job->error = error;
        job->done = true;
        shared->busy = false;
        shared->changed.notify_all();
    }
}

UnoWorker::Ticket UnoWorker::post(std::function<void()> task) {
    auto job = std::make_shared<Job>();
    job->task = std::move(task);
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->jobs.push_back(job);
    m_shared->changed.notify_all();
    return job;
}

UnoWorker::Outcome UnoWorker::wait(const Ticket& job, std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    if (!m_shared->changed.wait_for(lock, bound, [&] { return job->done; }))
        return Outcome::TimedOut;
    if (job->error)
        std::rethrow_exception(job->error);
    return Outcome::Done;
}

bool UnoWorker::isDone(const Ticket& job) const {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return job->done;
}

bool UnoWorker::waitIdle(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, bound,
                                      [&] { return !m_shared->busy && m_shared->jobs.empty(); });
}

void UnoWorker::abandon() {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->abandoned = true;
    }
    m_shared->changed.notify_all();
    if (m_thread.joinable())
        m_thread.detach();
}

} // namespace qp
