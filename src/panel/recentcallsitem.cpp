#include "panel/recentcallsitem.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

#include "widgets/sharedicon.h"

RecentCallsItem::RecentCallsItem(
    const QString &number, const QString &callText, const QString &dateText, bool outgoing, QWidget *parent)
    : QWidget(parent)
    , m_number(number)
    , m_outgoing(outgoing)
    , m_call(new QLabel(callText, this))
    , m_date(new QLabel(dateText, this))
    , m_dial(new QToolButton(this))
{
    m_call->setObjectName(QStringLiteral("label_call"));
    m_call->setTextFormat(Qt::RichText);
    m_date->setObjectName(QStringLiteral("label_date"));
    QFont small = m_date->font();
    small.setPixelSize(12);
    m_date->setFont(small);
    m_dial->setObjectName(QStringLiteral("dial_button"));
    m_dial->setToolTip(QStringLiteral("Dial this number"));
    m_dial->setAccessibleName(QStringLiteral("Dial ") + number);
    m_dial->setIcon(sharedIcon(QStringLiteral(":/icons/icons/phone.svg")));
    m_dial->setEnabled(!number.isEmpty());

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setVerticalSpacing(0);
    layout->addWidget(m_call, 0, 0);
    layout->addWidget(m_date, 1, 0);
    layout->addWidget(m_dial, 0, 1, 2, 1);
    layout->setColumnStretch(0, 1);
    connect(m_dial, &QToolButton::clicked, this, &RecentCallsItem::on_dial_button_clicked);
}

void RecentCallsItem::setColour(const QString &colour)
{
    m_call->setStyleSheet(QStringLiteral("color: ") + colour);
}

void RecentCallsItem::on_dial_button_clicked()
{
    emit dial(m_number);
}
