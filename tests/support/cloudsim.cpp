#include "support/cloudsim.h"

#include <csignal>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QTest>

#include "support/testbed.h"

namespace testbed {

namespace {
constexpr int StartMs = 20000; // a certificate is made at start and a large directory generated
constexpr int AnswerMs = 5000;

// Runs the event loop until done() or the deadline; true when done() held.
template <typename Done> bool waitUntil(Done done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(int(qBound(qint64(1), deadline.remainingTime(), qint64(10))));
    }
    return true;
}
} // namespace

CloudSim::CloudSim() = default;

CloudSim::~CloudSim()
{
    stop();
}

bool CloudSim::start(const QStringList &args)
{
    stop();
    m_pending.clear();
    m_stdout.clear();
    m_stderr.clear();
    m_next = {};
    m_requests.clear();
    m_taken.clear();
    m_answers.clear();
    m_listening.clear();
    m_port = 0;

    QStringList fullArgs = args;
    if (!args.contains(QStringLiteral("--fixture")))
        fullArgs << QStringLiteral("--fixture")
                 << QStringLiteral(ORVALO_SOURCE_DIR "/tools/cloudsim/fixture.json");
    if (!args.contains(QStringLiteral("--port")))
        fullArgs << QStringLiteral("--port") << QStringLiteral("0");
    m_process = std::make_unique<QProcess>();
    dieWithTest(*m_process);
    m_process->start(QStringLiteral(ORVALO_BIN_DIR "/cloudsim"), fullArgs);
    if (!m_process->waitForStarted(StartMs))
        return false;
    const bool listening = waitUntil(
        [this] {
            readOutput();
            return !m_listening.isEmpty() || m_process->state() != QProcess::Running;
        },
        StartMs);
    if (!listening || m_listening.isEmpty())
        return false;
    m_port = quint16(m_listening.section(QLatin1Char(':'), -1).toUInt());
    return m_port != 0;
}

void CloudSim::stop()
{
    if (!m_process)
        return;
    if (m_process->state() == QProcess::Running) {
        m_process->write("quit\n");
        if (!m_process->waitForFinished(2000)) {
            ::kill(pid_t(m_process->processId()), SIGKILL);
            m_process->waitForFinished(2000);
        }
    }
    readOutput();
    m_process.reset();
}

QString CloudSim::baseUrl() const
{
    return QStringLiteral("https://%1/briskogui/").arg(hostPort());
}

QString CloudSim::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

bool CloudSim::command(const QString &line)
{
    if (!m_process || m_process->state() != QProcess::Running)
        return false;
    readOutput();
    const qsizetype before = m_answers.size();
    m_process->write(line.toUtf8() + '\n');
    if (!waitUntil(
            [this, before] {
                readOutput();
                return m_answers.size() > before;
            },
            AnswerMs))
        return false;
    return m_answers.at(before) == QLatin1String("OK");
}

QByteArray CloudSim::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

CloudSim::Request CloudSim::waitForRequest(const QRegularExpression &path, int timeoutMs)
{
    Request found;
    waitUntil(
        [&] {
            readOutput();
            for (qsizetype i = 0; i < m_requests.size(); ++i) {
                if (!m_taken[i] && path.match(m_requests[i].path).hasMatch()) {
                    m_taken[i] = true;
                    found = m_requests[i];
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QList<CloudSim::Request> CloudSim::requests() const
{
    readOutput();
    return m_requests;
}

QString CloudSim::log() const
{
    readOutput();
    return QString::fromUtf8(m_stdout) + QLatin1String("\n--- stderr ---\n") + QString::fromUtf8(m_stderr);
}

void CloudSim::readOutput() const
{
    if (!m_process)
        return;
    m_stderr += m_process->readAllStandardError();
    const QByteArray chunk = m_process->readAllStandardOutput();
    m_stdout += chunk;
    m_pending += chunk;
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (line.startsWith("HEADER ")) {
            const qsizetype colon = line.indexOf(": ", 7);
            if (colon > 0)
                m_next.headers.append({line.mid(7, colon - 7), line.mid(colon + 2)});
        } else if (line.startsWith("COOKIE ")) {
            m_next.cookies << QString::fromUtf8(line.mid(7));
        } else if (line.startsWith("REQUEST ")) {
            const QList<QByteArray> words = line.split(' ');
            m_next.method = QString::fromUtf8(words.value(1));
            m_next.path = QString::fromUtf8(words.value(2));
            m_next.status = words.value(3) == "-" ? -1 : words.value(3).toInt();
            m_requests.append(m_next);
            m_taken.append(false);
            m_next = {};
        } else if (line == "OK" || line.startsWith("ERROR")) {
            m_answers << QString::fromUtf8(line);
        } else if (line.startsWith("LISTENING ")) {
            m_listening = QString::fromUtf8(line.mid(10));
        }
    }
}

} // namespace testbed
