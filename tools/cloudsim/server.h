#pragma once

#include <optional>

#include <QAbstractHttpServer>
#include <QHash>
#include <QString>

#include "cloudservice.h"

// How an endpoint misbehaves on purpose.
struct FailureMode
{
    enum class Kind
    {
        Normal,
        Refuse, // 401 with a small JSON error
        Garbage, // 200, a body that is not JSON
        Empty, // 200, empty body
        WrongShape, // 200, JSON of the wrong shape
        Slow, // the normal answer after delayMs, other requests go on meanwhile
        Close, // the connection is closed without an answer
        Never, // no answer at all
    };
    Kind kind = Kind::Normal;
    int delayMs = 0;

    // "refuse", "garbage", "empty", "wrongshape", "slow:N", "close", "never" (and "normal").
    static std::optional<FailureMode> parse(const QString &text);
};

// The HTTPS front of the simulator: writes each request to stdout (its headers, cookies and the
// request line with the status given), asks the service for the answer and applies the failure
// mode set for the endpoint, or for "*".
class CloudServer final : public QAbstractHttpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CloudServer)

public:
    explicit CloudServer(CloudService &service, QObject *parent = nullptr);

    // endpoint: a path below its family ("kvusers/v1/hello") or "*" for every endpoint.
    void setFailure(const QString &endpoint, FailureMode mode);
    void clearFailures();

    CloudService &service() { return m_service; }

    // One line on stdout, flushed at once.
    static void printLine(const QByteArray &line);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    FailureMode failureFor(const QString &key) const;

    CloudService &m_service;
    QHash<QString, FailureMode> m_failures;
};
