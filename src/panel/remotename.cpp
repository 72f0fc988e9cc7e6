#include "panel/remotename.h"

#include <QRegularExpression>

namespace {
// A quoted display name at the start: the RFC 3261 quoted-string, or the whole name written with
// escaped quotes.
QString quotedName(const QString &text)
{
    static const QRegularExpression quoted(QStringLiteral(R"re(^\s*"((?:[^"\\]|\\.)*)")re"));
    static const QRegularExpression escaped(QStringLiteral(R"re(^\s*\\"([^"\\]*)\\")re"));
    static const QRegularExpression escape(QStringLiteral(R"re(\\(.))re"));
    if (const auto m = quoted.match(text); m.hasMatch())
        return m.captured(1).replace(escape, QStringLiteral("\\1")).trimmed();
    if (const auto m = escaped.match(text); m.hasMatch())
        return m.captured(1).trimmed();
    return {};
}
} // namespace

QString remoteDisplayName(const QString &remote)
{
    if (QString name = quotedName(remote); !name.isEmpty())
        return name;

    static const QRegularExpression unquoted(QStringLiteral(R"re(^\s*([^"<\s][^"<]*?)\s*<)re"));
    if (const auto m = unquoted.match(remote); m.hasMatch())
        return m.captured(1);

    static const QRegularExpression sipUser(
        QStringLiteral(R"re(sips?:(\+?[0-9*#]+)[@;])re"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = sipUser.match(remote); m.hasMatch())
        return m.captured(1);

    static const QRegularExpression tel(
        QStringLiteral(R"re(tel:(\+?[0-9*#][0-9*#().\-]*))re"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = tel.match(remote); m.hasMatch())
        return m.captured(1).remove(QRegularExpression(QStringLiteral(R"re([().\-])re")));

    static const QRegularExpression number(QStringLiteral(R"re(^\s*(\+?[0-9]+)\s*$)re"));
    if (const auto m = number.match(remote); m.hasMatch())
        return m.captured(1);
    return {};
}

QString incomingCallerName(const QString &remoteInfo)
{
    const QString name = quotedName(remoteInfo);
    return name.isEmpty() ? remoteInfo : name;
}

QString localPartyNumber(const QString &localInfo)
{
    static const QRegularExpression user(
        QStringLiteral(R"re(<?sips?:([^@\s<>;]+)@)re"), QRegularExpression::CaseInsensitiveOption);
    const auto m = user.match(localInfo);
    return m.hasMatch() ? m.captured(1) : localInfo;
}
