#pragma once

#include <functional>
#include <memory>

#include <QLatin1String>
#include <QString>

class QHttpMultiPart;
class QJsonObject;
class QNetworkAccessManager;
class QNetworkCookieJar;
class QNetworkReply;
class Settings;

// Called once, on the thread that owns the Kesapi, with the finished reply; the reply is released
// once the handler has returned, so it must not be kept.
using ReplyHandler = std::function<void(QNetworkReply *)>;

// The base address without a leading lower-case "http://" or "https://".
QString removeHttpPrefix(const QString &url);

// The one client of the cloud service: HTTPS POSTs of JSON or multipart bodies below the base
// address, with the fixed headers, the "Basic" authorization value and one cookie jar shared by
// every request until logout(). TLS certificate errors are ignored. Neither the authorization
// value nor any credential is ever written to the log.
class Kesapi final
{
public:
    // Reads the base address from "BriskoCloudApiUrl" and the authorization from "SessionToken".
    explicit Kesapi(Settings &settings);
    // Requests still in flight are dropped without calling their handlers.
    ~Kesapi();
    Kesapi(const Kesapi &) = delete;
    Kesapi &operator=(const Kesapi &) = delete;

    void setBriskoCloudApiUrl(const QString &url);

    // Token as user with an empty password, or username@companycode with the password; both end
    // in generateAuth().
    void setLogin(const QString &token);
    void setLogin(const QString &companycode, const QString &username, const QString &password);

    // Encodes the pending credentials as "Basic " + base64 and stores the result in "SessionToken".
    // Runs once per setLogin(); a second call would encode the encoded value again.
    void generateAuth();

    // Forgets every cookie; the authorization value stays.
    void logout();

    const QString &baseAddress() const { return m_baseAddress; }

    void post(const QString &path, const QJsonObject &body, ReplyHandler handler);
    void post(const QString &path, ReplyHandler handler);
    void faxpost(const QString &path, const QJsonObject &body, ReplyHandler handler);
    void faxpost(const QString &path, ReplyHandler handler);
    // The multipart body becomes the reply's and is released with it.
    void faxpost(const QString &path, QHttpMultiPart *body, ReplyHandler handler);

private:
    void postJson(QLatin1String family, const QString &path, const QJsonObject &body, ReplyHandler handler);
    void deliver(QNetworkReply *reply, ReplyHandler handler);

    Settings &m_settings;
    // The jar outlives the manager that uses it and is never owned by it.
    std::unique_ptr<QNetworkCookieJar> m_cookieJar;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QString m_baseAddress;
    QString m_auth;
};
