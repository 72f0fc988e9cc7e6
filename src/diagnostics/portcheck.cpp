#include "diagnostics/portcheck.h"

#include <QHostAddress>

namespace {
const QByteArray Probe("ping");
}

PortCheck::PortCheck(QObject *parent)
    : QObject(parent)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] { finish(false); });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_stage = Stage::Writing;
        m_limit.start(WriteLimit);
        m_socket.write(Probe);
    });
    connect(&m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
        m_written += bytes;
        if (m_stage == Stage::Writing && m_written >= Probe.size())
            finish(true);
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_stage != Stage::Idle)
            finish(false);
    });
}

PortCheck::~PortCheck()
{
    m_socket.disconnect(this);
    m_socket.abort();
}

void PortCheck::start(const QString &address, const QString &port)
{
    if (m_stage != Stage::Idle)
        return;
    m_socket.abort();
    m_stage = Stage::Connecting;
    m_written = 0;
    const QHostAddress host(address.trimmed());
    bool numeric = false;
    const int number = port.trimmed().toInt(&numeric);
    if (host.isNull() || !numeric || number <= 0 || number > 65535) {
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    m_limit.start(ConnectLimit);
    m_socket.connectToHost(host, quint16(number));
}

void PortCheck::finish(bool passed)
{
    if (m_stage == Stage::Idle)
        return;
    m_stage = Stage::Idle;
    m_limit.stop();
    if (passed)
        m_socket.disconnectFromHost();
    else
        m_socket.abort();
    emit finished(passed);
}
