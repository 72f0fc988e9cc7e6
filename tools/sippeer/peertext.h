#pragma once

// Library text as the peer's event lines show it.

#include <QString>

#include <linphone/core.h>

// "LinphoneCallIncomingReceived" -> "IncomingReceived"
inline QString stripPrefix(const char *text, const char *prefix)
{
    QString s = QString::fromUtf8(text ? text : "");
    const QString p = QString::fromLatin1(prefix);
    return s.startsWith(p) ? s.mid(p.size()) : s;
}

// The text of a string the library allocated, which is freed.
inline QString takeString(char *text)
{
    QString s = QString::fromUtf8(text ? text : "");
    bctbx_free(text);
    return s;
}

inline QString addressText(const LinphoneAddress *address)
{
    return address ? takeString(linphone_address_as_string_uri_only(address)) : QString();
}
