#include "server.h"

#include <cstdio>
#include <memory>

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QTimer>

#include "cloud/contract.h"

namespace {

const QString AllEndpoints = QStringLiteral("*");

QByteArray methodName(QHttpServerRequest::Method method)
{
    const char *key = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method));
    return key ? QByteArray(key).toUpper() : QByteArrayLiteral("UNKNOWN");
}

QByteArray pathOf(const QUrl &url)
{
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    return path;
}

void printRequest(const QHttpServerRequest &request, const QByteArray &status)
{
    const QList<QPair<QByteArray, QByteArray>> headers = request.headers();
    for (const auto &[name, value] : headers)
        CloudServer::printLine("HEADER " + name + ": " + value);
    for (const auto &[name, value] : headers) {
        if (name.compare("Cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &cookie : value.split(';')) {
            if (!cookie.trimmed().isEmpty())
                CloudServer::printLine("COOKIE " + cookie.trimmed());
        }
    }
    CloudServer::printLine(
        "REQUEST " + methodName(request.method()) + ' ' + pathOf(request.url()) + ' ' + status);
}

QByteArray headerValue(const QHttpServerRequest &request, const QByteArray &wanted)
{
    for (const auto &[name, value] : request.headers()) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

void send(QHttpServerResponder &responder, const Reply &reply)
{
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    if (!reply.setCookie.isEmpty())
        responder.writeHeader("Set-Cookie", reply.setCookie);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(reply.body);
}

} // namespace

std::optional<FailureMode> FailureMode::parse(const QString &text)
{
    using K = FailureMode::Kind;
    static const QHash<QString, K> plain {
        {QStringLiteral("normal"), K::Normal},
        {QStringLiteral("refuse"), K::Refuse},
        {QStringLiteral("garbage"), K::Garbage},
        {QStringLiteral("empty"), K::Empty},
        {QStringLiteral("wrongshape"), K::WrongShape},
        {QStringLiteral("close"), K::Close},
        {QStringLiteral("never"), K::Never},
    };
    if (const auto it = plain.constFind(text); it != plain.constEnd())
        return FailureMode {*it, 0};
    if (text.startsWith(QLatin1String("slow:"))) {
        bool ok = false;
        const int delay = text.mid(5).toInt(&ok);
        if (ok && delay >= 0)
            return FailureMode {K::Slow, delay};
    }
    return std::nullopt;
}

CloudServer::CloudServer(CloudService &service, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_service(service)
{ }

void CloudServer::setFailure(const QString &endpoint, FailureMode mode)
{
    const QString key = endpoint == AllEndpoints ? endpoint : Endpoint::normalisedKey(endpoint);
    if (mode.kind == FailureMode::Kind::Normal)
        m_failures.remove(key);
    else
        m_failures.insert(key, mode);
}

void CloudServer::clearFailures()
{
    m_failures.clear();
}

void CloudServer::printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

FailureMode CloudServer::failureFor(const QString &key) const
{
    if (const auto it = m_failures.constFind(key); it != m_failures.constEnd())
        return *it;
    return m_failures.value(AllEndpoints);
}

bool CloudServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    using K = FailureMode::Kind;
    const Endpoint endpoint = Endpoint::resolve(request.url());
    const FailureMode failure = failureFor(endpoint.key);

    if (failure.kind == K::Close || failure.kind == K::Never) {
        printRequest(request, "-");
        if (failure.kind == K::Close)
            socket->disconnectFromHost();
        return true;
    }

    Reply reply;
    switch (failure.kind) {
    case K::Refuse:
        reply = Reply {401, QByteArrayLiteral("{\"Error\":\"Refused\"}"), "application/json", {}};
        break;
    case K::Garbage:
        reply = Reply {
            200, QByteArrayLiteral("<html><body>Service temporarily unavailable</body>"), "text/html", {}};
        break;
    case K::Empty:
        reply = Reply {200, {}, "application/json", {}};
        break;
    default:
        reply = endpoint.kind == Endpoint::Kind::Issues
            ? m_service.issues(
                endpoint, headerValue(request, QByteArray(Contract::Redmine::ApiKeyHeader.data())))
            : m_service.answer(endpoint, headerValue(request, "Authorization"),
                headerValue(request, "Content-Type"), request.body());
        if (failure.kind == K::WrongShape)
            reply = wrongShape(reply);
    }
    printRequest(request, QByteArray::number(reply.status));

    if (failure.kind != K::Slow) {
        QHttpServerResponder responder = makeResponder(request, socket);
        send(responder, reply);
        return true;
    }
    // Answered later from the event loop; nothing is sent when the client went away meanwhile.
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    QTimer::singleShot(failure.delayMs, socket, [responder, reply] { send(*responder, reply); });
    return true;
}

void CloudServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    printRequest(request, "404");
    QHttpServerResponder responder = makeResponder(request, socket);
    send(responder, Reply {404, QByteArrayLiteral("{\"Error\":\"Not found\"}"), "application/json", {}});
}
