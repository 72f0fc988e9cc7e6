#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>

class CloudServer;
class QSocketNotifier;

// The runtime control on stdin, one command per line, each answered on stdout with "OK" or
// "ERROR <reason>": "fail ENDPOINT MODE", "clear", "quit". The end of stdin changes nothing.
class Console final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Console)

public:
    explicit Console(CloudServer &server, QObject *parent = nullptr);
    ~Console() override;

signals:
    void quitRequested();

private:
    void readInput();
    void run(const QString &line);

    CloudServer &m_server;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_buffer;
};
