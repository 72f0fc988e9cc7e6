#include "widgets/dialpaddialog.h"

#include <QKeyEvent>

#include "ui_dialpaddialog.h"

namespace {
const char *const StyleSheet
    = "QPushButton { background: #EEE; border: 2px solid #AAA; border-bottom: 4px solid #777; }"
      "QPushButton:pressed { border-bottom: 2px solid #AAA; margin-top: 2px; }";
}

DialpadDialog::DialpadDialog(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::DialpadDialog>())
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Dialpad"));
    setFixedSize(270, 341);
    setStyleSheet(QString::fromLatin1(StyleSheet));
    ui->button_dial->hide();
    ui->button_clear->hide();

    const QString digits = QStringLiteral("1234567890*#");
    for (const QChar digit : digits) {
        QPushButton *button = buttonFor(QString(digit));
        connect(button, &QPushButton::clicked, this, [this, digit] { emit clicked(QString(digit)); });
    }
    connect(ui->button_dial, &QPushButton::clicked, this, &DialpadDialog::dial_phonenumber);
    connect(ui->button_clear, &QPushButton::clicked, this, &DialpadDialog::clear_phonenumber);
    connect(ui->button_close, &QPushButton::clicked, this, [this] {
        close();
        emit on_close();
    });
}

DialpadDialog::~DialpadDialog() = default;

QPushButton *DialpadDialog::buttonFor(const QString &digit) const
{
    if (digit == QLatin1String("*"))
        return ui->button_asterisk;
    if (digit == QLatin1String("#"))
        return ui->button_pound;
    return findChild<QPushButton *>(QStringLiteral("button_") + digit);
}

void DialpadDialog::enable_dial_buttons(bool enable)
{
    ui->button_dial->setEnabled(enable);
    ui->button_clear->setEnabled(enable);
}

void DialpadDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit dial_phonenumber();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && QStringLiteral("0123456789*#").contains(text)) {
        if (!event->isAutoRepeat()) {
            buttonFor(text)->setDown(true);
            emit clicked(text);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void DialpadDialog::keyReleaseEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() == 1 && QStringLiteral("0123456789*#").contains(text)) {
        if (!event->isAutoRepeat())
            buttonFor(text)->setDown(false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}
