#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "cloud/extension.h"

class QJsonObject;
class QJsonValue;

// How jsonText spells an array or an object: as its compact JSON text, or as the bare word
// "array" / "object" (a contact field that holds one shows what it is, not its contents).
enum class NestedJson
{
    AsJson,
    AsTypeName
};

// The text form of a JSON value: a string as it is, a number or boolean in its JSON spelling,
// null as "null", a missing value as empty, an array or object as `nested` says.
QString jsonText(const QJsonValue &value, NestedJson nested = NestedJson::AsJson);

// A device object of the login reply as an account; a missing member, a null and the text "null"
// all give the empty text.
Extension deviceExtension(const QJsonObject &device);

// One device offered for provisioning: the text the chooser shows and the account it becomes.
struct OfferedDevice
{
    QString label; // "deviceref devicename"
    Extension extension;
};

// The reply of the login request, read without trusting its shape.
struct LoginReply
{
    // False when the body is not a JSON object; parseError then holds the parser's message.
    bool valid = false;
    QString parseError;
    QString company;
    QString user;
    // Empty when the reply carries no session token.
    QString token;
    // Whether "devices" was present at all (an empty list and a missing one differ).
    bool hasDevices = false;
    // The device objects of "devices", in reply order; entries that are not objects are skipped.
    std::vector<OfferedDevice> devices;
    // The whole body, handed on to the directory.
    QString text;
};

LoginReply readLoginReply(const QByteArray &body);
