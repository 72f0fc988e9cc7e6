#include "support/sippeer.h"

#include <csignal>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "support/testbed.h"

namespace testbed {

SipPeer::SipPeer(QObject *parent)
    : QObject(parent)
{ }

SipPeer::~SipPeer()
{
    stop(1000);
}

bool SipPeer::start(const QStringList &args, int timeoutMs)
{
    stop(1000);
    m_events.clear();
    m_taken.clear();
    m_pending.clear();
    m_stdout.clear();
    m_port = 0;
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return false;

    QStringList fullArgs = args;
    if (!args.contains(QStringLiteral("--data-dir")))
        fullArgs << QStringLiteral("--data-dir") << m_dir->filePath(QStringLiteral("data"));
    if (!args.contains(QStringLiteral("--port"))) {
        const quint16 port = freePort();
        if (port == 0)
            return false;
        fullArgs << QStringLiteral("--port") << QString::number(port);
    }

    m_process = std::make_unique<QProcess>();
    // The library log goes to a file: a full stderr pipe would block the peer.
    m_process->setStandardErrorFile(m_dir->filePath(QStringLiteral("sippeer.log")));
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &SipPeer::readOutput);
    dieWithTest(*m_process);
    m_process->start(QStringLiteral(ORVALO_BIN_DIR "/sippeer"), fullArgs);
    if (!m_process->waitForStarted(timeoutMs))
        return false;
    const QRegularExpressionMatch ready
        = waitForEvent(QStringLiteral("^EVENT ready .*\\bport=(\\d+)"), timeoutMs);
    if (!ready.hasMatch())
        return false;
    m_port = quint16(ready.captured(1).toUInt());
    return true;
}

void SipPeer::stop(int timeoutMs)
{
    if (!m_process)
        return;
    if (m_process->state() == QProcess::Running) {
        m_process->write("quit\n");
        if (!m_process->waitForFinished(timeoutMs)) {
            ::kill(pid_t(m_process->processId()), SIGKILL);
            m_process->waitForFinished(2000);
        }
    }
    readOutput();
    m_process->disconnect(this);
    m_process.reset();
}

qint64 SipPeer::pid() const
{
    return m_process ? m_process->processId() : 0;
}

void SipPeer::command(const QString &line)
{
    if (m_process && m_process->state() == QProcess::Running)
        m_process->write(line.toUtf8() + '\n');
}

QRegularExpressionMatch SipPeer::waitForEvent(const QString &pattern, int timeoutMs)
{
    const QRegularExpression re(pattern);
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype next = 0;
    for (;;) {
        readOutput();
        for (; next < m_events.size(); ++next) {
            if (m_taken[next])
                continue;
            QRegularExpressionMatch match = re.match(m_events[next]);
            if (match.hasMatch()) {
                m_taken[next] = true;
                return match;
            }
        }
        if (deadline.hasExpired() || !m_process || m_process->state() != QProcess::Running)
            return {};
        // Keep the test's own event loop running meanwhile: a SIP stack in the test process
        // answers only while its timers and sockets are served.
        QTest::qWait(int(qBound(qint64(1), deadline.remainingTime(), qint64(10))));
    }
}

bool SipPeer::hasEvent(const QString &pattern) const
{
    const QRegularExpression re(pattern);
    for (const QString &line : m_events) {
        if (re.match(line).hasMatch())
            return true;
    }
    return false;
}

QString SipPeer::output() const
{
    QString text = QString::fromUtf8(m_stdout);
    if (m_dir) {
        QFile log(m_dir->filePath(QStringLiteral("sippeer.log")));
        if (log.open(QIODevice::ReadOnly))
            text += QLatin1String("\n--- log ---\n") + QString::fromUtf8(log.readAll());
    }
    return text;
}

QString SipPeer::value(const QString &eventLine, const QString &key)
{
    const QString needle = QLatin1Char(' ') + key + QLatin1Char('=');
    const qsizetype at = eventLine.indexOf(needle);
    if (at < 0)
        return {};
    qsizetype pos = at + needle.size();
    if (pos >= eventLine.size() || eventLine[pos] != QLatin1Char('"')) {
        const qsizetype end = eventLine.indexOf(QLatin1Char(' '), pos);
        return eventLine.mid(pos, end < 0 ? -1 : end - pos);
    }
    // quoted: C escapes written by sippeer's EventLine
    QByteArray out;
    const QByteArray bytes = eventLine.mid(pos + 1).toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '"')
            break;
        if (c != '\\' || i + 1 >= bytes.size()) {
            out += c;
            continue;
        }
        const char e = bytes[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'x':
            out += char(bytes.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
            break;
        default:
            out += e;
        }
    }
    return QString::fromUtf8(out);
}

void SipPeer::readOutput()
{
    if (!m_process)
        return;
    const QByteArray chunk = m_process->readAllStandardOutput();
    if (chunk.isEmpty())
        return;
    m_stdout += chunk;
    m_pending += chunk;
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
        m_pending.remove(0, end + 1);
        if (line.startsWith(QLatin1String("EVENT "))) {
            m_events.append(line);
            m_taken.append(false);
        }
    }
}

} // namespace testbed
