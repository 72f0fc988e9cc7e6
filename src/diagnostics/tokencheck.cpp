#include "diagnostics/tokencheck.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>

#include "cloud/contract.h"
#include "cloud/kesapi.h"
#include "core/log.h"

TokenVerdict tokenVerdict(const QByteArray &body, int httpStatus)
{
    if (body == Contract::TokenValid)
        return httpStatus == 200 ? TokenVerdict::TokenAccepted : TokenVerdict::TokenRefused;
    if (body == Contract::TokenInvalid)
        return TokenVerdict::TokenRefused;
    return TokenVerdict::NoService;
}

QString checkTokenAddress(const QString &apiUrl)
{
    return QStringLiteral("https://") + removeHttpPrefix(apiUrl) + Contract::CloudApi + Contract::CheckToken;
}

namespace {
// A user and password written into the address stay out of the log.
QString loggable(const QString &address)
{
    static const QRegularExpression userInfo(QStringLiteral("^(https://)[^/]*@"));
    QString masked = address;
    return masked.replace(userInfo, QStringLiteral("\\1********@"));
}
} // namespace

QByteArray basicAuthorization(const QString &token)
{
    return "Basic " + (token + QLatin1Char(':')).toUtf8().toBase64();
}

TokenCheck::TokenCheck(QObject *parent)
    : QObject(parent)
{
    m_limit.setSingleShot(true);
}

TokenCheck::~TokenCheck()
{
    // Unfinished replies go with their manager; none of them may report into a dying object.
    if (m_manager)
        m_manager->disconnect(this);
}

void TokenCheck::start(const QString &apiUrl, const QString &token)
{
    if (m_manager)
        m_manager->disconnect(this);
    m_limit.stop();
    disconnect(&m_limit, &QTimer::timeout, nullptr, nullptr);
    m_manager = std::make_unique<QNetworkAccessManager>();

    const QString address = checkTokenAddress(apiUrl);
    LOG(QStringLiteral("Calling ") + loggable(address));
    QNetworkRequest request {QUrl(address)};
    request.setRawHeader("Authorization", basicAuthorization(token));
    QNetworkReply *reply = m_manager->post(request, QByteArray());
    reply->ignoreSslErrors();
    connect(m_manager.get(), &QNetworkAccessManager::finished, this, &TokenCheck::done);
    connect(&m_limit, &QTimer::timeout, reply, &QNetworkReply::abort);
    m_limit.start(Limit);
}

void TokenCheck::done(QNetworkReply *reply)
{
    m_limit.stop();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const TokenVerdict verdict = tokenVerdict(reply->readAll(), status);
    reply->deleteLater();
    emit finished(verdict);
}
