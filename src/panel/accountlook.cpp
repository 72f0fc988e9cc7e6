#include "panel/accountlook.h"

#include "widgets/symbolfont.h"

AccountLook AccountLook::of(const Input &in)
{
    AccountLook look;
    QString glyph;
    QString remote;
    if (in.hasCalls) {
        if (in.blink)
            look.indicatorText = SymbolFont::Dot;
        if (in.direction == CallDirection::Incoming) {
            glyph = SymbolFont::LeftTriangle;
            remote = in.remoteName;
            if (!in.answered)
                remote = in.blink ? QStringLiteral("RING ") + in.remoteName : QString();
        } else {
            glyph = SymbolFont::RightTriangle;
            remote = in.dialled;
        }
    }
    look.accountText
        = QStringLiteral("%1 %2").arg(in.accountname.toHtmlEscaped(), in.extension.toHtmlEscaped());
    look.callText = remote.toHtmlEscaped() + QLatin1Char(' ') + SymbolFont::span(glyph);

    if (in.messagesWaiting >= 1 && in.blink)
        look.messagesText += QStringLiteral("VM-%1").arg(in.messagesWaiting);
    if (in.unreadImCount > 0) {
        const QString colour = in.blink ? QString() : QStringLiteral("color:chartreuse; ");
        look.messagesText += QStringLiteral("<a href=\"messages\" style='font-family:\"") + SymbolFont::Family
            + QStringLiteral("\"; ") + colour + QStringLiteral("'>") + SymbolFont::Envelope
            + QStringLiteral("</a>");
    }
    look.messagesToolTip = QStringLiteral("%1 unread message%2")
                               .arg(in.unreadImCount)
                               .arg(in.unreadImCount == 1 ? QString() : QStringLiteral("s"));
    return look;
}

QString AccountLook::styleSheet(bool registered, bool darkScheme, bool selected)
{
    QString sheet = QStringLiteral("QLabel{ ");
    if (registered)
        sheet += QStringLiteral("background:#6FCF97; color:black;");
    else
        sheet += darkScheme ? QStringLiteral("color:white;") : QStringLiteral("color:black;");
    if (selected)
        sheet += QStringLiteral("font-weight: 600;");
    sheet += QStringLiteral("border-radius:10px;border: 1px black solid;}");
    return sheet;
}
