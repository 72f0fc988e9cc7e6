#include "callui/missedcallitem.h"

#include <QPushButton>
#include <QTime>

#include "core/log.h"
#include "ui_missedcallitem.h"
#include "widgets/sharedicon.h"

MissedCallItem::MissedCallItem(const QString &name, const QString &number, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::MissedCallItem>())
    , m_number(number)
{
    ui->setupUi(this);
    ui->button_call->setIcon(sharedIcon(QStringLiteral(":/icons/icons/phone.svg")));
    ui->label_details->setText(
        name + QStringLiteral(" at ") + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    LOG(ui->label_details->text());
}

MissedCallItem::~MissedCallItem() = default;

QString MissedCallItem::text() const
{
    return ui->label_details->text();
}

void MissedCallItem::on_button_call_clicked()
{
    emit dial(m_number);
}
