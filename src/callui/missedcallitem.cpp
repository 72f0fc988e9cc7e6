#include "callui/missedcallitem.h"

#include <QIcon>
#include <QPushButton>
#include <QTime>

#include "core/log.h"
#include "ui_missedcallitem.h"

namespace {

// One icon for every row: the style caches the pixmaps it draws per icon, so an icon of its own
// for each row would add pixmaps to the cache with every missed call.
const QIcon &phoneIcon()
{
    static const auto *icon = new QIcon(QStringLiteral(":/icons/icons/phone.svg"));
    return *icon;
}

} // namespace

MissedCallItem::MissedCallItem(const QString &name, const QString &number, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::MissedCallItem>())
    , m_number(number)
{
    ui->setupUi(this);
    ui->button_call->setIcon(phoneIcon());
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
