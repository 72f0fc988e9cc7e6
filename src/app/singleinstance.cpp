#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

#include "core/log.h"

namespace {
const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
// A running panel may still be starting (lock taken, socket not yet listening): try a while.
constexpr int ReachRunningMs = 3000;
constexpr int ConnectAttemptMs = 250;
} // namespace

SingleInstance::SingleInstance(const QString &dataDir, QObject *parent)
    : QObject(parent)
    , m_dataDir(QDir(dataDir).absolutePath())
    , m_name(serverName(dataDir))
    , m_lock(QDir(m_dataDir).filePath(QStringLiteral("orvalo.lock")))
{
    m_lock.setStaleLockTime(0); // held for the panel's lifetime; only a dead owner frees it
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    m_lock.unlock();
}

QString SingleInstance::serverName(const QString &dataDir)
{
    const QByteArray key = QDir::cleanPath(QDir(dataDir).absolutePath()).toUtf8();
    return QStringLiteral("orvalo-")
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

SingleInstance::Role SingleInstance::claim()
{
    if (m_lock.tryLock(0)) {
        listen();
        return Role::Primary;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        LOG(QStringLiteral("Cannot lock the data directory ") + m_dataDir
            + QStringLiteral(": another panel for it is not detected"));
        return Role::Unguarded;
    }
    if (sendRaise()) {
        LOG(QStringLiteral("Another Orvalo runs for ") + m_dataDir
            + QStringLiteral(": asked it to come forward"));
        return Role::Secondary;
    }
    LOG(QStringLiteral("Another Orvalo holds ") + m_dataDir + QStringLiteral(" but does not answer"));
    return Role::Secondary;
}

bool SingleInstance::sendRaise() const
{
    const QDeadlineTimer deadline(ReachRunningMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(ConnectAttemptMs)) {
            socket.write(RaiseRequest);
            const bool sent = socket.waitForBytesWritten(ConnectAttemptMs);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket left by a panel that died is stale.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name)) {
        LOG(QStringLiteral("Cannot listen for a second instance: ") + m_server->errorString());
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == RaiseRequest) {
                        LOG(QStringLiteral("A second instance asked to raise the panel"));
                        emit raiseRequested();
                    }
                }
            });
        }
    });
}
