#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The header lines of a received INVITE as the engine logs and reads them.
class InviteHeaders final
{
public:
    // Splits the message at "\r\n"; every line with a ":" gives name (text before the first ":")
    // and value (everything after it, leading blank included). The body is scanned too; a later
    // line with the same name overrides an earlier one for the two identity headers.
    static InviteHeaders scan(const QString &message);

    const QList<QPair<QString, QString>> &lines() const { return m_lines; }

    const QString &assertedIdentity() const { return m_assertedIdentity; }

    const QString &calledPartyId() const { return m_calledPartyId; }

private:
    QList<QPair<QString, QString>> m_lines;
    QString m_assertedIdentity;
    QString m_calledPartyId;
};
