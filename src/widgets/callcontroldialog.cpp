#include "widgets/callcontroldialog.h"

#include <QGridLayout>

#include "ui_callcontrol.h"
#include "widgets/dialpaddialog.h"

CallcontrolDialog::CallcontrolDialog(const QString &title, const QString &extension, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CallControl>())
    , m_extension(extension)
{
    ui->setupUi(this);
    setWindowTitle(title);
    m_formHeight = height();
    connect(ui->buttonDialpad, &QPushButton::clicked, this, &CallcontrolDialog::open_dialpad);
}

CallcontrolDialog::~CallcontrolDialog() = default;

QString CallcontrolDialog::phoneNumber() const
{
    return ui->PhoneNumber->text();
}

void CallcontrolDialog::open_dialpad()
{
    delete ui->widget_dialpad->layout();
    m_dialpad = std::make_unique<DialpadDialog>();
    connect(m_dialpad.get(), &DialpadDialog::clicked, this, &CallcontrolDialog::add_to_dialstring);
    connect(
        m_dialpad.get(), &DialpadDialog::dial_phonenumber, this, &CallcontrolDialog::on_buttonDial_clicked);
    connect(m_dialpad.get(), &DialpadDialog::clear_phonenumber, this, &CallcontrolDialog::clear_phonenumber);
    connect(m_dialpad.get(), &DialpadDialog::on_close, this, &CallcontrolDialog::on_dialpad_closed);
    auto *layout = new QGridLayout(ui->widget_dialpad);
    layout->addWidget(m_dialpad.get());
    setFixedHeight(m_formHeight + 235);
    ui->buttonDialpad->setEnabled(false);
}

void CallcontrolDialog::add_to_dialstring(const QString &digit)
{
    ui->PhoneNumber->setText(ui->PhoneNumber->text() + digit);
}

void CallcontrolDialog::clear_phonenumber()
{
    ui->PhoneNumber->clear();
}

void CallcontrolDialog::on_buttonDial_clicked()
{
    if (!isVisible())
        return;
    hide();
    emit callas(ui->PhoneNumber->text(), m_extension);
}

void CallcontrolDialog::on_dialpad_closed()
{
    ui->buttonDialpad->setEnabled(true);
    setFixedHeight(m_formHeight);
    delete ui->widget_dialpad->layout();
}
