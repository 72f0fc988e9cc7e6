#pragma once

#include <memory>

#include <QDialog>
#include <QPointer>

namespace Ui {
class CallControl;
}
class DialpadDialog;

// A small call-out window: takes a number (typed or from its own keypad) and hands it back with
// the extension it was opened for.
class CallcontrolDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CallcontrolDialog)

public:
    CallcontrolDialog(const QString &title, const QString &extension, QWidget *parent = nullptr);
    ~CallcontrolDialog() override;

    QString phoneNumber() const;

signals:
    void callas(const QString &number, const QString &extension);

public slots:
    void open_dialpad();
    void add_to_dialstring(const QString &digit);
    void clear_phonenumber();
    void on_buttonDial_clicked();
    void on_dialpad_closed();

private:
    std::unique_ptr<Ui::CallControl> ui;
    std::unique_ptr<DialpadDialog> m_dialpad;
    int m_formHeight = 0;
    QString m_extension;
};
