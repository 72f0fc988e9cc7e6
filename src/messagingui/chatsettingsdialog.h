#pragma once

#include <QDialog>

class QCheckBox;
class Settings;

// Which kinds of chat target the new-conversation window offers.
class ChatSettingsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatSettingsDialog)

public:
    explicit ChatSettingsDialog(Settings &settings, QWidget *parent = nullptr);
    ~ChatSettingsDialog() override;

private:
    void store();

    Settings &m_settings;
    QCheckBox *m_extensions = nullptr;
    QCheckBox *m_telephoneNumbers = nullptr;
    QCheckBox *m_contacts = nullptr;
};
