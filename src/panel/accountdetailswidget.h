#pragma once

#include <memory>

#include <QWidget>

class ClickableLabel;
class QLabel;

namespace Ui {
class AccountDetailsWidget;
}

// The row of one extension: name and number, current call, voicemail/chat counters, activity mark.
class AccountDetailsWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountDetailsWidget)

public:
    explicit AccountDetailsWidget(QWidget *parent = nullptr);
    ~AccountDetailsWidget() override;

    QLabel *getAccountLabel() const;
    QLabel *getCallLabel() const;
    ClickableLabel *getMessagesLabel() const;
    QLabel *getIndicatorLabel() const;

private:
    std::unique_ptr<Ui::AccountDetailsWidget> ui;
};
