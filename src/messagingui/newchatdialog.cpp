#include "messagingui/newchatdialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/settings.h"

NewChatDialog::NewChatDialog(
    const QString &accountName, const QStringList &extensions, Settings &settings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Create New Chat Conversation"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QFormLayout;
    auto *panel = new QLineEdit(accountName, this);
    panel->setObjectName(QStringLiteral("field_panelextension"));
    panel->setReadOnly(true);
    top->addRow(QStringLiteral("Panel Extension"), panel);
    layout->addLayout(top);

    auto *group = new QGroupBox(QStringLiteral("Target Chat Party"), this);
    auto *form = new QFormLayout(group);
    m_extensions = new QComboBox(group);
    m_extensions->setObjectName(QStringLiteral("dropdown_extensions"));
    m_extensions->addItem(QString());
    m_extensions->addItems(extensions);
    m_telephone = new QLineEdit(group);
    m_telephone->setObjectName(QStringLiteral("field_targettelephone"));
    m_contact = new QLineEdit(group);
    m_contact->setObjectName(QStringLiteral("field_targetcontact"));
    form->addRow(QStringLiteral("Extension"), m_extensions);
    form->addRow(QStringLiteral("Telephone"), m_telephone);
    form->addRow(QStringLiteral("Contact"), m_contact);
    const auto offered
        = [&settings](const Setting &kind) { return !settings.checkSetting(kind, Setting::No); };
    form->setRowVisible(m_extensions, offered(Settings::ChatSupportsExtension));
    form->setRowVisible(m_telephone, offered(Settings::ChatSupportsTelephoneNumber));
    form->setRowVisible(m_contact, offered(Settings::ChatSupportsContact));
    layout->addWidget(group);

    // The three are exclusive: filling one empties the others.
    connect(m_telephone, &QLineEdit::textEdited, this, [this] {
        m_contact->clear();
        m_extensions->setCurrentIndex(0);
    });
    connect(m_contact, &QLineEdit::textEdited, this, [this] {
        m_telephone->clear();
        m_extensions->setCurrentIndex(0);
    });
    connect(m_extensions, &QComboBox::activated, this, [this] {
        m_telephone->clear();
        m_contact->clear();
    });

    auto *buttons = new QHBoxLayout;
    auto *createButton = new QPushButton(QStringLiteral("Create"), this);
    createButton->setObjectName(QStringLiteral("button_create"));
    auto *exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("button_exit"));
    buttons->addStretch();
    buttons->addWidget(createButton);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    connect(createButton, &QPushButton::clicked, this, &NewChatDialog::createChat);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
}

NewChatDialog::~NewChatDialog() = default;

void NewChatDialog::createChat()
{
    if (m_extensions->currentIndex() > 0)
        emit create(m_extensions->currentText());
    if (const QString contact = m_contact->text().trimmed(); !contact.isEmpty())
        emit create(contact);
    if (const QString telephone = m_telephone->text().trimmed(); !telephone.isEmpty())
        emit create(telephone);
    close();
}
