#include "support/kamailio.h"

#include <csignal>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QUdpSocket>

#include "support/testbed.h"

namespace testbed {

namespace {

// One OPTIONS request over UDP; true when any SIP response comes back in time.
bool answersOptions(quint16 port, int timeoutMs)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0))
        return false;
    const QString branch = QStringLiteral("z9hG4bK-probe-%1").arg(port);
    const QString request = QStringLiteral("OPTIONS sip:127.0.0.1:%1 SIP/2.0\r\n"
                                           "Via: SIP/2.0/UDP 127.0.0.1:%2;branch=%3;rport\r\n"
                                           "Max-Forwards: 70\r\n"
                                           "From: <sip:probe@127.0.0.1>;tag=probe\r\n"
                                           "To: <sip:127.0.0.1:%1>\r\n"
                                           "Call-ID: probe-%1@127.0.0.1\r\n"
                                           "CSeq: 1 OPTIONS\r\n"
                                           "Content-Length: 0\r\n\r\n")
                                .arg(port)
                                .arg(socket.localPort())
                                .arg(branch);
    socket.writeDatagram(request.toLatin1(), QHostAddress::LocalHost, port);
    if (!socket.waitForReadyRead(timeoutMs))
        return false;
    QByteArray reply(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(reply.data(), reply.size());
    return reply.startsWith("SIP/2.0 ");
}

} // namespace

Kamailio::Kamailio() = default;

Kamailio::~Kamailio()
{
    stop();
}

bool Kamailio::start(bool auth, quint16 port, int timeoutMs)
{
    stop();
    m_auth = auth;
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return false;
    m_port = port != 0 ? port : freePort();
    if (m_port == 0)
        return false;

    const QString p = QString::number(m_port);
    const QString config = auth ? QStringLiteral(ORVALO_SOURCE_DIR "/tools/testbed/kamailio-auth.cfg")
                                : QStringLiteral(ORVALO_SOURCE_DIR "/tools/testbed/kamailio.cfg");
    QStringList args {QStringLiteral("-f"), config, QStringLiteral("-DD"), QStringLiteral("-E"),
        // small shared and private memory: several instances run at once
        QStringLiteral("-m"), QStringLiteral("32"), QStringLiteral("-M"), QStringLiteral("4"),
        QStringLiteral("-P"), m_dir->filePath(QStringLiteral("kamailio.pid")), QStringLiteral("-Y"),
        m_dir->path(), QStringLiteral("-l"), QStringLiteral("udp:127.0.0.1:") + p, QStringLiteral("-l"),
        QStringLiteral("tcp:127.0.0.1:") + p, QStringLiteral("-l"), QStringLiteral("udp:[::1]:") + p,
        QStringLiteral("-l"), QStringLiteral("tcp:[::1]:") + p};
    m_process = std::make_unique<QProcess>();
    // A file, not a pipe: nobody may be reading while Kamailio logs.
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir->filePath(QStringLiteral("kamailio.log")));
    m_process->setWorkingDirectory(m_dir->path());
    dieWithTest(*m_process);
    m_process->start(findProgram(QStringLiteral("kamailio")), args);
    if (!m_process->waitForStarted(timeoutMs))
        return false;

    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            return false;
        if (answersOptions(m_port, 200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void Kamailio::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // Kamailio ends its children on SIGTERM to the main process.
        ::kill(pid_t(m_process->processId()), SIGTERM);
        if (!m_process->waitForFinished(5000)) {
            ::kill(pid_t(m_process->processId()), SIGKILL);
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}

bool Kamailio::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString Kamailio::hostPort() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QString Kamailio::uri(const QString &user) const
{
    return QLatin1String("sip:") + user + QLatin1Char('@') + hostPort();
}

QStringList Kamailio::peerArgs(const QString &user) const
{
    QStringList args {QStringLiteral("--registrar"), hostPort(), QStringLiteral("--user"), user,
        QStringLiteral("--domain"), QStringLiteral("127.0.0.1")};
    if (m_auth)
        args << QStringLiteral("--password") << testPassword(user);
    return args;
}

QString Kamailio::log() const
{
    if (!m_dir)
        return {};
    QFile file(m_dir->filePath(QStringLiteral("kamailio.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace testbed
