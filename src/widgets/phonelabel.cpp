#include "widgets/phonelabel.h"

#include "widgets/symbolfont.h"

PhoneLabel::PhoneLabel(QWidget *parent)
    : ClickableLabel(parent)
{
    setMouseTracking(true);
    setTextInteractionFlags(
        Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
}

PhoneLabel::~PhoneLabel() = default;

void PhoneLabel::setPhoneNumber(const QString &number)
{
    m_number = number;
    if (number.isEmpty()) {
        setCursor(Qt::ArrowCursor);
        setText(QString());
        return;
    }
    setCursor(Qt::PointingHandCursor);
    setText(SymbolFont::span(SymbolFont::Telephone) + QStringLiteral(" <a href='#'>") + number.toHtmlEscaped()
        + QStringLiteral("</a>"));
}
