// Engine benchmark: start time, memory with registered accounts, idle CPU and INVITE->180
// latency, for our engine (in this process) or for another user agent (a child process), so that
// run-bench.sh can print both side by side. Loopback only; see run-bench.sh.

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include "core/log.h"
#include "core/settings.h"
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

double idleCpuPercent(qint64 pid, int seconds)
{
    const double before = cpuSeconds(pid);
    QElapsedTimer timer;
    timer.start();
    wait(seconds * 1000);
    return (cpuSeconds(pid) - before) * 100.0 / (double(timer.elapsed()) / 1000.0);
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

struct Latency
{
    int calls = 0;
    double min = 0;
    double median = 0;
    double max = 0;
};

// INVITE sent -> first 180 received, per Call-ID, from SIPp's message trace (microsecond stamps).
Latency parseTrace(const QString &path)
{
    QFile file(path);
    Latency result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    static const QRegularExpression stamp(
        QStringLiteral("^-+ (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:(\\d\\d\\.\\d+))"));
    static const QRegularExpression callId(QStringLiteral("\\nCall-ID:\\s*(\\S+)"));
    const QStringList blocks = QString::fromLatin1(file.readAll()).split(QStringLiteral("\n---"));
    QMap<QString, double> sent;
    QMap<QString, double> ringing;
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
        else if (block.contains(QLatin1String("message received"))
            && block.contains(QLatin1String("\nSIP/2.0 180")) && !ringing.contains(key))
            ringing.insert(key, seconds);
    }
    QList<double> values;
    for (auto it = ringing.cbegin(); it != ringing.cend(); ++it) {
        if (sent.contains(it.key()))
            values.append((it.value() - sent.value(it.key())) * 1000.0);
    }
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return result;
    result.calls = int(values.size());
    result.min = values.first();
    result.max = values.last();
    result.median = values.size() % 2 ? values.at(values.size() / 2)
                                      : (values.at(values.size() / 2 - 1) + values.at(values.size() / 2)) / 2;
    return result;
}

Latency measureLatency(const QString &sipp, const QString &scenario, const QString &target, int calls,
    int localPort, const QString &workDir)
{
    const QString trace = workDir + QStringLiteral("/messages.log");
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.start(sipp,
        {QStringLiteral("-sf"), scenario, target, QStringLiteral("-s"), QStringLiteral("1001"),
            QStringLiteral("-m"), QString::number(calls), QStringLiteral("-l"), QStringLiteral("1"),
            QStringLiteral("-r"), QStringLiteral("5"), QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"), QString::number(localPort), QStringLiteral("-nostdin"),
            QStringLiteral("-trace_msg"), QStringLiteral("-message_file"), trace, QStringLiteral("-timeout"),
            QStringLiteral("120s")});
    if (!process.waitForStarted(5000))
        return {};
    // Keep our own event loop running: the engine under test lives in it.
    waitFor([&] { return process.state() == QProcess::NotRunning; }, 130000);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "sipp exit %d: %s\n", process.exitCode(), process.readAll().constData());
    return parseTrace(trace);
}

void print(
    const QString &name, double startMs, int rss, int rssAccounts, double idleCpu, const Latency &latency)
{
    std::printf("%-10s start_ms=%.1f rss_kb=%d rss_16acc_kb=%d idle_cpu_pct=%.3f invite180_ms min=%.3f "
                "median=%.3f max=%.3f calls=%d\n",
        qPrintable(name), startMs, rss, rssAccounts, idleCpu, latency.min, latency.median, latency.max,
        latency.calls);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("registrar"), QStringLiteral("Registrar host:port."), QStringLiteral("hostport")});
    parser.addOption({QStringLiteral("accounts"), QStringLiteral("Accounts to register."),
        QStringLiteral("n"), QStringLiteral("16")});
    parser.addOption(
        {QStringLiteral("idle"), QStringLiteral("Idle seconds."), QStringLiteral("s"), QStringLiteral("30")});
    parser.addOption(
        {QStringLiteral("calls"), QStringLiteral("SIPp calls."), QStringLiteral("n"), QStringLiteral("50")});
    parser.addOption({QStringLiteral("sipp"), QStringLiteral("SIPp binary."), QStringLiteral("path"),
        QStringLiteral("sipp")});
    parser.addOption({QStringLiteral("scenario"), QStringLiteral("SIPp scenario."), QStringLiteral("path")});
    parser.addOption(
        {QStringLiteral("port"), QStringLiteral("SIP port of the measured agent."), QStringLiteral("port")});
    parser.addOption(
        {QStringLiteral("sipp-port"), QStringLiteral("SIPp's own port."), QStringLiteral("port")});
    parser.addOption({QStringLiteral("name"), QStringLiteral("Name in the output."), QStringLiteral("name"),
        QStringLiteral("orvalo")});
    parser.addOption({QStringLiteral("settle"), QStringLiteral("Seconds to let another agent register."),
        QStringLiteral("s"), QStringLiteral("3")});
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral("Another agent to start and measure instead of the engine."));
    parser.process(app);

    const int port = parser.value(QStringLiteral("port")).toInt();
    const int accounts = parser.value(QStringLiteral("accounts")).toInt();
    const int idle = parser.value(QStringLiteral("idle")).toInt();
    const QString target = QStringLiteral("127.0.0.1:") + QString::number(port);
    QTemporaryDir dir;

    if (!parser.positionalArguments().isEmpty()) {
        // Another user agent: start it, wait for its SIP port, then measure it from outside.
        const QStringList command = parser.positionalArguments();
        QProcess agent;
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.setStandardOutputFile(dir.filePath(QStringLiteral("agent.out")));
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
        wait(parser.value(QStringLiteral("settle")).toInt() * 1000);
        const int rssAccounts = rssKb(pid);
        const double cpu = idleCpuPercent(pid, idle);
        const Latency latency = measureLatency(parser.value(QStringLiteral("sipp")),
            parser.value(QStringLiteral("scenario")), target, parser.value(QStringLiteral("calls")).toInt(),
            parser.value(QStringLiteral("sipp-port")).toInt(), dir.path());
        print(parser.value(QStringLiteral("name")), startMs, rss, rssAccounts, cpu, latency);
        agent.terminate();
        if (!agent.waitForFinished(3000))
            agent.kill();
        return latency.calls > 0 ? 0 : 1;
    }

    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    Settings settings(dir.path());
    Log::set_output_file(dir.filePath(QStringLiteral("log")));
    QElapsedTimer timer;
    timer.start();
    SipDialer engine(settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(port);
    if (!engine.init())
        return 1;
    const double startMs = double(timer.nsecsElapsed()) / 1e6;
    const int rss = rssKb(QCoreApplication::applicationPid());

    int registered = 0;
    QObject::connect(&engine, &SipDialer::onRegistrationChanged, &engine, [&](const orvalo_acc_msg &info) {
        if (info.status == 200)
            ++registered;
    });
    const QString registrar = parser.value(QStringLiteral("registrar"));
    for (int i = 0; i < accounts; ++i) {
        sip_acc_msg msg;
        msg.username = QString::number(1001 + i);
        msg.domain = registrar;
        msg.id_uri = QStringLiteral("<sip:") + msg.username + QLatin1Char('@') + registrar + QLatin1Char('>');
        msg.reg_uri = QStringLiteral("sip:") + registrar;
        engine.registerAccount(msg);
    }
    if (!waitFor([&] { return registered >= accounts; }, 20000))
        std::fprintf(stderr, "only %d of %d accounts registered\n", registered, accounts);
    wait(500);
    const int rssAccounts = rssKb(QCoreApplication::applicationPid());
    const double cpu = idleCpuPercent(QCoreApplication::applicationPid(), idle);
    // Each call rings once; answer nothing, the caller cancels.
    const Latency latency = measureLatency(parser.value(QStringLiteral("sipp")),
        parser.value(QStringLiteral("scenario")), target, parser.value(QStringLiteral("calls")).toInt(),
        parser.value(QStringLiteral("sipp-port")).toInt(), dir.path());
    print(parser.value(QStringLiteral("name")), startMs, rss, rssAccounts, cpu, latency);
    return latency.calls > 0 ? 0 : 1;
}
