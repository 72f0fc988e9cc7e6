#include "widgets/directorytile.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QStyle>
#include <QTextDocument>
#include <QtMath>

#include "widgets/symbolfont.h"

namespace {
constexpr int FrameWidth = 1;
constexpr int Margin = 5;
constexpr int Spacing = 2;
constexpr Qt::Alignment TextAlignment = Qt::AlignLeft | Qt::AlignTop;
} // namespace

DirectoryTile::DirectoryTile(QWidget *parent)
    : ClickableLabel(parent)
{
    // QLabel's constructor asked the style for the label's layout margins, which under the
    // application's style sheet left a cache of this widget's style rules (some 8 KB, kept as
    // long as the widget lives, and a thousand tiles have a thousand). The tile takes nothing
    // from the style (see event()), so the cache goes: the style sheet drops an object's caches
    // when the object announces its end, and at this point nothing else listens to the new tile.
    emit destroyed(this);
}

DirectoryTile::~DirectoryTile() = default;

bool DirectoryTile::setName(const QString &text)
{
    if (text == m_name)
        return false;
    m_name = text;
    update();
    return true;
}

bool DirectoryTile::setStatus(const QString &text)
{
    if (text == m_status)
        return false;
    m_status = text;
    update(statusBox());
    return true;
}

bool DirectoryTile::setPhoneNumber(const QString &number)
{
    if (number == m_phoneNumber)
        return false;
    m_phoneNumber = number;
    // Moves are only followed over a number, for the pointing hand.
    setMouseTracking(!number.isEmpty());
    if (number.isEmpty())
        unsetCursor();
    measurePhoneLine();
    updateDescription();
    update();
    return true;
}

bool DirectoryTile::isOnPhoneLine(const QPoint &point) const
{
    return !m_phoneNumber.isEmpty() && phoneBox().contains(point);
}

QRect DirectoryTile::inside() const
{
    return rect().adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
}

int DirectoryTile::textHeight(const QString &text) const
{
    // An empty line keeps the height of one, as an empty label does.
    const QFontMetrics metrics = fontMetrics();
    if (text.isEmpty())
        return metrics.height();
    return metrics.boundingRect(QRect(0, 0, 2000, 2000), TextAlignment, text).height();
}

void DirectoryTile::layOutPhoneLine(QTextDocument &document, int width) const
{
    // As a label shows the markup: the tile's font, no margin, one line, the link in the
    // application's link colour and underlined (the markup's own doing).
    document.setUndoRedoEnabled(false);
    document.setDefaultFont(font());
    document.setHtml(SymbolFont::span(SymbolFont::Telephone) + QStringLiteral(" <a href='#'>")
        + m_phoneNumber.toHtmlEscaped() + QStringLiteral("</a>"));
    QTextOption option = document.defaultTextOption();
    option.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::ManualWrap);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);
    document.setTextWidth(width);
}

void DirectoryTile::measurePhoneLine()
{
    // Only the height is kept: the document is made again when the line is painted, so a tile
    // holds no text machinery.
    m_phoneLineHeight = 0;
    if (m_phoneNumber.isEmpty())
        return;
    QTextDocument document;
    layOutPhoneLine(document, -1);
    m_phoneLineHeight = qCeil(document.size().height());
}

void DirectoryTile::updateDescription()
{
    // A screen reader finds the number with the tile (whose name is the person's).
    const QString description
        = m_phoneNumber.isEmpty() ? QString() : QStringLiteral("Phone ") + m_phoneNumber;
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

QRect DirectoryTile::nameBox() const
{
    const QRect box = inside();
    return {box.left() + Margin, box.top() + Margin, box.width() - Margin, textHeight(m_name)};
}

QRect DirectoryTile::phoneBox() const
{
    const QRect name = nameBox();
    const int height = m_phoneNumber.isEmpty() ? textHeight(QString()) : m_phoneLineHeight;
    return {name.left(), name.bottom() + 1 + Spacing, name.width(), height};
}

QRect DirectoryTile::statusBox() const
{
    const QRect phone = phoneBox();
    return {phone.left(), phone.bottom() + 1 + Spacing, phone.width(),
        qMax(textHeight(m_status), inside().bottom() - phone.bottom() - Spacing)};
}

void DirectoryTile::paintEvent(QPaintEvent *event)
{
    // The background is the palette's, filled before; then the box and the texts in the text
    // colour, as a plain box frame and labels would draw them (without asking the style, see
    // event()).
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setClipRect(inside());
    QStyle *look = style();
    for (const auto &[box, text] : {std::pair {nameBox(), &m_name}, std::pair {statusBox(), &m_status}}) {
        if (!text->isEmpty())
            look->drawItemText(
                &painter, box, int(TextAlignment), palette(), isEnabled(), *text, QPalette::WindowText);
    }
    const QRect phone = phoneBox();
    if (m_phoneNumber.isEmpty() || !event->rect().intersects(phone))
        return;
    // The glyph in the text colour, the number in the link's own.
    QTextDocument document;
    layOutPhoneLine(document, phone.width());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    if (isEnabled())
        context.palette.setColor(QPalette::Text, context.palette.color(QPalette::WindowText));
    painter.translate(phone.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), phone.size()), Qt::IntersectClip);
    document.documentLayout()->draw(&painter, context);
}

bool DirectoryTile::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Polish:
        // The tile's look is its own: palette, font and the box it draws. Polishing would have
        // the application's style sheet keep a cache of the tile's rules (see the constructor).
        setAttribute(Qt::WA_WState_Polished);
        return true;
    case QEvent::ParentChange:
    case QEvent::StyleChange:
        // The label and frame would ask the style for margins and a frame width the tile does not
        // use.
        return QWidget::event(event);
    default:
        return ClickableLabel::event(event);
    }
}

void DirectoryTile::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::StyleChange)
        QWidget::changeEvent(event); // see event()
    else
        ClickableLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        measurePhoneLine();
}

void DirectoryTile::mousePressEvent(QMouseEvent *event)
{
    m_pressedOnPhone = event->button() != Qt::RightButton && isOnPhoneLine(event->position().toPoint());
    ClickableLabel::mousePressEvent(event);
}

void DirectoryTile::mouseMoveEvent(QMouseEvent *event)
{
    const bool overNumber = isOnPhoneLine(event->position().toPoint());
    if (overNumber != testAttribute(Qt::WA_SetCursor)) {
        if (overNumber)
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
    ClickableLabel::mouseMoveEvent(event);
}

void DirectoryTile::click()
{
    // A click on the number is the number's, not the tile's.
    if (m_pressedOnPhone)
        emit phoneClicked();
    else
        emit clicked();
}
