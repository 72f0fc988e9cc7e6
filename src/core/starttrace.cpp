#include "core/starttrace.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

namespace {

struct Trace
{
    FILE *out = nullptr;
    QElapsedTimer sinceMain;
    double execToMainMs = 0;
    QSet<QByteArray> marked;
};

// The process's start in seconds since boot: field 22 of /proc/self/stat, in clock ticks.
double processStartSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')'); // the command name may hold spaces
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    constexpr int StartTimeField = 22 - 3; // fields after "pid (comm)" start at the state, field 3
    if (fields.size() <= StartTimeField)
        return -1;
    return fields.at(StartTimeField).toDouble() / double(sysconf(_SC_CLK_TCK));
}

Trace *trace()
{
    static Trace *const instance = []() -> Trace * {
        const QByteArray path = qgetenv("ORVALO_START_TRACE");
        if (path.isEmpty())
            return nullptr;
        auto *t = new Trace; // lives as long as the process: marks may come from any destructor
        t->out = std::fopen(path.constData(), "a");
        if (!t->out) {
            delete t;
            return nullptr;
        }
        t->sinceMain.start();
        timespec now {};
        clock_gettime(CLOCK_BOOTTIME, &now);
        const double start = processStartSeconds();
        if (start >= 0)
            t->execToMainMs = (double(now.tv_sec) + double(now.tv_nsec) / 1e9 - start) * 1000.0;
        return t;
    }();
    return instance;
}

} // namespace

namespace StartTrace {

bool enabled()
{
    return trace() != nullptr;
}

void mark(const char *step)
{
    Trace *t = trace();
    if (!t)
        return;
    const double mainMs = double(t->sinceMain.nsecsElapsed()) / 1e6;
    std::fprintf(
        t->out, "start_trace exec_ms=%.1f main_ms=%.3f step=%s\n", t->execToMainMs + mainMs, mainMs, step);
    std::fflush(t->out);
}

void markOnce(const char *step)
{
    Trace *t = trace();
    if (!t || t->marked.contains(QByteArray(step)))
        return;
    t->marked.insert(QByteArray(step));
    mark(step);
}

} // namespace StartTrace
