#pragma once

#include <QString>
#include <memory>

class QProcess;

namespace qp {

// Makes sure there is a D-Bus session bus for the length of a run from the shell, so that
// PDFs still print. Cron and ssh sessions often have none: no DBUS_SESSION_BUS_ADDRESS and no
// bus socket in the user's runtime folder. Then a private dbus-daemon is started and named in
// DBUS_SESSION_BUS_ADDRESS, for this process and every program it starts; when this object
// goes, the PDF print server on that bus and the bus itself are ended.
//
// Create it before anything uses the session bus: Qt reads the address at the first use.
class SessionBusForRun {
public:
    SessionBusForRun();
    ~SessionBusForRun();
    SessionBusForRun(const SessionBusForRun&) = delete;
    SessionBusForRun& operator=(const SessionBusForRun&) = delete;

    // Why there is no bus when none could be started; empty otherwise.
    const QString& problem() const { return m_problem; }

private:
    void startPrivateBus();
    void endPdfServer();

    std::unique_ptr<QProcess> m_daemon;
    QString m_problem;
};

} // namespace qp
