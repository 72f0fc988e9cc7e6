#pragma once

#include <memory>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testbed {

// One SIPp run of a scenario from tools/sipp/ against a target on 127.0.0.1. SIPp binds
// 127.0.0.1 on localPort() (a free port unless -p is given) and traces its messages and errors to
// files in a temporary directory. Stopped by pid in the destructor.
class Sipp final
{
public:
    Sipp();
    ~Sipp();
    Sipp(const Sipp &) = delete;
    Sipp &operator=(const Sipp &) = delete;

    // Starts `sipp -sf <scenario> [target] <args>` with -i 127.0.0.1, -p, -nostdin, message/error
    // traces and a global -timeout of twice timeoutMs unless args set one. target may be empty
    // (UAS scenarios). Does not wait.
    bool start(
        const QString &scenario, const QString &target, const QStringList &args = {}, int timeoutMs = 20000);
    // start() and waitForFinished(); true when sipp exited with code 0.
    bool run(
        const QString &scenario, const QString &target, const QStringList &args = {}, int timeoutMs = 20000);
    // Waits for SIPp to end; the event loop keeps running meanwhile.
    bool waitForFinished(int timeoutMs = 20000);
    void stop();
    bool isRunning() const;

    // SIPp's exit code: 0 all calls succeeded, 1 at least one failed, 97 exit on internal
    // command, 99 normal exit without calls processed, 255 fatal error; -1 while running or
    // when it crashed.
    int exitCode() const;

    quint16 localPort() const { return m_port; }

    QString hostPort() const; // "127.0.0.1:PORT"
    QString output() const; // stdout and stderr
    QString messages() const; // the -trace_msg file: every message sent and received
    QString errors() const; // the -trace_err file
    QString logs() const; // the -trace_logs file: lines of the scenarios' <log> actions

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

} // namespace testbed
