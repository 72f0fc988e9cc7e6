#pragma once

// Measuring a process from outside (or this one): waiting with the event loop running, resident
// memory, CPU time, bound ports, lines appearing in a log.

#include <functional>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QString>

namespace bench {

// Runs the event loop for `ms`.
void wait(int ms);
// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int ms);

QString procField(qint64 pid, const QString &field);
int rssKb(qint64 pid);
// Where the resident memory is: " anon=... file=..." (kB), for the memory figures.
QString rssParts(qint64 pid);

// User + system CPU time of a process in seconds.
double cpuSeconds(qint64 pid);
// CPU seconds of each thread of a process by thread name (threads of one name added up; the main
// thread is "main/<name>").
QMap<QString, double> threadCpuSeconds(qint64 pid);

struct CpuUse
{
    double percent = 0;
    // The busiest threads: "name:percent,..." (per cent of one core).
    QString threads;
};

// CPU of the process over `seconds` of wall time, in per cent of one core, and of its busiest
// threads. The event loop runs meanwhile (an engine in this process keeps working); it sleeps
// between events.
CpuUse cpuUse(qint64 pid, int seconds);

bool udpPortBound(int port);

// Counts the distinct matches of capture 1 of a pattern in a file that grows (a log).
class FileWatch
{
public:
    FileWatch(const QString &path, const QString &pattern)
        : m_file(path)
        , m_pattern(pattern)
    { }

    int count();

private:
    QFile m_file;
    QRegularExpression m_pattern;
    QByteArray m_pending;
    QSet<QString> m_seen;
};

} // namespace bench
