#include "messagingui/chatsettingsdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/settings.h"

ChatSettingsDialog::ChatSettingsDialog(Settings &settings, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("Chat Settings"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Supported Target Chat Parties"), this);
    auto *boxes = new QVBoxLayout(group);
    const auto box = [&](const QString &text, const char *name, const Setting &option) {
        auto *check = new QCheckBox(text, group);
        check->setObjectName(QLatin1String(name));
        check->setChecked(m_settings.checkSetting(option, Setting::Yes));
        boxes->addWidget(check);
        return check;
    };
    m_extensions = box(QStringLiteral("Extensions"), "checkbox_extensions", Settings::ChatSupportsExtension);
    m_telephoneNumbers = box(QStringLiteral("Telephone numbers"), "checkbox_telephonenumbers",
        Settings::ChatSupportsTelephoneNumber);
    m_contacts = box(QStringLiteral("Contacts"), "checkbox_contacts", Settings::ChatSupportsContact);
    layout->addWidget(group);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::clicked, this, [this, buttons](QAbstractButton *button) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
            store();
        close();
    });
}

ChatSettingsDialog::~ChatSettingsDialog() = default;

void ChatSettingsDialog::store()
{
    const auto value = [](const QCheckBox *box) { return box->isChecked() ? Setting::Yes : Setting::No; };
    m_settings.setSetting(Settings::ChatSupportsExtension, value(m_extensions));
    m_settings.setSetting(Settings::ChatSupportsTelephoneNumber, value(m_telephoneNumbers));
    m_settings.setSetting(Settings::ChatSupportsContact, value(m_contacts));
}
