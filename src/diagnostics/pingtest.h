#pragma once

#include <chrono>

#include <QObject>
#include <QProcess>
#include <QTimer>

// One run of the system command "ping -c 1 HOST". It passes when the command ends with exit
// status 0; a command that cannot start, fails, or outlives the limit (it is then killed) fails.
// The result is always reported after start() has returned, once the command has ended.
class PingTest final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PingTest)

public:
    // One echo request waits up to 10 s for its reply; the limit leaves room for that.
    static constexpr std::chrono::milliseconds DefaultLimit {15000};

    explicit PingTest(QObject *parent = nullptr);
    ~PingTest() override;

    void setLimit(std::chrono::milliseconds limit) { m_limit.setInterval(limit); }

    void start(const QString &host);

signals:
    void finished(bool passed);

private:
    void finish(bool passed);

    QProcess m_process;
    QTimer m_limit;
    bool m_running = false;
};
