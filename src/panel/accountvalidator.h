#pragma once

#include <functional>

#include <QList>
#include <QString>

// Checks what the account editor is about to store. Every problem names the accounts column of
// the field it belongs to, so the editor can show the message on that field.
class AccountValidator final
{
public:
    // The editor's text fields, by column.
    struct Fields
    {
        int accountId = -1; // -1 for a new row
        QString accountname;
        QString domain;
        QString user;
        QString password;
        QString extension;
        QString callerid;
        QString sipserveraddress;
        QString proxyserveraddress;
        QString stunserveraddress;
        QString provisioningserveraddress;
        QString sipport;
        QString registrationtime;
        QString voicemail;
        QString audiocodecs;
    };

    struct Problem
    {
        QString column;
        QString message;
    };

    // Whether another row than `accountId` has this extension on this SIP server.
    using DuplicateCheck
        = std::function<bool(int accountId, const QString &extension, const QString &server)>;

    explicit AccountValidator(DuplicateCheck duplicate);

    // Problems in field order; empty when the fields may be stored.
    QList<Problem> validate(const Fields &fields) const;

    // One field's text on its own (no duplicate or cross-field checks).
    static QString checkText(const QString &column, const QString &text);

private:
    DuplicateCheck m_duplicate;
};
