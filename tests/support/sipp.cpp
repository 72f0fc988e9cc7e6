#include "support/sipp.h"

#include <csignal>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include "support/testbed.h"

namespace testbed {

namespace {

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

Sipp::Sipp() = default;

Sipp::~Sipp()
{
    stop();
}

bool Sipp::start(const QString &scenario, const QString &target, const QStringList &args, int timeoutMs)
{
    stop();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return false;
    const qsizetype portAt = args.indexOf(QStringLiteral("-p"));
    m_port = portAt >= 0 && portAt + 1 < args.size() ? quint16(args[portAt + 1].toUInt()) : freePort();
    if (m_port == 0)
        return false;

    QStringList fullArgs {QStringLiteral("-sf"), scenarioPath(scenario)};
    if (!target.isEmpty())
        fullArgs << target;
    fullArgs << QStringLiteral("-i") << QStringLiteral("127.0.0.1") << QStringLiteral("-nostdin")
             << QStringLiteral("-trace_msg") << QStringLiteral("-message_file")
             << m_dir->filePath(QStringLiteral("messages.log")) << QStringLiteral("-trace_err")
             << QStringLiteral("-error_file") << m_dir->filePath(QStringLiteral("errors.log"))
             << QStringLiteral("-trace_logs") << QStringLiteral("-log_file")
             << m_dir->filePath(QStringLiteral("logs.log"));
    if (portAt < 0)
        fullArgs << QStringLiteral("-p") << QString::number(m_port);
    if (!args.contains(QStringLiteral("-timeout")))
        fullArgs << QStringLiteral("-timeout") << QStringLiteral("%1s").arg(qMax(1, 2 * timeoutMs / 1000));
    fullArgs << args;

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir->filePath(QStringLiteral("output.log")));
    m_process->setWorkingDirectory(m_dir->path());
    dieWithTest(*m_process);
    m_process->start(findProgram(QStringLiteral("sipp")), fullArgs);
    return m_process->waitForStarted(timeoutMs);
}

bool Sipp::run(const QString &scenario, const QString &target, const QStringList &args, int timeoutMs)
{
    return start(scenario, target, args, timeoutMs) && waitForFinished(timeoutMs) && exitCode() == 0;
}

bool Sipp::waitForFinished(int timeoutMs)
{
    if (!m_process)
        return false;
    // Keep the test's event loop running: a SIP stack in the test process is often the far end.
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process->state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return m_process->state() == QProcess::NotRunning;
}

void Sipp::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process->processId()), SIGTERM);
        if (!m_process->waitForFinished(3000)) {
            ::kill(pid_t(m_process->processId()), SIGKILL);
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}

bool Sipp::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

int Sipp::exitCode() const
{
    if (!m_process || m_process->state() != QProcess::NotRunning
        || m_process->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process->exitCode();
}

QString Sipp::hostPort() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QString Sipp::output() const
{
    return m_dir ? readFile(m_dir->filePath(QStringLiteral("output.log"))) : QString();
}

QString Sipp::messages() const
{
    return m_dir ? readFile(m_dir->filePath(QStringLiteral("messages.log"))) : QString();
}

QString Sipp::errors() const
{
    return m_dir ? readFile(m_dir->filePath(QStringLiteral("errors.log"))) : QString();
}

QString Sipp::logs() const
{
    return m_dir ? readFile(m_dir->filePath(QStringLiteral("logs.log"))) : QString();
}

} // namespace testbed
