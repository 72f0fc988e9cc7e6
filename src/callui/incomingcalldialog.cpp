#include "callui/incomingcalldialog.h"

#include "ui_incomingcalldialog.h"
#include "widgets/sharedicon.h"

IncomingCallDialog::IncomingCallDialog(int callId, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::IncomingCallDialog>())
    , m_callId(callId)
{
    ui->setupUi(this);
    // A window opens with every offered call: its icons are the panel's shared ones.
    ui->button_answer->setIcon(sharedIcon(QStringLiteral(":/icons/icons/phone.svg")));
    ui->button_decline->setIcon(sharedIcon(QStringLiteral(":/icons/icons/phone-off.svg")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
}

IncomingCallDialog::~IncomingCallDialog() = default;

void IncomingCallDialog::setCaller(const QString &caller, const QString &number)
{
    ui->label_callerid->setText(caller);
    ui->label_number->setText(number);
    show();
}

void IncomingCallDialog::on_button_answer_clicked()
{
    emit answer(m_callId);
    close();
}

void IncomingCallDialog::on_button_decline_clicked()
{
    emit decline(m_callId);
    close();
}

void IncomingCallDialog::cancel(int id)
{
    if (id == m_callId)
        close();
}
