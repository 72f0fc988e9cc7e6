#include "panel/calllook.h"

const QString CallLook::Orange = QStringLiteral("#F6B26B");
const QString CallLook::Blue = QStringLiteral("#7DB7E8");
const QString CallLook::Green = QStringLiteral("#6FCF97");
const QString CallLook::Yellow = QStringLiteral("#F4D35E");

CallLook CallLook::of(int callId, bool answered, bool onLocalHold, CallDirection direction)
{
    if (callId < 0)
        return {QString(), Orange};
    if (answered) {
        if (onLocalHold)
            return {QStringLiteral("Hold"), Yellow};
        return {QStringLiteral("Connected"), Green};
    }
    return {QStringLiteral("Ringing"), direction == CallDirection::Incoming ? Blue : Orange};
}

QString callLabelHtml(CallDirection direction, const QString &topHeader, const QString &duration,
    const QString &remoteName, const QString &stateText)
{
    const bool outgoing = direction == CallDirection::Outgoing;
    const QString prefix = outgoing ? QStringLiteral("Calling ") : QStringLiteral("Incoming call from ");
    const QString icon
        = outgoing ? QStringLiteral("phone-outgoing.svg") : QStringLiteral("phone-incoming.svg");
    return QStringLiteral("<table width='100%'>"
                          "<tr><td rowspan='2' width='10%' valign='middle'>"
                          "<img src=':/icons/icons/%1' width='26' height='26'></td>"
                          "<td width='60%'>%2</td>"
                          "<td width='30%' align='right'><span>%3</span></td></tr>"
                          "<tr><td colspan='2'>%4%5</td></tr>"
                          "<tr><td colspan='3'>%6</td></tr>"
                          "</table>")
        .arg(icon, topHeader.toHtmlEscaped(), duration, prefix, remoteName.toHtmlEscaped(), stateText);
}

QString callLabelStyleSheet(const QString &colour)
{
    return QStringLiteral("QLabel{border-radius:10px;padding:5px;background:") + colour
        + QStringLiteral(";}");
}
