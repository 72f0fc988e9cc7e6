#pragma once

#include <chrono>

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

// Whether a TCP connection to a literal IP address and port can be opened and take four bytes
// ("ping"): up to 3000 ms for the connection, up to 3000 ms more for the bytes to be written. A
// host name (which is not resolved), an invalid port, a refusal or a time-out fails. The result is
// always reported after start() has returned.
class PortCheck final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PortCheck)

public:
    static constexpr std::chrono::milliseconds ConnectLimit {3000};
    static constexpr std::chrono::milliseconds WriteLimit {3000};

    explicit PortCheck(QObject *parent = nullptr);
    ~PortCheck() override;

    // The port as the accounts table holds it (text).
    void start(const QString &address, const QString &port);

signals:
    void finished(bool passed);

private:
    enum class Stage
    {
        Idle,
        Connecting,
        Writing,
    };

    void finish(bool passed);

    QTcpSocket m_socket;
    QTimer m_limit;
    Stage m_stage = Stage::Idle;
    qint64 m_written = 0;
};
