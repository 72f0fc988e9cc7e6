#pragma once

#include <memory>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One panel per data directory: a second start would fight the first over the SIP port and the
// database. The first instance holds a lock file in the data directory and listens on a local
// socket named after the directory; a later one finds the lock taken, asks the running panel to
// come forward ("raise") and ends.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Role
    {
        Primary, // no other panel runs for this directory: listening for raise requests
        Secondary, // another panel runs and was asked to come forward
        Unguarded, // the lock could not be taken nor the running panel reached: start anyway
    };

    explicit SingleInstance(const QString &dataDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides the role; returns at once when no other instance runs.
    Role claim();

    // The local socket name for a data directory (a hash, so that any path fits).
    static QString serverName(const QString &dataDir);

signals:
    void raiseRequested();

private:
    bool sendRaise() const;
    void listen();

    QString m_dataDir;
    QString m_name;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
