#include "widgets/phonelabel.h"

#include "widgets/symbolfont.h"

PhoneLabel::PhoneLabel(QWidget *parent)
    : ClickableLabel(parent)
{
    setMouseTracking(true);
}

PhoneLabel::~PhoneLabel() = default;

void PhoneLabel::setPhoneNumber(const QString &number)
{
    m_number = number;
    if (number.isEmpty()) {
        // An empty label keeps no text machinery: selectable text (or a focus policy) gives every
        // label a text document of its own, which a directory of a thousand tiles pays for a
        // thousand times. The arrow is the parent's cursor.
        setTextInteractionFlags(Qt::NoTextInteraction);
        unsetCursor();
        setText(QString());
        return;
    }
    setTextInteractionFlags(
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setCursor(Qt::PointingHandCursor);
    setText(SymbolFont::span(SymbolFont::Telephone) + QStringLiteral(" <a href='#'>") + number.toHtmlEscaped()
        + QStringLiteral("</a>"));
}
