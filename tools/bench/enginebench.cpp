// Benchmark of a user agent: our engine (in this process) or another agent (a child process: the
// panel, or a reference softphone), so that run-bench.sh can print them side by side. Loopback
// only; see run-bench.sh.
//
// Figures, each on its own line "<name> <figure> <values>":
//   start_ms        engine: create and start the stack; child: until its SIP port is bound
//   registered_ms   start until every account is registered (200)
//   rss_kb          resident memory right after start; rss_16acc_kb once the accounts are registered
//   idle_cpu_pct    CPU (user + system) of the process while idle, per cent of one core
//   invite180_ms    INVITE sent -> 180 received, per call, from SIPp's message trace
//   burst           a burst of simultaneous INVITEs from one caller id: how many ring, how many
//                   are refused and with which code
//   invite200_ms    INVITE sent -> 200 received on calls the agent answers at once
//   rss_16calls_kb  resident memory with 16 answered calls up at once (peak while they are up)
//   audio_cpu_pct   CPU of the process while one answered call carries PCMU both ways
//   merge_ms        engine only: merging two mono recordings into the stereo file

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "core/log.h"
#include "core/settings.h"
#include "engine/recordingfiles.h"
#include "engine/sipdialer.h"

namespace {

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

struct CpuUse
{
    double percent = 0;
    // The busiest threads: "name:percent,..." (per cent of one core).
    QString threads;
};

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

struct Distribution
{
    int count = 0;
    double min = 0;
    double median = 0;
    double p95 = 0;
    double max = 0;
};

Distribution distribution(QList<double> values)
{
    Distribution result;
    if (values.isEmpty())
        return result;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    result.count = int(n);
    result.min = values.first();
    result.max = values.last();
    result.median = n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
    // Nearest rank.
    result.p95 = values.at(qsizetype(std::ceil(0.95 * double(n))) - 1);
    return result;
}

// INVITE sent -> first response `code` to that INVITE received, per Call-ID, from SIPp's message
// trace (microsecond stamps).
Distribution parseTrace(const QString &path, int code)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression stamp(
        QStringLiteral("^-+ (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:(\\d\\d\\.\\d+))"));
    static const QRegularExpression callId(
        QStringLiteral("\\nCall-ID:\\s*(\\S+)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression inviteCSeq(
        QStringLiteral("\\nCSeq:\\s*\\d+ INVITE"), QRegularExpression::CaseInsensitiveOption);
    const QString status = QStringLiteral("\nSIP/2.0 ") + QString::number(code) + QLatin1Char(' ');
    const QStringList blocks = QString::fromLatin1(file.readAll()).split(QStringLiteral("\n---"));
    QMap<QString, double> sent;
    QMap<QString, double> answered;
    for (QString block : blocks) {
        block.prepend(QStringLiteral("---"));
        const QRegularExpressionMatch time = stamp.match(block);
        const QRegularExpressionMatch id = callId.match(block);
        if (!time.hasMatch() || !id.hasMatch())
            continue;
        const QString hms = time.captured(1).mid(11);
        const double seconds = hms.section(QLatin1Char(':'), 0, 0).toDouble() * 3600
            + hms.section(QLatin1Char(':'), 1, 1).toDouble() * 60
            + hms.section(QLatin1Char(':'), 2, 2).toDouble();
        const QString key = id.captured(1);
        if (block.contains(QLatin1String("message sent")) && block.contains(QLatin1String("\nINVITE ")))
            sent.insert(key, seconds);
        else if (block.contains(QLatin1String("message received")) && block.contains(status)
            && inviteCSeq.match(block).hasMatch() && !answered.contains(key))
            answered.insert(key, seconds);
    }
    QList<double> values;
    for (auto it = answered.cbegin(); it != answered.cend(); ++it) {
        if (sent.contains(it.key()))
            values.append((it.value() - sent.value(it.key())) * 1000.0);
    }
    return distribution(values);
}

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
        const std::function<void(QProcess &)> &whileRunning = {}) const
    {
        // SIPp's screen goes to a file: reading it here would add to an engine's CPU figures.
        const QString screen = workDir + QStringLiteral("/sipp.out");
        QProcess process;
        process.setWorkingDirectory(workDir);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(screen);
        process.start(binary,
            QStringList {target, QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(localPort), QStringLiteral("-nostdin"), QStringLiteral("-timeout"),
                QString::number(timeoutSeconds) + QLatin1Char('s'), QStringLiteral("-timeout_error")}
                + arguments);
        if (!process.waitForStarted(5000))
            return -1;
        if (whileRunning)
            whileRunning(process);
        if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, (timeoutSeconds + 10) * 1000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        if (code != 0) {
            QFile output(screen);
            output.open(QIODevice::ReadOnly);
            // The last "Failed call" count of the statistics screen, and why calls were aborted.
            QByteArray failed = "?";
            QByteArray reasons;
            for (const QByteArray &line : output.readAll().split('\n')) {
                if (line.contains("Failed call"))
                    failed = line.split('|').value(2).trimmed();
                else if (reasons.size() < 300) {
                    for (const char *what : {"Aborting call", "Dead call"}) {
                        if (line.contains(what))
                            reasons += line.mid(line.indexOf(what)).left(110).trimmed() + "'; ";
                    }
                }
            }
            std::fprintf(stderr, "sipp exit %d (%s): %s failed calls. %s\n", code,
                qPrintable(QFileInfo(arguments.value(1)).fileName()), failed.constData(),
                reasons.constData());
        }
        return code;
    }

    Distribution latency(
        const QString &scenario, const QString &user, int calls, int code, const QString &name) const
    {
        const QString trace = workDir + QLatin1Char('/') + name + QStringLiteral("-messages.log");
        run({QStringLiteral("-sf"), scenario, QStringLiteral("-s"), user, QStringLiteral("-m"),
                QString::number(calls), QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-r"),
                QStringLiteral("5"), QStringLiteral("-trace_msg"), QStringLiteral("-message_file"), trace},
            120);
        return parseTrace(trace, code);
    }
};

void printDistribution(const QString &name, const char *figure, const Distribution &d)
{
    std::printf("%s %s min=%.3f median=%.3f p95=%.3f max=%.3f n=%d\n", qPrintable(name), figure, d.min,
        d.median, d.p95, d.max, d.count);
    std::fflush(stdout);
}

void printValue(const QString &name, const char *figure, double value, const char *format = "%.1f")
{
    std::printf("%s %s value=", qPrintable(name), figure);
    std::printf(format, value);
    std::printf("\n");
    std::fflush(stdout);
}

void appendLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// A canonical WAV header for `dataBytes` of samples.
QByteArray wavHeader(int format, int rate, int bits, quint32 dataBytes)
{
    QByteArray header("RIFF");
    appendLe(header, 36 + dataBytes, 4);
    header.append("WAVEfmt ");
    appendLe(header, 16, 4);
    appendLe(header, quint32(format), 2);
    appendLe(header, 1, 2);
    appendLe(header, quint32(rate), 4);
    appendLe(header, quint32(rate * bits / 8), 4);
    appendLe(header, quint32(bits / 8), 2);
    appendLe(header, quint32(bits), 2);
    header.append("data");
    appendLe(header, dataBytes, 4);
    return header;
}

// A speech-like test signal: two tones whose loudness varies, with a little noise.
qint16 testSample(qint64 i, int rate, double pitch)
{
    const double t = double(i) / rate;
    const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 0.7 * t);
    const double noise = double((i * 1103515245 + 12345) % 2001 - 1000) / 1000.0;
    const double v
        = envelope * (0.35 * std::sin(2 * M_PI * pitch * t) + 0.15 * std::sin(2 * M_PI * 2.7 * pitch * t))
        + 0.02 * noise;
    return qint16(std::clamp(v, -1.0, 1.0) * 32767);
}

bool writeMonoWav(const QString &path, int rate, qint64 samples, double pitch)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(wavHeader(1, rate, 16, quint32(samples * 2)));
    QByteArray block;
    for (qint64 i = 0; i < samples; ++i) {
        const quint16 s = quint16(testSample(i, rate, pitch));
        block.append(char(s & 0xff)).append(char(s >> 8));
        if (block.size() >= 1 << 16 || i + 1 == samples) {
            if (file.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return true;
}

// G.711 mu-law of a 16-bit sample.
quint8 ulaw(qint16 sample)
{
    constexpr int Bias = 0x84;
    int value = sample;
    const int sign = value < 0 ? 0x80 : 0;
    if (sign)
        value = -value;
    value = std::min(value, 32635) + Bias;
    int exponent = 7;
    for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (value >> (exponent + 3)) & 0x0f;
    return quint8(~(sign | (exponent << 4) | mantissa));
}

// 8 kHz mu-law WAV for SIPp's rtp_stream (payload type 0).
bool writeUlawWav(const QString &path, int seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const int samples = seconds * 8000;
    QByteArray data;
    data.reserve(samples);
    for (int i = 0; i < samples; ++i)
        data.append(char(ulaw(testSample(i, 8000, 300))));
    return file.write(wavHeader(7, 8000, 8, quint32(samples))) == 44 && file.write(data) == data.size();
}

struct Burst
{
    int ringing = 0;
    QMap<int, int> refused; // code -> count
};

// A burst of simultaneous INVITEs from one caller id (tools/sipp/uac-burst.xml); each call that
// rings is cancelled after a few seconds.
Burst runBurst(const Sipp &sipp, const QString &scenario, const QString &user, int calls)
{
    const QString log = sipp.workDir + QStringLiteral("/burst.log");
    sipp.run({QStringLiteral("-sf"), scenario, QStringLiteral("-s"), user, QStringLiteral("-m"),
                 QString::number(calls), QStringLiteral("-l"), QString::number(calls), QStringLiteral("-r"),
                 QStringLiteral("1000"), QStringLiteral("-d"), QStringLiteral("3000"), QStringLiteral("-key"),
                 QStringLiteral("pai"), QStringLiteral("<sip:9000@127.0.0.1>"), QStringLiteral("-trace_logs"),
                 QStringLiteral("-log_file"), log},
        60);
    Burst burst;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return burst;
    static const QRegularExpression refused(QStringLiteral("call \\d+ refused (\\d+)"));
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromLatin1(line);
        if (text.contains(QLatin1String(" ringing")))
            ++burst.ringing;
        else if (const QRegularExpressionMatch m = refused.match(text); m.hasMatch())
            ++burst.refused[m.captured(1).toInt()];
    }
    return burst;
}

void printBurst(const QString &name, int calls, const Burst &burst)
{
    QString codes;
    int refused = 0;
    for (auto it = burst.refused.cbegin(); it != burst.refused.cend(); ++it) {
        refused += it.value();
        codes += (codes.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(it.key())
            + QLatin1Char('x') + QString::number(it.value());
    }
    std::printf("%s burst sent=%d ringing=%d refused=%d codes=%s\n", qPrintable(name), calls, burst.ringing,
        refused, codes.isEmpty() ? "-" : qPrintable(codes));
    std::fflush(stdout);
}

// Counts the distinct matches of capture 1 of a pattern in a file that grows (a log).
class FileWatch
{
public:
    FileWatch(const QString &path, const QString &pattern)
        : m_file(path)
        , m_pattern(pattern)
    { }

    int count()
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

private:
    QFile m_file;
    QRegularExpression m_pattern;
    QByteArray m_pending;
    QSet<QString> m_seen;
};

struct Options
{
    QString name;
    QSet<QString> phases;
    int accounts = 16;
    int idle = 30;
    int calls = 50;
    int burstCalls = 17;
    int simultaneous = 16;
    int audioSeconds = 30;
    int mergeMinutes = 10;
    int mergeRuns = 5;
    QString scenarios;
    QString burstScenario;
    QString ringUser;
    QString answerUser;

    bool has(const char *phase) const { return phases.contains(QString::fromLatin1(phase)); }
};

// The phases that use answered calls; `callsUp` tells how many calls the agent has up, -1 when
// that is not known from here (a child process).
void answeredCallPhases(const Options &o, const Sipp &sipp, qint64 pid, const std::function<int()> &callsUp)
{
    if (o.has("invite200")) {
        printDistribution(o.name, "invite200_ms",
            sipp.latency(o.scenarios + QStringLiteral("/invite_200.xml"), o.answerUser, o.calls, 200,
                QStringLiteral("invite200")));
    }
    if (o.has("calls16")) {
        // All calls at once, each held long enough to read the memory while every one is up.
        const int holdMs = 8000;
        int peak = 0;
        QString parts;
        int up = -1;
        sipp.run(
            {QStringLiteral("-sf"), o.scenarios + QStringLiteral("/invite_200.xml"), QStringLiteral("-s"),
                o.answerUser, QStringLiteral("-m"), QString::number(o.simultaneous), QStringLiteral("-l"),
                QString::number(o.simultaneous), QStringLiteral("-r"), QString::number(o.simultaneous),
                QStringLiteral("-d"), QString::number(holdMs)},
            60, [&](QProcess &) {
                // Sample the memory from 2 s after the burst until shortly before the BYEs.
                wait(2000);
                if (callsUp)
                    up = callsUp();
                QElapsedTimer timer;
                timer.start();
                while (timer.elapsed() < holdMs - 3000) {
                    if (const int rss = rssKb(pid); rss > peak) {
                        peak = rss;
                        parts = rssParts(pid);
                    }
                    wait(100);
                }
            });
        std::printf("%s rss_16calls_kb value=%d calls=%d up=%d%s\n", qPrintable(o.name), peak, o.simultaneous,
            up, qPrintable(parts));
        std::fflush(stdout);
        wait(1000);
    }
    if (o.has("audio")) {
        // One call carrying audio: measured from 2 s after SIPp starts (the call is up) for
        // audioSeconds, then SIPp hangs up.
        if (!writeUlawWav(sipp.workDir + QStringLiteral("/pcmu.wav"), 10)) {
            std::fprintf(stderr, "cannot write pcmu.wav\n");
            return;
        }
        CpuUse cpu;
        cpu.percent = -1;
        int up = -1;
        const int code
            = sipp.run({QStringLiteral("-sf"), o.scenarios + QStringLiteral("/invite_audio.xml"),
                           QStringLiteral("-s"), o.answerUser, QStringLiteral("-m"), QStringLiteral("1"),
                           QStringLiteral("-d"), QString::number((o.audioSeconds + 4) * 1000)},
                o.audioSeconds + 60, [&](QProcess &) {
                    wait(2000);
                    if (callsUp)
                        up = callsUp();
                    cpu = cpuUse(pid, o.audioSeconds);
                });
        std::printf("%s audio_cpu_pct value=%.3f seconds=%d up=%d sipp=%d threads=%s\n", qPrintable(o.name),
            cpu.percent, o.audioSeconds, up, code, qPrintable(cpu.threads));
        std::fflush(stdout);
    }
}

void mergePhase(const Options &o, const QString &dir)
{
    const QString path = dir + QStringLiteral("/merge.wav");
    const int rate = 16000;
    const qint64 samples = qint64(o.mergeMinutes) * 60 * rate;
    if (!writeMonoWav(path + QStringLiteral("-l"), rate, samples, 220)
        || !writeMonoWav(path + QStringLiteral("-r"), rate, samples - rate / 3, 330)) {
        std::fprintf(stderr, "cannot write the recordings to merge\n");
        return;
    }
    QList<double> times;
    for (int i = 0; i < o.mergeRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = merge_audio_files(path);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!ok || QFile(path).size() < samples * 4) {
            std::fprintf(stderr, "merge_audio_files failed\n");
            return;
        }
        times.append(ms);
    }
    printDistribution(o.name, "merge_ms", distribution(times));
    std::printf("%s merge_input minutes=%d rate=%d mono_16bit_files=2 output_bytes=%lld\n",
        qPrintable(o.name), o.mergeMinutes, rate, QFile(path).size());
    std::fflush(stdout);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-l"));
    QFile::remove(path + QStringLiteral("-r"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const auto option = [&parser](const char *name, const char *help, const char *value = nullptr,
                            const char *fallback = nullptr) {
        if (value)
            parser.addOption({QString::fromLatin1(name), QString::fromLatin1(help),
                QString::fromLatin1(value), QString::fromLatin1(fallback ? fallback : "")});
        else
            parser.addOption({QString::fromLatin1(name), QString::fromLatin1(help)});
    };
    option("registrar", "Registrar host:port (engine in this process).", "hostport");
    option("accounts", "Accounts to register.", "n", "16");
    option("idle", "Idle seconds.", "s", "30");
    option("calls", "SIPp calls for each latency.", "n", "50");
    option("burst", "INVITEs in the burst.", "n", "17");
    option("simultaneous", "Answered calls up at once for the memory figure.", "n", "16");
    option("audio-seconds", "Seconds of the call carrying audio.", "s", "30");
    option("merge-minutes", "Length of the recordings merged.", "min", "10");
    option("merge-runs", "Merges timed.", "n", "5");
    option("sipp", "SIPp binary.", "path", "sipp");
    option("scenarios", "Folder of invite_180.xml, invite_200.xml, invite_audio.xml.", "dir");
    option("burst-scenario", "SIPp scenario of the burst (tools/sipp/uac-burst.xml).", "path");
    option("port", "SIP port of the measured agent.", "port");
    option("target", "Where SIPp sends (default 127.0.0.1:port).", "hostport");
    option("ring-user", "User called for ringing calls.", "user", "1001");
    option("answer-user", "User called for answered calls (default: ring-user).", "user");
    option("sipp-port", "SIPp's own port.", "port");
    option("name", "Name in the output.", "name", "orvalo");
    option("phases", "Comma-separated: start,idle,invite180,burst,invite200,calls16,audio,merge.", "list",
        "start,idle,invite180,burst,invite200,calls16,audio,merge");
    option("work-dir", "Folder for traces and logs, kept (default: a temporary one).", "dir");
    option("settle", "Seconds to let another agent settle after start.", "s", "3");
    option("ready-file", "Child: file whose matching lines tell registrations (its log).", "path");
    option("ready-pattern", "Child: pattern of a successful registration; capture 1 names the account.",
        "regex");
    option("ready-stdout", "Child: look for the ready pattern in its standard output.");
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral("Another agent to start and measure instead of the engine."));
    parser.process(app);

    Options o;
    o.name = parser.value(QStringLiteral("name"));
    for (const QString &phase :
        parser.value(QStringLiteral("phases")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        o.phases.insert(phase.trimmed());
    o.accounts = parser.value(QStringLiteral("accounts")).toInt();
    o.idle = parser.value(QStringLiteral("idle")).toInt();
    o.calls = parser.value(QStringLiteral("calls")).toInt();
    o.burstCalls = parser.value(QStringLiteral("burst")).toInt();
    o.simultaneous = parser.value(QStringLiteral("simultaneous")).toInt();
    o.audioSeconds = parser.value(QStringLiteral("audio-seconds")).toInt();
    o.mergeMinutes = parser.value(QStringLiteral("merge-minutes")).toInt();
    o.mergeRuns = parser.value(QStringLiteral("merge-runs")).toInt();
    o.scenarios = parser.value(QStringLiteral("scenarios"));
    o.burstScenario = parser.value(QStringLiteral("burst-scenario"));
    o.ringUser = parser.value(QStringLiteral("ring-user"));
    o.answerUser = parser.isSet(QStringLiteral("answer-user")) ? parser.value(QStringLiteral("answer-user"))
                                                               : o.ringUser;

    const int port = parser.value(QStringLiteral("port")).toInt();
    QTemporaryDir temporary;
    const QDir dir(parser.isSet(QStringLiteral("work-dir")) ? parser.value(QStringLiteral("work-dir"))
                                                            : temporary.path());
    dir.mkpath(QStringLiteral("."));
    Sipp sipp;
    sipp.binary = parser.value(QStringLiteral("sipp"));
    sipp.target = parser.isSet(QStringLiteral("target"))
        ? parser.value(QStringLiteral("target"))
        : QStringLiteral("127.0.0.1:") + QString::number(port);
    sipp.localPort = parser.value(QStringLiteral("sipp-port")).toInt();
    sipp.workDir = dir.absolutePath();

    const auto ringingPhases = [&](qint64 pid) -> int {
        if (o.has("idle")) {
            const CpuUse idle = cpuUse(pid, o.idle);
            std::printf("%s idle_cpu_pct value=%.3f threads=%s\n", qPrintable(o.name), idle.percent,
                qPrintable(idle.threads));
        }
        Distribution ringing;
        if (o.has("invite180")) {
            ringing = sipp.latency(o.scenarios + QStringLiteral("/invite_180.xml"), o.ringUser, o.calls, 180,
                QStringLiteral("invite180"));
            printDistribution(o.name, "invite180_ms", ringing);
        }
        if (o.has("burst"))
            printBurst(o.name, o.burstCalls, runBurst(sipp, o.burstScenario, o.ringUser, o.burstCalls));
        return !o.has("invite180") || ringing.count > 0 ? 0 : 1;
    };

    if (!parser.positionalArguments().isEmpty()) {
        // Another user agent: start it, wait for its SIP port, then measure it from outside.
        const QStringList command = parser.positionalArguments();
        const QString out = dir.filePath(QStringLiteral("agent.out"));
        QProcess agent;
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.setStandardOutputFile(out);
        const bool watchRegistrations = parser.isSet(QStringLiteral("ready-pattern"));
        FileWatch registrations(
            parser.isSet(QStringLiteral("ready-stdout")) ? out : parser.value(QStringLiteral("ready-file")),
            parser.value(QStringLiteral("ready-pattern")));
        QElapsedTimer timer;
        timer.start();
        agent.start(command.first(), command.mid(1));
        if (!agent.waitForStarted(5000) || !waitFor([&] { return udpPortBound(port); }, 10000)) {
            std::fprintf(stderr, "%s did not bind port %d\n", qPrintable(command.first()), port);
            return 1;
        }
        const double startMs = double(timer.nsecsElapsed()) / 1e6;
        const qint64 pid = agent.processId();
        const int rss = rssKb(pid);
        const bool start = o.has("start");
        if (start)
            printValue(o.name, "start_ms", startMs);
        if (watchRegistrations) {
            const bool all = waitFor([&] { return registrations.count() >= o.accounts; }, 20000);
            if (all && start)
                printValue(o.name, "registered_ms", double(timer.nsecsElapsed()) / 1e6);
            else if (!all)
                std::printf("%s registered_ms value=n/a registered=%d of %d\n", qPrintable(o.name),
                    registrations.count(), o.accounts);
        }
        wait(parser.value(QStringLiteral("settle")).toInt() * 1000);
        if (start) {
            printValue(o.name, "rss_kb", rss, "%.0f");
            std::printf(
                "%s rss_16acc_kb value=%d%s\n", qPrintable(o.name), rssKb(pid), qPrintable(rssParts(pid)));
        }
        int status = ringingPhases(pid);
        wait(1000);
        answeredCallPhases(o, sipp, pid, {});
        if (agent.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "%s ended during the benchmark\n", qPrintable(command.first()));
            status = 1;
        }
        agent.terminate();
        if (!agent.waitForFinished(3000))
            agent.kill();
        return status;
    }

    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    Settings settings(dir.absolutePath());
    Log::set_output_file(dir.filePath(QStringLiteral("log")));
    // The file sound card gives the engine a microphone (a test signal) without audio hardware.
    const QString microphone = dir.filePath(QStringLiteral("microphone.wav"));
    writeMonoWav(microphone, 16000, 16000 * 10, 440);
    QElapsedTimer timer;
    timer.start();
    SipDialer engine(settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(port);
    engine.setFileSoundCard(microphone, QString());
    if (!engine.init())
        return 1;
    const double startMs = double(timer.nsecsElapsed()) / 1e6;
    const int rss = rssKb(QCoreApplication::applicationPid());
    engine.set_sound_devices(engine.fileSoundCardIndex(), engine.fileSoundCardIndex());
    engine.setMaxCallCount(16);

    int registered = 0;
    QObject::connect(&engine, &SipDialer::onRegistrationChanged, &engine, [&](const orvalo_acc_msg &info) {
        if (info.status == 200)
            ++registered;
    });
    // Answered-call phases: the engine answers each incoming call at once (after the callback).
    bool answer = false;
    QObject::connect(
        &engine, &SipDialer::onIncomingCall, &engine,
        [&](const orvalo_call_info &info) {
            if (!answer)
                return;
            sip_call_msg msg;
            msg.call_id = info.call_id;
            engine.onAnswerButtonSlot(msg);
        },
        Qt::QueuedConnection);
    const QString registrar = parser.value(QStringLiteral("registrar"));
    for (int i = 0; i < o.accounts; ++i) {
        sip_acc_msg msg;
        msg.username = QString::number(1001 + i);
        msg.domain = registrar;
        msg.id_uri = QStringLiteral("<sip:") + msg.username + QLatin1Char('@') + registrar + QLatin1Char('>');
        msg.reg_uri = QStringLiteral("sip:") + registrar;
        engine.registerAccount(msg);
    }
    printValue(o.name, "start_ms", startMs);
    if (waitFor([&] { return registered >= o.accounts; }, 20000))
        printValue(o.name, "registered_ms", double(timer.nsecsElapsed()) / 1e6);
    else
        std::printf(
            "%s registered_ms value=n/a registered=%d of %d\n", qPrintable(o.name), registered, o.accounts);
    wait(500);
    printValue(o.name, "rss_kb", rss, "%.0f");
    const qint64 self = QCoreApplication::applicationPid();
    std::printf("%s rss_16acc_kb value=%d%s\n", qPrintable(o.name), rssKb(self), qPrintable(rssParts(self)));
    // Ringing phases: nothing is answered, the caller cancels.
    const int status = ringingPhases(self);
    wait(1000);
    answer = true;
    answeredCallPhases(o, sipp, self, [&] { return engine.callCount(); });
    answer = false;
    if (o.has("merge"))
        mergePhase(o, dir.absolutePath());
    engine.shutdown();
    return status;
}
