#pragma once

#include <QPointer>

#include "panel/settingswindows.h"

class QWidget;
class Asset;
class AudioSettingsDialog;
class GeneralSettingsDialog;
class Orvalocdrdialog;
class Settings;
class SipDialer;

// Opens the general and audio settings (parented to the main window, application-modal) and the
// call log (a window of its own); each opening replaces the window opened before.
class ConfigWindows final : public SettingsWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConfigWindows)

public:
    ConfigWindows(Settings &settings, SipDialer &engine, Asset &asset, QWidget *mainWindow);
    ~ConfigWindows() override;

    void openGeneralSettings() override;
    void openAudioSettings() override;
    void openCallLog(bool missedOnly) override;

    // The windows now open, or null.
    GeneralSettingsDialog *generalSettings() const;
    AudioSettingsDialog *audioSettings() const;
    Orvalocdrdialog *callLog() const;

private:
    Settings &m_settings;
    SipDialer &m_engine;
    Asset &m_asset;
    QPointer<QWidget> m_mainWindow;
    QPointer<GeneralSettingsDialog> m_general;
    QPointer<AudioSettingsDialog> m_audio;
    QPointer<Orvalocdrdialog> m_callLog;
};
