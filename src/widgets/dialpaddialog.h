#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class DialpadDialog;
}
class QPushButton;

// A telephone keypad window: digits go out through clicked(), Return dials.
class DialpadDialog final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialpadDialog)

public:
    explicit DialpadDialog(QWidget *parent = nullptr);
    ~DialpadDialog() override;

    void enable_dial_buttons(bool enable);
    QPushButton *buttonFor(const QString &digit) const;

signals:
    void clicked(const QString &digit);
    void dial_phonenumber();
    void clear_phonenumber();
    void on_close();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::DialpadDialog> ui;
};
