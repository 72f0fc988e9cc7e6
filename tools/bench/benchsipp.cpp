#include "benchsipp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "benchprocess.h"

namespace bench {

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

// Runs one SIPp scenario to its end, keeping the event loop running (an engine in this process
// lives in it); `whileRunning` runs once it has started. Returns SIPp's exit code, -1 when it
// did not start.
int Sipp::run(const QStringList &arguments, int timeoutSeconds,
    const std::function<void(QProcess &)> &whileRunning) const
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
            qPrintable(QFileInfo(arguments.value(1)).fileName()), failed.constData(), reasons.constData());
    }
    return code;
}

Distribution Sipp::latency(
    const QString &scenario, const QString &user, int calls, int code, const QString &name) const
{
    const QString trace = workDir + QLatin1Char('/') + name + QStringLiteral("-messages.log");
    run({QStringLiteral("-sf"), scenario, QStringLiteral("-s"), user, QStringLiteral("-m"),
            QString::number(calls), QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-r"),
            QStringLiteral("5"), QStringLiteral("-trace_msg"), QStringLiteral("-message_file"), trace},
        120);
    return parseTrace(trace, code);
}

void printDistribution(const QString &name, const char *figure, const Distribution &d)
{
    std::printf("%s %s min=%.3f median=%.3f p95=%.3f max=%.3f n=%d\n", qPrintable(name), figure, d.min,
        d.median, d.p95, d.max, d.count);
    std::fflush(stdout);
}

void printValue(const QString &name, const char *figure, double value, const char *format)
{
    std::printf("%s %s value=", qPrintable(name), figure);
    std::printf(format, value);
    std::printf("\n");
    std::fflush(stdout);
}

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

} // namespace bench
