#include "panel/accountdetailswidget.h"

#include "ui_accountdetailswidget.h"
#include "widgets/symbolfont.h"

AccountDetailsWidget::AccountDetailsWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AccountDetailsWidget>())
{
    ui->setupUi(this);
    ui->indicator->setStyleSheet(SymbolFont::labelStyleSheet());
}

AccountDetailsWidget::~AccountDetailsWidget() = default;

QLabel *AccountDetailsWidget::getAccountLabel() const
{
    return ui->account;
}

QLabel *AccountDetailsWidget::getCallLabel() const
{
    return ui->call;
}

ClickableLabel *AccountDetailsWidget::getMessagesLabel() const
{
    return ui->messages;
}

QLabel *AccountDetailsWidget::getIndicatorLabel() const
{
    return ui->indicator;
}
