#include "diagnostics/connectiontester.h"

#include <QSqlQuery>
#include <QVariant>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/settings.h"
#include "diagnostics/pingtest.h"
#include "diagnostics/portcheck.h"

namespace TesterHtml {

QString tableStart()
{
    return QStringLiteral("<table width=\"100%\">");
}

QString tableEnd()
{
    return QStringLiteral("</table>");
}

QString spacerRow()
{
    return QStringLiteral("<tr><td></td></tr>");
}

QString extensionRow(int accountId, const QString &accountName)
{
    return QStringLiteral("<tr><td>Extension ") + QString::number(accountId) + QStringLiteral(" (")
        + accountName.toHtmlEscaped() + QStringLiteral(")</td></tr>");
}

QString resultRow(QLatin1String test, bool passed)
{
    return QStringLiteral("<tr><td width=\"60%\">") + test + QStringLiteral("</td><td width=\"30%\">")
        + (passed ? QStringLiteral("<span style='color:green;'>Pass</span>")
                  : QStringLiteral("<span style='color:red;'>Fail</span>"))
        + QStringLiteral("</td></tr>");
}

} // namespace TesterHtml

ConnectionTester::ConnectionTester(Settings &settings, dbmgr &db, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_db(db)
{
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(StepInterval);
    connect(&m_stepTimer, &QTimer::timeout, this, &ConnectionTester::runStep);
}

ConnectionTester::~ConnectionTester() = default;

void ConnectionTester::start()
{
    cancel();
    m_stopped = false;
    m_extensions.clear();
    m_next = 0;
    QSqlQuery query = m_db.account_query();
    if (query.exec(QStringLiteral("SELECT accountid, accountname, sipserveraddress, sipport FROM accounts "
                                  "WHERE sipserveraddress != ''"))) {
        while (query.next())
            m_extensions.append({query.value(0).toInt(), query.value(1).toString(), query.value(2).toString(),
                query.value(3).toString()});
    }
    LOG(QStringLiteral("Connection test started, %1 extension(s)").arg(m_extensions.size()));

    emit html(TesterHtml::tableStart());
    m_stage = Stage::NetworkPing;
    m_ping = std::make_unique<PingTest>();
    connect(m_ping.get(), &PingTest::finished, this, [this](bool passed) {
        emit html(TesterHtml::resultRow(TesterHtml::NetworkPing, passed));
        stepDone();
    });
    m_ping->start(NetworkHost);
}

void ConnectionTester::stop()
{
    m_stopped = true;
    if (m_stage == Stage::BetweenSteps) {
        m_stepTimer.stop();
        end();
    }
}

void ConnectionTester::cancel()
{
    m_stepTimer.stop();
    m_ping.reset();
    m_port.reset();
    m_token.reset();
    m_stage = Stage::Idle;
}

void ConnectionTester::stepDone()
{
    if (m_stopped) {
        end();
        return;
    }
    m_stage = Stage::BetweenSteps;
    m_stepTimer.start();
}

void ConnectionTester::runStep()
{
    if (m_next >= m_extensions.size()) {
        tokenCheck();
        return;
    }
    const Extension &extension = m_extensions.at(m_next);
    emit html(TesterHtml::spacerRow());
    emit html(TesterHtml::extensionRow(extension.id, extension.name));
    m_stage = Stage::ServerPing;
    m_ping = std::make_unique<PingTest>();
    connect(m_ping.get(), &PingTest::finished, this, [this](bool passed) {
        emit html(TesterHtml::resultRow(TesterHtml::ServerPing, passed));
        portCheck();
    });
    m_ping->start(extension.server);
}

void ConnectionTester::portCheck()
{
    const Extension &extension = m_extensions.at(m_next);
    m_stage = Stage::PortCheck;
    m_port = std::make_unique<PortCheck>();
    connect(m_port.get(), &PortCheck::finished, this, [this](bool passed) {
        emit html(TesterHtml::resultRow(TesterHtml::SipPort, passed));
        ++m_next;
        stepDone();
    });
    m_port->start(extension.server, extension.port);
}

void ConnectionTester::tokenCheck()
{
    m_stage = Stage::TokenCheck;
    m_token = std::make_unique<TokenCheck>();
    connect(m_token.get(), &TokenCheck::finished, this, &ConnectionTester::tokenDone);
    m_token->start(m_settings.getSetting(Settings::BriskoCloudApiUrl),
        m_settings.getSetting(Settings::AuthenticationToken));
    emit html(TesterHtml::tableEnd());
}

void ConnectionTester::tokenDone(TokenVerdict verdict)
{
    emit html(TesterHtml::resultRow(TesterHtml::RestConnection, verdict != TokenVerdict::NoService));
    if (verdict != TokenVerdict::NoService)
        emit html(TesterHtml::resultRow(TesterHtml::RestToken, verdict == TokenVerdict::TokenAccepted));
    end();
}

void ConnectionTester::end()
{
    m_stage = Stage::Idle;
    emit finished();
}
