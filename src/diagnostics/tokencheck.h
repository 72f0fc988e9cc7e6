#pragma once

#include <chrono>
#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// What a check_token reply says: whether the service answered at all (a body of exactly "Yes" or
// "No"), and if so whether it took the token ("Yes" with status 200).
enum class TokenVerdict
{
    NoService,
    TokenAccepted,
    TokenRefused,
};

TokenVerdict tokenVerdict(const QByteArray &body, int httpStatus);

// "https://" + the address without its http(s) scheme + "/cloudapi/" + the check_token path.
QString checkTokenAddress(const QString &apiUrl);

// "Basic " + base64 of the token followed by ":" (the token as user, an empty password).
QByteArray basicAuthorization(const QString &token);

// One POST of an empty body to check_token with the token's Basic credentials, on a network
// manager of its own (replaced at every start). TLS certificate errors are ignored; a reply that
// has not finished after 5000 ms is aborted, which reads as no service. The token never reaches
// the log.
class TokenCheck final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TokenCheck)

public:
    static constexpr std::chrono::milliseconds Limit {5000};

    explicit TokenCheck(QObject *parent = nullptr);
    ~TokenCheck() override;

    void start(const QString &apiUrl, const QString &token);

signals:
    void finished(TokenVerdict verdict);

private:
    void done(QNetworkReply *reply);

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QTimer m_limit;
};
