#include "callui/missedcallsdialog.h"

#include <QDialogButtonBox>
#include <QListWidgetItem>

#include "callui/missedcallitem.h"
#include "panel/missedcaller.h"
#include "ui_missedcallsdialog.h"

MissedCallsDialog::MissedCallsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::MissedCallsDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    connect(ui->button_ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(this, &QDialog::finished, ui->list_missed_calls, &QListWidget::clear);
}

MissedCallsDialog::~MissedCallsDialog() = default;

void MissedCallsDialog::addMissedCall(const QString &remote)
{
    const MissedCaller caller = missedCaller(remote);
    auto *row = new MissedCallItem(caller.name, caller.number);
    auto *item = new QListWidgetItem(ui->list_missed_calls);
    item->setSizeHint(row->sizeHint());
    // Assistive technology reads the row, not the widget drawn in it.
    item->setData(Qt::AccessibleTextRole, row->text());
    ui->list_missed_calls->setItemWidget(item, row);
    connect(row, &MissedCallItem::dial, this, &MissedCallsDialog::dialNumber);
    while (ui->list_missed_calls->count() > MaxRows) {
        QListWidgetItem *oldest = ui->list_missed_calls->item(0);
        delete ui->list_missed_calls->itemWidget(oldest);
        delete oldest;
    }
    show();
    raise();
    activateWindow();
}

QList<MissedCallItem *> MissedCallsDialog::items() const
{
    QList<MissedCallItem *> rows;
    for (int i = 0; i < ui->list_missed_calls->count(); ++i) {
        if (auto *row = qobject_cast<MissedCallItem *>(
                ui->list_missed_calls->itemWidget(ui->list_missed_calls->item(i))))
            rows.append(row);
    }
    return rows;
}

void MissedCallsDialog::dialNumber(const QString &number)
{
    emit dial(number);
}
