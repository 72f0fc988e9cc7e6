#include "cloud/kesapi.h"

#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include "cloud/contract.h"
#include "core/log.h"
#include "core/settings.h"

namespace {

QString addressOf(const QString &baseAddress, QLatin1String family, const QString &path)
{
    return QStringLiteral("https://") + baseAddress + family + path;
}

// The address as logged: credentials written into the base address stay out of the log.
QString loggable(const QString &address)
{
    static const QRegularExpression userInfo(QStringLiteral("^(https://)[^/]*@"));
    QString masked = address;
    return masked.replace(userInfo, QStringLiteral("\\1********@"));
}

QNetworkRequest requestFor(const QString &address, const QString &auth, bool json)
{
    LOG(QStringLiteral("Calling ") + loggable(address));
    QNetworkRequest request {QUrl(address)};
    request.setRawHeader("User-Agent", "Orvalo");
    request.setRawHeader("X-Custom-User-Agent", "Orvalo");
    if (json)
        request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", auth.toLocal8Bit());
    return request;
}

} // namespace

QString removeHttpPrefix(const QString &url)
{
    static const QRegularExpression prefix(QStringLiteral("^https?://"));
    QString rest = url;
    const QRegularExpressionMatch match = prefix.match(rest);
    if (match.hasMatch())
        rest.remove(match.capturedStart(), match.capturedLength());
    return rest;
}

Kesapi::Kesapi(Settings &settings)
    : m_settings(settings)
    , m_cookieJar(std::make_unique<QNetworkCookieJar>())
    , m_manager(std::make_unique<QNetworkAccessManager>())
    , m_baseAddress(removeHttpPrefix(settings.getSetting(Settings::BriskoCloudApiUrl)))
    , m_auth(settings.getSetting(Settings::SessionToken))
{
    m_manager->setCookieJar(m_cookieJar.get());
    m_cookieJar->setParent(nullptr);
}

Kesapi::~Kesapi()
{
    // The manager deletes its unfinished replies; no handler may run against a half-destroyed owner.
    for (QNetworkReply *reply : m_manager->findChildren<QNetworkReply *>())
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
}

void Kesapi::setBriskoCloudApiUrl(const QString &url)
{
    m_baseAddress = removeHttpPrefix(url);
}

void Kesapi::setLogin(const QString &token)
{
    m_auth = token + QLatin1Char(':');
    generateAuth();
}

void Kesapi::setLogin(const QString &companycode, const QString &username, const QString &password)
{
    m_auth = username + QLatin1Char('@') + companycode + QLatin1Char(':') + password;
    generateAuth();
}

void Kesapi::generateAuth()
{
    m_auth = QStringLiteral("Basic ") + QString::fromLatin1(m_auth.toLocal8Bit().toBase64());
    m_settings.setSetting(Settings::SessionToken, m_auth);
}

void Kesapi::logout()
{
    auto fresh = std::make_unique<QNetworkCookieJar>();
    m_manager->setCookieJar(fresh.get());
    fresh->setParent(nullptr);
    m_cookieJar = std::move(fresh);
}

void Kesapi::post(const QString &path, const QJsonObject &body, ReplyHandler handler)
{
    postJson(Contract::CloudApi, path, body, std::move(handler));
}

void Kesapi::post(const QString &path, ReplyHandler handler)
{
    postJson(Contract::CloudApi, path, QJsonObject(), std::move(handler));
}

void Kesapi::faxpost(const QString &path, const QJsonObject &body, ReplyHandler handler)
{
    postJson(Contract::FaxApi, path, body, std::move(handler));
}

void Kesapi::faxpost(const QString &path, ReplyHandler handler)
{
    postJson(Contract::FaxApi, path, QJsonObject(), std::move(handler));
}

void Kesapi::faxpost(const QString &path, QHttpMultiPart *body, ReplyHandler handler)
{
    const QNetworkRequest request
        = requestFor(addressOf(m_baseAddress, Contract::FaxApi, path), m_auth, false);
    QNetworkReply *reply = m_manager->post(request, body);
    body->setParent(reply);
    deliver(reply, std::move(handler));
}

void Kesapi::postJson(
    QLatin1String family, const QString &path, const QJsonObject &body, ReplyHandler handler)
{
    const QNetworkRequest request = requestFor(addressOf(m_baseAddress, family, path), m_auth, true);
    QNetworkReply *reply = m_manager->post(request, QJsonDocument(body).toJson(QJsonDocument::Indented));
    deliver(reply, std::move(handler));
}

void Kesapi::deliver(QNetworkReply *reply, ReplyHandler handler)
{
    reply->ignoreSslErrors();
    QObject::connect(
        reply, &QNetworkReply::finished, m_manager.get(),
        [reply, handler = std::move(handler)] {
            if (handler)
                handler(reply);
            reply->deleteLater();
        },
        Qt::SingleShotConnection);
}
