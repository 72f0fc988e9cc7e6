#include "cloudservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

#include "cloud/contract.h"
#include "fixture.h"

namespace {

const QByteArray PlainText("text/plain; charset=utf-8");
const QString SessionPrefix = QStringLiteral("sess-");
const QByteArray SessionCookie("cloudsession");

QByteArray json(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

Reply error(int status, const QString &text)
{
    return Reply {status, json(QJsonObject {{QStringLiteral("Error"), text}}), "application/json", {}};
}

Reply text(const QString &body)
{
    return Reply {200, body.toUtf8(), PlainText, {}};
}

QString withoutArgument(QLatin1String prefix)
{
    QString key = prefix;
    key = key.section(QLatin1Char('?'), 0, 0);
    if (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key;
}

// One part of a multipart/form-data body.
struct Part
{
    QByteArray filename, body;
};

QByteArray dispositionParameter(const QByteArray &headers, const QByteArray &name)
{
    const QByteArray needle = name + "=\"";
    const qsizetype at = headers.indexOf(needle);
    if (at < 0)
        return {};
    const qsizetype start = at + needle.size();
    return headers.mid(start, headers.indexOf('"', start) - start);
}

QHash<QByteArray, Part> multipartParts(const QByteArray &contentType, const QByteArray &body)
{
    QHash<QByteArray, Part> parts;
    const qsizetype at = contentType.indexOf("boundary=");
    if (!contentType.startsWith("multipart/form-data") || at < 0)
        return parts;
    QByteArray boundary = contentType.mid(at + 9).split(';').value(0).trimmed();
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.size() - 2);
    const QByteArray delimiter = "--" + boundary;
    qsizetype pos = body.indexOf(delimiter);
    while (pos >= 0) {
        pos += delimiter.size();
        if (body.mid(pos, 2) == "--")
            break;
        const qsizetype headEnd = body.indexOf("\r\n\r\n", pos);
        const qsizetype next = body.indexOf(QByteArray("\r\n" + delimiter), pos);
        if (headEnd < 0 || next < 0 || headEnd > next)
            break;
        const QByteArray headers = body.mid(pos, headEnd - pos);
        const QByteArray name = dispositionParameter(headers, "name");
        parts.insert(name,
            Part {dispositionParameter(headers, "filename"), body.mid(headEnd + 4, next - headEnd - 4)});
        pos = next + 2;
    }
    return parts;
}

} // namespace

Endpoint Endpoint::resolve(const QUrl &url)
{
    using Kind = Endpoint::Kind;
    const QString path = url.path(QUrl::FullyDecoded);
    const qsizetype cloud = path.indexOf(Contract::CloudApi);
    const qsizetype fax = path.indexOf(Contract::FaxApi);
    Endpoint endpoint;
    if (path.endsWith(Contract::Redmine::IssuesPath)) {
        endpoint.kind = Kind::Issues;
        endpoint.key = QString(Contract::Redmine::IssuesPath).mid(1);
        endpoint.argument = QUrlQuery(url).queryItemValue(Contract::Redmine::ProjectId, QUrl::FullyDecoded);
        return endpoint;
    }
    if (cloud < 0 && fax < 0) {
        endpoint.key = path;
        return endpoint;
    }
    const bool isCloud = cloud >= 0 && (fax < 0 || cloud < fax);
    const QString rest
        = isCloud ? path.mid(cloud + Contract::CloudApi.size()) : path.mid(fax + Contract::FaxApi.size());
    endpoint.key = rest;

    const auto exact = [&](QLatin1String name, Kind kind) {
        if (rest != name)
            return false;
        endpoint.kind = kind;
        return true;
    };
    const auto prefixed = [&](QLatin1String prefix, Kind kind) {
        if (!rest.startsWith(prefix))
            return false;
        endpoint.kind = kind;
        endpoint.key = withoutArgument(prefix);
        endpoint.argument = rest.mid(prefix.size());
        return true;
    };
    if (isCloud) {
        exact(Contract::Hello, Kind::Hello) || exact(Contract::LoginDeviceDetails, Kind::Login)
            || exact(Contract::CompanyDevices, Kind::CompanyDevices)
            || prefixed(Contract::ContactByPhoneNumberPrefix, Kind::ContactByNumber)
            || exact(Contract::ContactsByName, Kind::ContactsByName)
            || prefixed(Contract::TenantByPartyIdPrefix, Kind::TenantByPartyId)
            || exact(Contract::CheckToken, Kind::CheckToken);
        return endpoint;
    }
    const QString viewPath = withoutArgument(Contract::FaxViewPrefix);
    const QString viewQuery = QString(Contract::FaxViewPrefix).section(QLatin1Char('?'), 1).chopped(1);
    if (!exact(Contract::SendFax, Kind::SendFax) && rest == viewPath) {
        endpoint.kind = Kind::FaxView;
        endpoint.argument = QUrlQuery(url).queryItemValue(viewQuery, QUrl::FullyDecoded);
    }
    return endpoint;
}

QString Endpoint::normalisedKey(const QString &written)
{
    QString key = written.section(QLatin1Char('?'), 0, 0);
    if (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key;
}

CloudService::CloudService(Fixture &fixture)
    : m_fixture(fixture)
{ }

const FixtureUser *CloudService::authorise(const QByteArray &authorization) const
{
    if (!authorization.startsWith("Basic "))
        return nullptr;
    const auto decoded
        = QByteArray::fromBase64Encoding(authorization.mid(6), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return nullptr;
    const QString credentials = QString::fromUtf8(*decoded);
    const qsizetype colon = credentials.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return nullptr;
    const QString name = credentials.left(colon);
    const QString password = credentials.mid(colon + 1);
    const QList<FixtureUser> &users = m_fixture.users();
    if (password.isEmpty()) {
        if (name.startsWith(SessionPrefix)) {
            const auto session = m_sessions.constFind(name);
            return session == m_sessions.constEnd() ? nullptr : &users.at(*session);
        }
        for (const FixtureUser &user : users) {
            if (!user.token.isEmpty() && user.token == name)
                return &user;
        }
        return nullptr;
    }
    const qsizetype at = name.lastIndexOf(QLatin1Char('@'));
    if (at < 0 || name.mid(at + 1) != m_fixture.companyCode())
        return nullptr;
    for (const FixtureUser &user : users) {
        if (user.user == name.left(at) && user.password == password)
            return &user;
    }
    return nullptr;
}

Reply CloudService::answer(const Endpoint &endpoint, const QByteArray &authorization,
    const QByteArray &contentType, const QByteArray &body)
{
    using Kind = Endpoint::Kind;
    if (endpoint.kind == Kind::Unknown)
        return error(404, QStringLiteral("No such endpoint: ") + endpoint.key);
    if (endpoint.kind == Kind::Hello)
        return text(Contract::HelloAnswer);
    const FixtureUser *user = authorise(authorization);
    if (endpoint.kind == Kind::CheckToken) {
        const bool token = user && authorization.size() > 6
            && QByteArray::fromBase64(authorization.mid(6)).endsWith(':'); // no password: a token
        return text(token ? Contract::TokenValid : Contract::TokenInvalid);
    }
    if (!user)
        return error(401, QStringLiteral("Invalid credentials"));

    const QJsonObject request = QJsonDocument::fromJson(body).object();
    switch (endpoint.kind) {
    case Kind::Login:
        return login(*user, body);
    case Kind::CompanyDevices:
        return Reply {200,
            "{\"" + QByteArray(Contract::Login::CompanyDevices.data())
                + "\":" + m_fixture.directoryJson(DirectoryChoice::fromBody(request)) + '}',
            "application/json", {}};
    case Kind::ContactByNumber:
        return Reply {200, json(m_fixture.contactsByNumber(endpoint.argument)), "application/json", {}};
    case Kind::ContactsByName:
        return Reply {200, json(m_fixture.contactsByName(request.value(Contract::Request::Name).toString())),
            "application/json", {}};
    case Kind::TenantByPartyId:
        return Reply {200, json(m_fixture.tenant(endpoint.argument)), "application/json", {}};
    case Kind::SendFax:
        return sendFax(contentType, body);
    case Kind::FaxView:
        return faxView(endpoint.argument);
    default:
        return error(404, QStringLiteral("No such endpoint: ") + endpoint.key);
    }
}

Reply CloudService::issues(const Endpoint &endpoint, const QByteArray &apiKey) const
{
    const QJsonObject invalid {{QStringLiteral("errors"), QJsonArray {QStringLiteral("Invalid API key")}}};
    if (m_fixture.redmineKey().isEmpty() || apiKey != m_fixture.redmineKey().toUtf8())
        return Reply {401, json(invalid), "application/json", {}};
    const std::optional<QJsonArray> issues = m_fixture.issuesOf(endpoint.argument);
    if (!issues)
        return Reply {404,
            json(QJsonObject {{QStringLiteral("errors"), QJsonArray {QStringLiteral("Not found")}}}),
            "application/json", {}};
    const QJsonObject list {
        {Contract::Redmine::Issues, *issues}, {QStringLiteral("total_count"), issues->size()}};
    return Reply {200, json(list), "application/json", {}};
}

Reply CloudService::login(const FixtureUser &user, const QByteArray &body)
{
    namespace L = Contract::Login;
    QString session;
    do {
        session = SessionPrefix + QString::number(QRandomGenerator::global()->generate64(), 16);
    } while (m_sessions.contains(session));
    m_sessions.insert(session, &user - m_fixture.users().constData());

    const QJsonObject who {
        {L::Company, m_fixture.companyName()},
        {L::UserName, user.fullName},
        {L::Token, session},
    };
    // The directory is spliced in as text: it may hold a hundred thousand entries.
    const DirectoryChoice choice = DirectoryChoice::fromBody(QJsonDocument::fromJson(body).object());
    QByteArray reply = "{\"" + QByteArray(L::User.data()) + "\":" + json(who) + ",\""
        + QByteArray(L::Devices.data()) + "\":" + json(m_fixture.devicesOf(user)) + ",\""
        + QByteArray(L::CompanyDevices.data()) + "\":" + m_fixture.directoryJson(choice) + '}';
    return Reply {200, reply, "application/json",
        SessionCookie + '=' + session.toUtf8() + "; Path=/; Secure; HttpOnly"};
}

Reply CloudService::sendFax(const QByteArray &contentType, const QByteArray &body)
{
    const QHash<QByteArray, Part> parts = multipartParts(contentType, body);
    if (!parts.contains("details") || !parts.contains("fax"))
        return error(400, QStringLiteral("Expected the parts \"details\" and \"fax\""));
    const QJsonObject details = QJsonDocument::fromJson(parts.value("details").body).object();
    const QJsonArray destinations = details.value(QLatin1String("destinations")).toArray();
    if (destinations.isEmpty())
        return error(400, QStringLiteral("No destination set"));
    const Part document = parts.value("fax");
    if (document.body.isEmpty())
        return error(400, QStringLiteral("The fax document is empty"));

    QJsonObject results;
    for (const QJsonValue &value : destinations) {
        const QJsonObject destination = value.toObject();
        const QString number = destination.value(QLatin1String("destination")).toString();
        const QString reference = destination.value(QLatin1String("callextref")).toString();
        if (number.trimmed().isEmpty() || reference.isEmpty())
            return error(400, QStringLiteral("A destination lacks its number or reference"));
        m_faxes.insert(reference, Fax {number, 0});
        results.insert(number, m_fixture.faxProgress().first());
    }
    const QJsonObject reply {
        {QStringLiteral("batchextref"), details.value(QLatin1String("batchextref"))},
        {QStringLiteral("resolution"), details.value(QLatin1String("resolution"))},
        {QStringLiteral("filename"), QString::fromUtf8(document.filename)},
        {QStringLiteral("bytes"), document.body.size()},
        {QStringLiteral("results"), results},
    };
    return Reply {200, json(reply), "application/json", {}};
}

void CloudService::setFaxOutcome(const QString &destination, FaxOutcome outcome)
{
    if (outcome == FaxOutcome::Normal)
        m_faxOutcomes.remove(destination);
    else
        m_faxOutcomes.insert(destination, outcome);
}

Reply CloudService::faxView(const QString &reference)
{
    const auto fax = m_faxes.find(reference);
    if (fax == m_faxes.end())
        return error(404, QStringLiteral("No fax with the reference ") + reference);
    QStringList progress = m_fixture.faxProgress();
    const FaxOutcome outcome = m_faxOutcomes.value(fax->destination, FaxOutcome::Normal);
    if (outcome == FaxOutcome::Fail)
        progress.last() = m_fixture.faxFailure();
    if (outcome != FaxOutcome::Stall)
        fax->step = qMin(fax->step + 1, progress.size() - 1);
    const QJsonObject status {
        {QStringLiteral("callextref"), reference},
        {QStringLiteral("destination"), fax->destination},
        {QStringLiteral("statusmessage"), progress.at(qMin(fax->step, progress.size() - 1))},
    };
    return Reply {200, json(QJsonArray {status}), "application/json", {}};
}

Reply wrongShape(const Reply &normal)
{
    const QJsonDocument document = QJsonDocument::fromJson(normal.body);
    QJsonValue shaped;
    if (document.isObject()) {
        QJsonObject object;
        const QJsonObject original = document.object();
        for (auto it = original.begin(); it != original.end(); ++it) {
            if (it->isString())
                object.insert(it.key(), 42);
            else if (it->isArray())
                object.insert(it.key(), QJsonObject {{QStringLiteral("0"), it->toArray().size()}});
            else if (it->isObject())
                object.insert(it.key(), QJsonArray {it->toObject().keys().join(QLatin1Char(','))});
            else
                object.insert(it.key(), QStringLiteral("wrong"));
        }
        shaped = object;
    } else if (document.isArray()) {
        QJsonArray array;
        for (qsizetype i = 0; i < qMax<qsizetype>(1, document.array().size()); ++i)
            array.append(i % 2 ? QJsonValue(QStringLiteral("wrong")) : QJsonValue(42));
        shaped = array;
    } else {
        shaped = QJsonArray {QString::fromUtf8(normal.body)};
    }
    return Reply {200, json(shaped), "application/json", {}};
}
