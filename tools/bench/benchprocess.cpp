#include "benchprocess.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace bench {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

QString procField(qint64 pid, const QString &field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(QByteArray(field.toLatin1() + ':')))
            return QString::fromLatin1(line.mid(field.size() + 1)).simplified();
    }
    return QString();
}

int rssKb(qint64 pid)
{
    return procField(pid, QStringLiteral("VmRSS")).section(QLatin1Char(' '), 0, 0).toInt();
}

// Where the resident memory is: " anon=... file=..." (kB), for the memory figures.
QString rssParts(qint64 pid)
{
    const auto kb = [pid](const char *field) {
        return procField(pid, QString::fromLatin1(field)).section(QLatin1Char(' '), 0, 0);
    };
    return QStringLiteral(" anon=") + kb("RssAnon") + QStringLiteral(" file=") + kb("RssFile");
}

// User + system CPU time of a process in seconds.
double cpuSeconds(qint64 pid)
{
    if (pid == QCoreApplication::applicationPid()) {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QString stat = QString::fromLatin1(file.readAll());
    const QStringList fields = stat.mid(stat.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

// CPU seconds of each thread of a process by thread name (threads of one name added up; the main
// thread is "main/<name>").
QMap<QString, double> threadCpuSeconds(qint64 pid)
{
    QMap<QString, double> result;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString stat = QString::fromLatin1(file.readAll());
        const qsizetype open = stat.indexOf(QLatin1Char('('));
        const qsizetype close = stat.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open)
            continue;
        QString name = stat.mid(open + 1, close - open - 1);
        name.replace(QLatin1Char(' '), QLatin1Char('_'));
        // Threads the libraries start unnamed inherit the process's name: keep the main one apart.
        if (tid == QString::number(pid))
            name.prepend(QStringLiteral("main/"));
        const QStringList fields = stat.mid(close + 2).split(QLatin1Char(' '));
        result[name] += (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    }
    return result;
}

// CPU of the process over `seconds` of wall time, in per cent of one core, and of its busiest
// threads. The event loop runs meanwhile (an engine in this process keeps working); it sleeps
// between events.
CpuUse cpuUse(qint64 pid, int seconds)
{
    const double before = cpuSeconds(pid);
    const QMap<QString, double> threadsBefore = threadCpuSeconds(pid);
    QElapsedTimer timer;
    timer.start();
    wait(seconds * 1000);
    const double elapsed = double(timer.elapsed()) / 1000.0;
    CpuUse use;
    use.percent = (cpuSeconds(pid) - before) * 100.0 / elapsed;
    QList<std::pair<double, QString>> threads;
    const QMap<QString, double> threadsAfter = threadCpuSeconds(pid);
    for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it) {
        const double percent = (it.value() - threadsBefore.value(it.key())) * 100.0 / elapsed;
        if (percent > 0)
            threads.append({percent, it.key()});
    }
    std::sort(threads.begin(), threads.end(), std::greater<>());
    for (qsizetype i = 0; i < std::min<qsizetype>(threads.size(), 4); ++i) {
        use.threads += (i ? QStringLiteral(",") : QString()) + threads.at(i).second + QLatin1Char(':')
            + QString::number(threads.at(i).first, 'f', 3);
    }
    if (use.threads.isEmpty())
        use.threads = QStringLiteral("-");
    return use;
}

bool udpPortBound(int port)
{
    for (const char *path : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile file {QString::fromLatin1(path)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString hex = QStringLiteral(":%1 ").arg(port, 4, 16, QLatin1Char('0')).toUpper();
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QString local = QString::fromLatin1(line).simplified().section(QLatin1Char(' '), 1, 1);
            if (QString(local + QLatin1Char(' ')).endsWith(hex))
                return true;
        }
    }
    return false;
}

int FileWatch::count()
{
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        return 0;
    m_pending += m_file.readAll();
    const qsizetype end = m_pending.lastIndexOf('\n');
    if (end < 0)
        return int(m_seen.size());
    for (const QByteArray &line : m_pending.left(end).split('\n')) {
        const QRegularExpressionMatch m = m_pattern.match(QString::fromUtf8(line));
        if (m.hasMatch())
            m_seen.insert(m.captured(m.lastCapturedIndex()));
    }
    m_pending.remove(0, end + 1);
    return int(m_seen.size());
}

} // namespace bench
