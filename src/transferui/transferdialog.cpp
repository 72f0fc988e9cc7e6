#include "transferui/transferdialog.h"

#include "core/log.h"
#include "panel/orvalo.h"
#include "ui_transferdialog.h"

Transferdialog::Transferdialog(
    Orvalo &window, int accountIndex, bool warm, const QString &number, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Transferdialog>())
    , m_accountIndex(accountIndex)
    , m_warm(warm)
{
    ui->setupUi(this);
    setFixedSize(237, 121);
    connect(this, &Transferdialog::cold_transfer_call, &window, &Orvalo::cold_transfer_call);
    connect(this, &Transferdialog::warm_transfer_call, &window, &Orvalo::warm_transfer_call);
    connect(this, &Transferdialog::cancel_warm_transfer, &window, &Orvalo::cancel_warm_transfer);
    LOG(QString::number(warm ? 1 : 0) + QLatin1Char(' ') + number);
    setWindowTitle(warm ? QStringLiteral("Transfer call (attended)") : QStringLiteral("Transfer call"));
    LOG(warm ? QStringLiteral("Begin warm transfer") : QStringLiteral("Begin cold transfer"));
    if (!number.isEmpty()) {
        ui->transfer_number->setText(number);
        LOG(QStringLiteral("Transfer to ") + number);
    }
}

Transferdialog::~Transferdialog() = default;

void Transferdialog::setWarmTransferStatus(bool inProgress)
{
    m_warmInProgress = inProgress;
    if (inProgress)
        ui->transfer_state->setText(QStringLiteral("Attended Transfer in progress"));
}

void Transferdialog::setTransferButtonState(bool enabled)
{
    ui->transferbutton->setEnabled(enabled);
}

void Transferdialog::setStateText(const QString &text)
{
    ui->transfer_state->setText(text);
}

void Transferdialog::on_transferbutton_clicked()
{
    const QString number = ui->transfer_number->text().trimmed();
    if (!m_warm) {
        emit cold_transfer_call(m_accountIndex, number);
        accept();
        return;
    }
    // The second press completes the transfer: the window goes first, so that closing it does
    // not count as a cancel.
    if (m_warmInProgress) {
        m_warmInProgress = false;
        accept();
    }
    emit warm_transfer_call(m_accountIndex, number);
}

void Transferdialog::on_cancelbutton_clicked()
{
    reject();
}

// Cancel, Escape and the title bar's close all end here.
void Transferdialog::reject()
{
    if (m_warmInProgress) {
        m_warmInProgress = false;
        emit cancel_warm_transfer(m_accountIndex);
    }
    QDialog::reject();
}
