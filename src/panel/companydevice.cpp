#include "panel/companydevice.h"

#include <QColor>
#include <QPalette>

#include "widgets/directorytile.h"

namespace {
const QString Gray = QStringLiteral("gray");

// The presence text as the tile shows it: its one markup, a line break, as a new line.
QString shownStatus(const QString &statusText)
{
    return QString(statusText).replace(QLatin1String("<br/>"), QLatin1String("\n"));
}
} // namespace

TilePresence TilePresence::of(const QString &presenceText)
{
    TilePresence p {Gray, false, presenceText};
    if (presenceText == QLatin1String("Available") || presenceText == QLatin1String("Ready")) {
        p.colour = QStringLiteral("greenyellow");
        p.available = true;
    } else if (presenceText == QLatin1String("Busy") || presenceText == QLatin1String("Calling")
        || presenceText == QLatin1String("On Hold") || presenceText == QLatin1String("Picked Up")
        || presenceText == QLatin1String("On the phone")) {
        p.colour = QStringLiteral("goldenrod");
    } else if (presenceText == QLatin1String("Ringing")) {
        p.colour = QStringLiteral("gold");
    } else if (presenceText == QLatin1String("phoneonly")) {
        p.colour = QStringLiteral("mediumturquoise");
        p.text = QStringLiteral("<br/>No extension");
    }
    return p;
}

CompanyDevice::CompanyDevice(dbmgr &db, int accountid, QSqlQuery *rowQuery)
    : Account(db, accountid, BareLabel {new DirectoryTile}, rowQuery)
    , m_tile(static_cast<DirectoryTile *>(getLabel()))
    , m_colour(Gray)
{
    m_tile->setFixedSize(110, 75);
    m_tile->setAutoFillBackground(true);
    // The text size of "QLabel { font-size: 11px;}", set as a font rather than a style sheet of
    // each tile.
    QFont small = m_tile->font();
    small.setPixelSize(11);
    m_tile->setFont(small);
    applyColour();
    updateLabel();
}

CompanyDevice::~CompanyDevice() = default;

QString CompanyDevice::getDialOutAppend() const
{
    return QLatin1Char('#') + getAccessId() + QLatin1Char('#') + getAccessPin();
}

bool CompanyDevice::isOnPhoneNumber(const QPoint &point) const
{
    return m_tile->isOnPhoneLine(point);
}

const QString &CompanyDevice::shownPhoneNumber() const
{
    return m_tile->phoneNumber();
}

void CompanyDevice::updateLabel()
{
    if (getExtension().isEmpty())
        setStatusText(QStringLiteral("phoneonly"));
    // As the markup "<span>" + name + "</span><br/>" + extension showed it: white space
    // collapsed, the extension on a line of its own.
    QString name = getFullname().simplified();
    if (!getExtension().isEmpty())
        name += QLatin1Char('\n') + getExtension();
    if (m_tile->setName(name))
        ++m_redraws;
    if (m_tile->setPhoneNumber(getPhonenumber()))
        ++m_redraws;
    if (m_tile->setStatus(shownStatus(m_statusText)))
        ++m_redraws;
    updateAccessibleName();
}

void CompanyDevice::setStatusText(const QString &text)
{
    const TilePresence presence = TilePresence::of(text);
    m_statusText = presence.text;
    m_available = presence.available;
    if (presence.colour != m_colour) {
        m_colour = presence.colour;
        applyColour();
        ++m_redraws;
    }
    if (m_tile->setStatus(shownStatus(m_statusText)))
        ++m_redraws;
    updateAccessibleName();
}

void CompanyDevice::applyColour()
{
    // The texts, the frame and the telephone glyph take the text colour; the number keeps the
    // link colour.
    QPalette palette = m_tile->palette();
    palette.setColor(QPalette::Window, QColor(m_colour));
    palette.setColor(QPalette::WindowText, Qt::black);
    m_tile->setPalette(palette);
}

void CompanyDevice::updateAccessibleName()
{
    // What a screen reader says for the tile: name, extension and presence.
    QString presence = QString(m_statusText).remove(QLatin1String("<br/>")).trimmed();
    if (presence.isEmpty() || presence == QLatin1String("?"))
        presence = QStringLiteral("presence unknown");
    QString name = getFullname().trimmed();
    if (!getExtension().isEmpty())
        name += QStringLiteral(", ") + getExtension();
    name += QStringLiteral(", ") + presence;
    if (m_tile->accessibleName() != name)
        m_tile->setAccessibleName(name);
}
