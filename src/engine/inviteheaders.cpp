#include "engine/inviteheaders.h"

#include <QStringList>

InviteHeaders InviteHeaders::scan(const QString &message)
{
    InviteHeaders headers;
    const QStringList lines = message.split(QLatin1String("\r\n"));
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString name = line.left(colon);
        const QString value = line.mid(colon + 1);
        headers.m_lines.append({name, value});
        if (name == QLatin1String("P-Asserted-Identity"))
            headers.m_assertedIdentity = value;
        else if (name == QLatin1String("P-Called-Party-ID"))
            headers.m_calledPartyId = value;
    }
    return headers;
}
