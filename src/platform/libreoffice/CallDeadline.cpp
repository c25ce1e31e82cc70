#include "platform/libreoffice/CallDeadline.h"

#include <csignal>

namespace qp {

CallDeadline::CallDeadline() : m_thread(&CallDeadline::watch, this) {}

CallDeadline::~CallDeadline() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CallDeadline::arm(pid_t group, std::chrono::milliseconds bound) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_group = group;
        m_due = std::chrono::steady_clock::now() + bound;
        m_armed = group > 0;
        m_expired = false;
    }
    m_changed.notify_all();
}

bool CallDeadline::disarm() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
    return m_expired;
}

void CallDeadline::watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_ending) {
        if (!m_armed) {
            m_changed.wait(lock);
        } else if (std::chrono::steady_clock::now() < m_due) {
            m_changed.wait_until(lock, m_due);
        } else {
            // Never this program's own group: an unarmed deadline has none.
            ::kill(-m_group, SIGKILL);
            m_armed = false;
            m_expired = true;
        }
    }
}

} // namespace qp
