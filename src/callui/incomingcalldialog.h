#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class IncomingCallDialog;
}

// The small always-on-top window of one offered call: who calls, which of our numbers, and Answer
// and Decline. It closes itself however the call is settled (cancel with its id).
class IncomingCallDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IncomingCallDialog)

public:
    IncomingCallDialog(int callId, QWidget *parent = nullptr);
    ~IncomingCallDialog() override;

    int callId() const { return m_callId; }

    // Fills in the caller and the called number and shows the window.
    void setCaller(const QString &caller, const QString &number);

signals:
    void answer(int callId);
    void decline(int callId);

public slots:
    void on_button_answer_clicked();
    void on_button_decline_clicked();
    // Closes the window when `id` is its call.
    void cancel(int id);

private:
    std::unique_ptr<Ui::IncomingCallDialog> ui;
    const int m_callId;
};
