#include "panel/companydevice.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

#include "widgets/clickablelabel.h"
#include "widgets/phonelabel.h"

namespace {
const QString Gray = QStringLiteral("gray");

void setText(QLabel *label, const QString &text, int &redraws)
{
    if (label->text() == text)
        return;
    label->setText(text);
    ++redraws;
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
    : Account(db, accountid, BareLabel {}, rowQuery)
    , m_colour(Gray)
{
    ClickableLabel *tile = getLabel();
    tile->setFixedSize(110, 75);
    tile->setFrameShape(QFrame::Box);
    tile->setAutoFillBackground(true);
    applyColour();
    auto *layout = new QVBoxLayout(tile);
    layout->setContentsMargins(5, 5, 0, 0);
    layout->setSpacing(2);
    m_nameLabel = new QLabel(tile);
    m_phoneLabel = new PhoneLabel(tile);
    m_statusLabel = new QLabel(tile);
    // The text size of "QLabel { font-size: 11px;}", set as a font: a style sheet of its own on
    // each of the thousands of labels of a large directory slows its build by a tenth.
    QFont small = tile->font();
    small.setPixelSize(11);
    for (QLabel *label : {m_nameLabel, static_cast<QLabel *>(m_phoneLabel), m_statusLabel}) {
        label->setFont(small);
        layout->addWidget(label);
    }
    layout->addItem(new QSpacerItem(20, 200, QSizePolicy::Minimum, QSizePolicy::Expanding));
    updateLabel();
}

CompanyDevice::~CompanyDevice() = default;

QString CompanyDevice::getDialOutAppend() const
{
    return QLatin1Char('#') + getAccessId() + QLatin1Char('#') + getAccessPin();
}

void CompanyDevice::updateLabel()
{
    if (getExtension().isEmpty())
        setStatusText(QStringLiteral("phoneonly"));
    QString name = QStringLiteral("<span>") + getFullname() + QStringLiteral("</span>");
    if (!getExtension().isEmpty())
        name += QStringLiteral("<br/>") + getExtension();
    setText(m_nameLabel, name, m_redraws);
    if (m_phoneLabel->getPhoneNumber() != getPhonenumber()) {
        m_phoneLabel->setPhoneNumber(getPhonenumber());
        ++m_redraws;
    }
    setText(m_statusLabel, m_statusText, m_redraws);
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
    setText(m_statusLabel, m_statusText, m_redraws);
    updateAccessibleName();
}

void CompanyDevice::applyColour()
{
    // The labels inside the tile draw no background of their own and take the text colour from
    // the tile (the frame is drawn in the text colour too).
    ClickableLabel *tile = getLabel();
    QPalette palette = tile->palette();
    palette.setColor(QPalette::Window, QColor(m_colour));
    palette.setColor(QPalette::WindowText, Qt::black);
    tile->setPalette(palette);
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
    ClickableLabel *tile = getLabel();
    if (tile->accessibleName() != name)
        tile->setAccessibleName(name);
}
