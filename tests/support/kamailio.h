#pragma once

#include <memory>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testbed {

// A Kamailio registrar/proxy on 127.0.0.1 and ::1 (UDP and TCP, same port), in-memory location
// table, its own runtime directory. With auth, REGISTER and INVITE (and MESSAGE, SUBSCRIBE) are
// challenged with digest auth against users 1001..1016, password testPassword(user), realm =
// 127.0.0.1. Stopped by pid in the destructor.
class Kamailio final
{
public:
    Kamailio();
    ~Kamailio();
    Kamailio(const Kamailio &) = delete;
    Kamailio &operator=(const Kamailio &) = delete;

    // Starts on the given port (0: a free one) and waits until it answers an OPTIONS over UDP.
    bool start(bool auth = false, quint16 port = 0, int timeoutMs = 10000);
    void stop();
    bool isRunning() const;

    quint16 port() const { return m_port; }

    QString hostPort() const; // "127.0.0.1:PORT"
    QString uri(const QString &user) const; // "sip:USER@127.0.0.1:PORT"
    // sippeer arguments registering USER here over UDP: --registrar, --user, --domain and, with
    // auth, --password testPassword(user).
    QStringList peerArgs(const QString &user) const;
    // Everything Kamailio wrote so far (stdout and stderr).
    QString log() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    bool m_auth = false;
};

} // namespace testbed
