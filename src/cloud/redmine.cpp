#include "cloud/redmine.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "cloud/contract.h"
#include "core/log.h"
#include "core/settings.h"

QString issueListAddress(const QString &url, int projectId)
{
    namespace R = Contract::Redmine;
    return QStringLiteral("https://") + url + R::IssuesPath + QLatin1Char('?') + R::ProjectId
        + QLatin1Char('=') + QString::number(projectId) + QLatin1Char('&') + R::Sort;
}

Redmine::Redmine(Settings &settings)
    : m_cookieJar(std::make_unique<QNetworkCookieJar>())
    , m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_manager->setCookieJar(m_cookieJar.get());
    m_cookieJar->setParent(nullptr);
    setUrl(settings.getSetting(Settings::IssuesApiUrl));
    setToken(settings.getSetting(Settings::IssuesApiToken));
}

Redmine::~Redmine()
{
    // The manager deletes its unfinished replies; no handler may run against a half-destroyed owner.
    for (QNetworkReply *reply : m_manager->findChildren<QNetworkReply *>())
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
}

void Redmine::setUrl(const QString &url)
{
    m_url = url;
}

void Redmine::setToken(const QString &token)
{
    m_token = token;
}

void Redmine::getIssues(int projectid, ReplyHandler handler)
{
    const QString address = issueListAddress(m_url, projectid);
    LOG(QStringLiteral("Calling ") + address);
    QNetworkRequest request {QUrl(address)};
    request.setRawHeader("User-Agent", "Orvalo");
    request.setRawHeader("X-Custom-User-Agent", "Orvalo");
    request.setRawHeader(QByteArray(Contract::Redmine::ApiKeyHeader.data()), m_token.toLocal8Bit());
    QNetworkReply *reply = m_manager->get(request);
    reply->ignoreSslErrors();
    QObject::connect(
        reply, &QNetworkReply::finished, m_manager.get(),
        [reply, handler = std::move(handler)] {
            LOG(QStringLiteral("A"));
            if (handler)
                handler(reply);
            reply->deleteLater();
        },
        Qt::SingleShotConnection);
}
