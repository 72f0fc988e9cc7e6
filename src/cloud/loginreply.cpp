#include "cloud/loginreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include "cloud/contract.h"

namespace {

// A member's text with "null" (the JSON null or the text) read as nothing.
QString field(const QJsonObject &object, QLatin1String key)
{
    const QString text = object.contains(key) ? jsonText(object.value(key)) : QString();
    return text == QLatin1String("null") ? QString() : text;
}

} // namespace

QString jsonText(const QJsonValue &value, NestedJson nested)
{
    if (nested == NestedJson::AsTypeName && (value.isArray() || value.isObject()))
        return value.isArray() ? QStringLiteral("array") : QStringLiteral("object");
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        // The serializer's own spelling: 5060 stays "5060", 1.5 stays "1.5".
        const QByteArray text = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(text.mid(1, text.size() - 2));
    }
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Undefined:
        break;
    }
    return QString();
}

Extension deviceExtension(const QJsonObject &device)
{
    using namespace Contract::Device;
    Extension e;
    e.accountname = field(device, LineLabel);
    e.status = QStringLiteral("active");
    e.domain = field(device, ServerIpAddress);
    e.extension = field(device, ExtensionNumber);
    e.sipserveraddress = field(device, ServerIpAddress);
    e.siptransport = field(device, Transport);
    e.rtptransport = QStringLiteral("reg");
    e.user = field(device, UserName);
    e.password = field(device, Secret);
    e.sipport = field(device, Port);
    e.audiocodecs = field(device, Allow);
    e.callerid = field(device, CallerId);
    e.voicemail = field(device, VoicemailAccessNum);
    return e;
}

LoginReply readLoginReply(const QByteArray &body)
{
    LoginReply reply;
    reply.text = QString::fromUtf8(body);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (!document.isObject()) {
        reply.parseError = error.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object")
                                                                   : error.errorString();
        return reply;
    }
    reply.valid = true;
    const QJsonObject object = document.object();

    const QJsonValue user = object.value(Contract::Login::User);
    if (user.isObject()) {
        const QJsonObject u = user.toObject();
        // Names are shown as sent, a "null" included; a token of null is no token.
        reply.company = jsonText(u.value(Contract::Login::Company));
        reply.user = jsonText(u.value(Contract::Login::UserName));
        reply.token = field(u, Contract::Login::Token);
    }

    reply.hasDevices = object.contains(Contract::Login::Devices);
    const QJsonArray devices = object.value(Contract::Login::Devices).toArray();
    reply.devices.reserve(std::size_t(devices.size()));
    for (const QJsonValue &device : devices) {
        if (!device.isObject())
            continue;
        const QJsonObject d = device.toObject();
        reply.devices.push_back({field(d, Contract::Device::DeviceRef) + QLatin1Char(' ')
                + field(d, Contract::Device::DeviceName),
            deviceExtension(d)});
    }
    return reply;
}
