#include "platform/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qp {

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void writeSignalNumber(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    errno = savedErrno;
}

constexpr int Handled[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : Handled) {
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        struct sigaction previous = {};
        if (::sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signalNumber, &action, nullptr);
        m_handled.append(signalNumber);
    }
}

StopSignals::~StopSignals() {
    for (const int signalNumber : std::as_const(m_handled))
        ::signal(signalNumber, SIG_DFL);
    for (int& end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void StopSignals::readPipe() {
    unsigned char byte = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace qp
