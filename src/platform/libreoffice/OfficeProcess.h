#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <sys/types.h>

class QProcess;

namespace qp {

// One headless office process in a process group of its own. It dies with this program
// (also when the program crashes) and is killed, group and all, when this object goes.
// It belongs to the thread that made it, like the QProcess it holds.
class OfficeProcess {
public:
    // The office keeps its temporary files in tempDir, so that they go with the folder even
    // when it is killed.
    OfficeProcess(QString program, QStringList arguments, QString tempDir);
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // Throws AppError when the program cannot be started.
    void start();
    // Whether the process still runs; reaps it once it has ended.
    bool isRunning();
    // How it ended, for messages ("exit code 1", "signal 9").
    QString endDescription() const { return m_end; }
    // Waits up to timeoutMs for the process to end by itself.
    bool waitForEnd(int timeoutMs);
    // Kills the whole process group (the office spawns helpers) and reaps the process.
    void killGroup();
    pid_t processGroup() const { return m_pid; }

private:
    void noteEnd();

    QString m_program;
    QStringList m_arguments;
    QString m_tempDir;
    std::unique_ptr<QProcess> m_process;
    pid_t m_pid = 0;
    bool m_running = false;
    QString m_end;
};

} // namespace qp
