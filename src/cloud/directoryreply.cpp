#include "cloud/directoryreply.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include "cloud/contract.h"

namespace {

// A member that is a JSON string, "null" read as nothing; any other value gives the empty text.
QString text(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return {};
    const QString s = value.toString();
    return s == QLatin1String("null") ? QString() : s;
}

// A member read as an integer (a number, or a string of one); 0, a fraction or anything else
// gives the empty text, another integer its decimal text.
QString integerText(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    qint64 n = 0;
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 9e15)
            n = qint64(d);
    } else if (value.isString()) {
        bool ok = false;
        n = value.toString().trimmed().toLongLong(&ok);
        if (!ok)
            n = 0;
    }
    return n == 0 ? QString() : QString::number(n);
}

} // namespace

DirectoryEntry directoryEntry(const QJsonObject &entry)
{
    using namespace Contract::Directory;
    using Contract::Device::Allow;
    using Contract::Device::CallerId;
    using Contract::Device::ExtensionNumber;
    using Contract::Device::Port;
    using Contract::Device::Secret;
    using Contract::Device::ServerIpAddress;
    using Contract::Device::Transport;
    using Contract::Device::UserName;

    DirectoryEntry d;
    d.tenantmode = text(entry, TenantMode);
    d.partyid = text(entry, DirectoryIndex);
    d.name = text(entry, TabHeading);
    d.greeting = text(entry, Greeting);

    Extension &e = d.extension;
    e.accountname = text(entry, PhoneUserRef);
    e.status = QStringLiteral("active");
    e.domain = text(entry, ServerIpAddress);
    e.extension = text(entry, ExtensionNumber);
    e.sipserveraddress = text(entry, ServerIpAddress);
    e.siptransport = text(entry, Transport);
    e.rtptransport = QStringLiteral("reg");
    e.user = text(entry, UserName);
    e.password = text(entry, Secret);
    e.sipport = text(entry, Port);
    e.audiocodecs = text(entry, Allow);
    e.callerid = text(entry, CallerId);
    e.fullname = text(entry, FirstName) + QLatin1Char(' ') + text(entry, SecondName);
    e.phonenumber = text(entry, UserPhone);
    e.accessid = integerText(entry, DialOutAsUserId);
    e.accesspin = integerText(entry, DialOutAsUserPwd);
    return d;
}

DirectoryReply readDirectoryReply(const QString &text)
{
    DirectoryReply reply;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!document.isObject()) {
        reply.parseError = error.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object")
                                                                   : error.errorString();
        return reply;
    }
    reply.valid = true;
    const QJsonArray entries = document.object().value(Contract::Login::CompanyDevices).toArray();
    reply.entries.reserve(std::size_t(entries.size()));
    for (const QJsonValue &entry : entries) {
        if (entry.isObject())
            reply.entries.push_back(directoryEntry(entry.toObject()));
    }
    return reply;
}
