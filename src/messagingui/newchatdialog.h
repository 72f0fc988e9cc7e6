#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class Settings;

// Picks the target of a new conversation: a directory extension, a telephone number or a
// contact, one at a time. Kinds switched off in the chat settings are not offered.
class NewChatDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewChatDialog)

public:
    NewChatDialog(const QString &accountName, const QStringList &extensions, Settings &settings,
        QWidget *parent = nullptr);
    ~NewChatDialog() override;

signals:
    void create(const QString &peer);

private:
    void createChat();

    QComboBox *m_extensions = nullptr;
    QLineEdit *m_telephone = nullptr;
    QLineEdit *m_contact = nullptr;
};
