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
//   growth          calls ringing one after the other, each cancelled: resident memory growth per
//                   1,000 calls after the first hundred, calls that rang, call records left

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "benchprocess.h"
#include "benchsipp.h"
#include "benchwav.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/recordingfiles.h"
#include "engine/sipdialer.h"
#include "growthphase.h"

using namespace bench;

namespace {

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
    option("growth-calls", "Calls of the memory growth phase.", "n", "1200");
    option("growth-rate", "Calls started per second in the growth phase.", "n", "4");
    option("growth-ring-ms", "How long each call of the growth phase rings before it is cancelled.", "ms",
        "500");
    option("cdr-db", "Child: its database, whose call records the growth phase counts.", "path");
    option("phases",
        "Comma-separated: start,idle,invite180,burst,growth,invite200,calls16,audio,merge (growth only when "
        "named).",
        "list", "start,idle,invite180,burst,invite200,calls16,audio,merge");
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

    GrowthOptions growth;
    growth.name = o.name;
    growth.scenario = o.scenarios + QStringLiteral("/ring_cancel.xml");
    growth.user = o.ringUser;
    growth.calls = parser.value(QStringLiteral("growth-calls")).toInt();
    growth.rate = parser.value(QStringLiteral("growth-rate")).toInt();
    growth.ringMs = parser.value(QStringLiteral("growth-ring-ms")).toInt();
    growth.cdrDatabase = parser.value(QStringLiteral("cdr-db"));

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
        if (o.has("growth")) {
            wait(1000);
            growthPhase(sipp, growth, pid);
        }
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
