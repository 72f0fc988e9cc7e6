#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

// The caller's number in a remote party text: the user part of a bracketed SIP URI
// ("\"Bob\" <sip:1002@host>" gives "1002"), the digits of a bracketed number ("<1002>"), a text
// made of digits only, or the user part of a bare SIP URI ("sip:1002@host", the stack's form
// without display name). Empty when none of these matches, and then nothing is looked up.
QString callerNumber(const QString &remoteInfo);

// The party id in a called-party text: the digits of a SIP user part made of digits only
// ("<sip:2001@host>" gives "2001"); empty for any other user part or text.
QString partyId(const QString &calledPartyId);

// One contact as the details tab shows it. Every value is the text form of the reply's JSON value
// (a number as digits, true/false, "object", "array"), and a null or missing member is empty.
struct ContactDetails
{
    // False for a result that is not an object holding the objects "Kvcontact" and "Kvclient":
    // its values are all empty and it is not shown as a contact.
    bool valid = false;
    QString formOfAddress;
    QString contactName;
    QString phoneNumber;
    QString phoneNumber2;
    QString clientName;
    QString altFirstName;
    QString altSecondName;
    QString emailAddress;
    QString altClientName;
    QString issueProject; // the client's issue tracker project, empty when it has none
};

// A contact reply (by number or by name): the results in reply order, or nothing when the body is
// not a JSON array; then *error holds the parser's message (or what the body was instead).
std::optional<QList<ContactDetails>> readContactResults(const QByteArray &body, QString *error);

// The short greeting of a tenant reply.
struct TenantGreeting
{
    enum class Outcome
    {
        NotAnObject, // the body did not parse as a JSON object; error holds the parser's message
        NoPopupaction, // no "Popupaction" member: nothing to show
        Greeting, // text holds "shortgreeting", empty when that is not a string
    };
    Outcome outcome = Outcome::NotAnObject;
    QString text;
    QString error;
};

TenantGreeting readTenantGreeting(const QByteArray &body);
