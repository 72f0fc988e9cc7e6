#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class Transferdialog;
}

class Orvalo;

// The transfer window: a number and Transfer / Cancel. Blind: Transfer hands the call on and
// closes. Attended: the first Transfer places the consultation call (the caller is held), the
// second completes the transfer and closes; Cancel (or closing the window) while the consultation
// runs ends it and releases the caller. Its signals go to the main window's operations of the
// same names.
class Transferdialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Transferdialog)

public:
    Transferdialog(
        Orvalo &window, int accountIndex, bool warm, const QString &number, QWidget *parent = nullptr);
    ~Transferdialog() override;

    void setWarmTransferStatus(bool inProgress);
    void setTransferButtonState(bool enabled);
    void setStateText(const QString &text);

    bool isWarm() const { return m_warm; }

    bool isWarmInProgress() const { return m_warmInProgress; }

public slots:
    void on_transferbutton_clicked();
    void on_cancelbutton_clicked();
    // Cancel, Escape and closing the window: an attended transfer in progress is cancelled.
    void reject() override;

signals:
    void cold_transfer_call(int accountIndex, const QString &number);
    void warm_transfer_call(int accountIndex, const QString &number);
    void cancel_warm_transfer(int accountIndex);

private:
    std::unique_ptr<Ui::Transferdialog> ui;
    const int m_accountIndex;
    const bool m_warm;
    bool m_warmInProgress = false;
};
