#pragma once

#include <QObject>

// The settings and history windows as the main window sees them: general settings, audio
// settings and the call log. They live in a higher target (settingsui); the application hands an
// implementation to the main window, which opens them from its Options and History menus and
// re-applies the options when the general settings report settingsUpdated().
class SettingsWindows : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindows)

public:
    explicit SettingsWindows(QObject *parent = nullptr);
    ~SettingsWindows() override;

    // Each opens a new window (it replaces an earlier one) and returns at once; the settings
    // windows are application-modal.
    virtual void openGeneralSettings() = 0;
    virtual void openAudioSettings() = 0;
    // The call log; with `missedOnly`, filtered to unanswered inbound calls.
    virtual void openCallLog(bool missedOnly) = 0;

signals:
    // The general settings window was closed with Save or Discard.
    void settingsUpdated();
};
