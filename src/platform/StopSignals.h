#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace qp {

// SIGINT, SIGTERM and SIGHUP as a Qt signal: the handler only writes a byte to a pipe, and the
// event loop reads it, so that whatever the signal asks for runs as ordinary code. One object at a
// time; the default handling comes back when it goes.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
    QList<int> m_handled;
};

} // namespace qp
