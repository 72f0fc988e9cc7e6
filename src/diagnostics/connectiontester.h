#pragma once

#include <chrono>
#include <memory>

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "diagnostics/tokencheck.h"

class PingTest;
class PortCheck;
class Settings;
class dbmgr;

// The HTML pieces of the results table, in the form the results view inserts them.
namespace TesterHtml {
inline constexpr QLatin1String NetworkPing("Network ping test");
inline constexpr QLatin1String ServerPing("SIP Server ping test");
inline constexpr QLatin1String SipPort("SIP port test");
inline constexpr QLatin1String RestConnection("REST API Connection");
inline constexpr QLatin1String RestToken("REST API Token");

QString tableStart();
QString tableEnd();
// The empty row in front of each extension.
QString spacerRow();
// "Extension ID (NAME)"; the name is shown as text, never read as markup.
QString extensionRow(int accountId, const QString &accountName);
// The test's name and a green Pass or a red Fail.
QString resultRow(QLatin1String test, bool passed);
} // namespace TesterHtml

// Runs the connection tests one after another and reports each piece of the results table as it
// is ready (html()): the table's start, the network ping of 8.8.8.8, then one extension with a
// SIP server address per step (a ping of the server and a TCP check of its SIP port), a step
// 1000 ms after the previous one has finished, then the cloud token check and the table's end.
// The token check's rows come when its reply does, after the table's end.
//
// Every test runs without blocking; a step starts only when the one before it has ended, so the
// rows keep their order. stop() lets a running step finish but starts no further one (the
// remaining extensions and the token check are not run); start() drops whatever was running and
// begins again.
class ConnectionTester final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionTester)

public:
    static constexpr std::chrono::milliseconds StepInterval {1000};
    static constexpr QLatin1String NetworkHost {"8.8.8.8"};

    ConnectionTester(Settings &settings, dbmgr &db, QObject *parent = nullptr);
    ~ConnectionTester() override;

    void start();
    void stop();

    // True from start() until the last row has come or a stop has let the running step end.
    bool isRunning() const { return m_stage != Stage::Idle; }

signals:
    void html(const QString &piece);
    // The sequence has ended: after the token rows, or after a stop once nothing runs any more.
    void finished();

private:
    enum class Stage
    {
        Idle,
        NetworkPing,
        BetweenSteps,
        ServerPing,
        PortCheck,
        TokenCheck,
    };

    struct Extension
    {
        int id = 0;
        QString name;
        QString server;
        QString port;
    };

    void cancel();
    void runStep();
    void stepDone();
    void portCheck();
    void tokenCheck();
    void tokenDone(TokenVerdict verdict);
    void end();

    Settings &m_settings;
    dbmgr &m_db;
    QTimer m_stepTimer;
    Stage m_stage = Stage::Idle;
    bool m_stopped = false;
    QList<Extension> m_extensions;
    qsizetype m_next = 0;
    std::unique_ptr<PingTest> m_ping;
    std::unique_ptr<PortCheck> m_port;
    std::unique_ptr<TokenCheck> m_token;
};
