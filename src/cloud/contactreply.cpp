#include "cloud/contactreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include "cloud/contract.h"
#include "cloud/loginreply.h"

namespace {

// A contact member's text; null, missing and the text "null" read as empty.
QString textOf(const QJsonValue &value)
{
    const QString text = jsonText(value, NestedJson::AsTypeName);
    return text == QLatin1String("null") ? QString() : text;
}

ContactDetails readContact(const QJsonValue &result)
{
    namespace C = Contract::Contact;
    ContactDetails details;
    const QJsonObject object = result.toObject();
    const QJsonValue contactValue = object.value(C::Kvcontact);
    const QJsonValue clientValue = object.value(C::Kvclient);
    if (!result.isObject() || !contactValue.isObject() || !clientValue.isObject())
        return details;
    const QJsonObject contact = contactValue.toObject();
    const QJsonObject client = clientValue.toObject();
    details.valid = true;
    details.formOfAddress = textOf(contact.value(C::FormOfAddress));
    details.contactName = textOf(contact.value(C::ContactName));
    details.phoneNumber = textOf(contact.value(C::PhoneNumber));
    details.phoneNumber2 = textOf(contact.value(C::PhoneNumber2));
    details.altFirstName = textOf(contact.value(C::FirstName2));
    details.altSecondName = textOf(contact.value(C::SecondName2));
    details.emailAddress = textOf(contact.value(C::EmailAddress));
    details.clientName = textOf(client.value(C::ClientName));
    details.altClientName = textOf(client.value(C::ClientName2));
    details.issueProject = textOf(client.value(C::RedmineProjectId));
    return details;
}

QString parsed(const QByteArray &body, QJsonDocument *document)
{
    QJsonParseError status {};
    *document = QJsonDocument::fromJson(body, &status);
    return status.error == QJsonParseError::NoError ? QString() : status.errorString();
}

} // namespace

QString callerNumber(const QString &remoteInfo)
{
    // The SIP stack writes a remote address without display name as a bare URI
    // ("sip:1002@host"), so that form counts as well as the bracketed one.
    static const QRegularExpression pattern(
        QStringLiteral("<sip:(\\S+)@\\S+>|<([0-9]+)>|^([0-9]+)$|^sip:(\\S+)@\\S+$"));
    const QRegularExpressionMatch match = pattern.match(remoteInfo);
    for (int group = 1; group <= 4; ++group) {
        if (match.hasCaptured(group))
            return match.captured(group);
    }
    return {};
}

QString partyId(const QString &calledPartyId)
{
    static const QRegularExpression pattern(QStringLiteral("sip:(\\d*)@"));
    return pattern.match(calledPartyId).captured(1);
}

std::optional<QList<ContactDetails>> readContactResults(const QByteArray &body, QString *error)
{
    QJsonDocument document;
    const QString problem = parsed(body, &document);
    if (!document.isArray()) {
        if (error)
            *error = problem.isEmpty() ? QStringLiteral("not an array") : problem;
        return std::nullopt;
    }
    QList<ContactDetails> contacts;
    const QJsonArray results = document.array();
    for (const QJsonValue &result : results)
        contacts.append(readContact(result));
    return contacts;
}

TenantGreeting readTenantGreeting(const QByteArray &body)
{
    TenantGreeting greeting;
    QJsonDocument document;
    const QString problem = parsed(body, &document);
    if (!document.isObject()) {
        greeting.error = problem.isEmpty() ? QStringLiteral("not an object") : problem;
        return greeting;
    }
    const QJsonValue popup = document.object().value(Contract::Tenant::Popupaction);
    if (popup.isUndefined()) {
        greeting.outcome = TenantGreeting::Outcome::NoPopupaction;
        return greeting;
    }
    greeting.outcome = TenantGreeting::Outcome::Greeting;
    const QJsonValue text = popup.toObject().value(Contract::Tenant::ShortGreeting);
    greeting.text = text.isString() ? text.toString() : QString();
    return greeting;
}
