#pragma once

// SIPp driven from the benchmark: running a scenario with the event loop running, the latency
// distributions read from its message traces, a burst from one caller id; printing the figures.

#include <functional>

#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace bench {

struct Distribution
{
    int count = 0;
    double min = 0;
    double median = 0;
    double p95 = 0;
    double max = 0;
};

Distribution distribution(QList<double> values);

// INVITE sent -> first response `code` to that INVITE received, per Call-ID, from SIPp's message
// trace (microsecond stamps).
Distribution parseTrace(const QString &path, int code);

struct Sipp
{
    QString binary;
    QString target;
    int localPort = 0;
    QString workDir;

    // Runs one SIPp scenario to its end, keeping the event loop running (an engine in this process
    // lives in it); `whileRunning` runs once it has started. Returns SIPp's exit code, -1 when it
    // did not start.
    int run(const QStringList &arguments, int timeoutSeconds,
        const std::function<void(QProcess &)> &whileRunning = {}) const;

    Distribution latency(
        const QString &scenario, const QString &user, int calls, int code, const QString &name) const;
};

void printDistribution(const QString &name, const char *figure, const Distribution &d);
void printValue(const QString &name, const char *figure, double value, const char *format = "%.1f");

struct Burst
{
    int ringing = 0;
    QMap<int, int> refused; // code -> count
};

// A burst of simultaneous INVITEs from one caller id (tools/sipp/uac-burst.xml); each call that
// rings is cancelled after a few seconds.
Burst runBurst(const Sipp &sipp, const QString &scenario, const QString &user, int calls);
void printBurst(const QString &name, int calls, const Burst &burst);

} // namespace bench
