#include "diagnostics/pingtest.h"

PingTest::PingTest(QObject *parent)
    : QObject(parent)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(DefaultLimit);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        // The result waits for the command to end: finished() follows the kill.
        m_process.kill();
    });
    connect(&m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && exitCode == 0 && m_limit.isActive());
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
}

PingTest::~PingTest()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void PingTest::start(const QString &host)
{
    if (m_running)
        return;
    m_running = true;
    // A leading dash would be read as an option of the command, not as a host.
    if (host.isEmpty() || host.startsWith(QLatin1Char('-'))) {
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    m_limit.start();
    m_process.setProgram(QStringLiteral("ping"));
    m_process.setArguments({QStringLiteral("-c"), QStringLiteral("1"), host});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start();
}

void PingTest::finish(bool passed)
{
    if (!m_running)
        return;
    m_running = false;
    m_limit.stop();
    emit finished(passed);
}
