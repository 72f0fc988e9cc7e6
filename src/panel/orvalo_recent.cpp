// Main window: the settings and history windows of the Options and History menus, and the
// recent calls list.
#include "core/settings.h"
#include "panel/orvalo.h"
#include "panel/recentcallslist.h"
#include "panel/settingswindows.h"
#include "ui_orvalo.h"

void Orvalo::setSettingsWindows(SettingsWindows *windows)
{
    if (m_settingsWindows)
        disconnect(m_settingsWindows, nullptr, this, nullptr);
    m_settingsWindows = windows;
    for (QAction *entry :
        {ui->actionGeneral_Settings, ui->actionAudio_settings, ui->actionCall_log, ui->actionMissed_calls})
        entry->setEnabled(windows != nullptr);
    if (windows)
        connect(windows, &SettingsWindows::settingsUpdated, this, &Orvalo::checkSettings);
}

void Orvalo::on_actionGeneral_Settings_triggered()
{
    if (m_settingsWindows)
        m_settingsWindows->openGeneralSettings();
}

void Orvalo::on_actionAudio_settings_triggered()
{
    if (m_settingsWindows)
        m_settingsWindows->openAudioSettings();
}

void Orvalo::on_actionCall_log_triggered()
{
    if (m_settingsWindows)
        m_settingsWindows->openCallLog(false);
}

void Orvalo::on_actionMissed_calls_triggered()
{
    if (m_settingsWindows)
        m_settingsWindows->openCallLog(true);
}

void Orvalo::setupRecentCalls()
{
    connect(
        ui->recentCalls, &RecentCallsList::dial, this, [this](const QString &number) { makeCall(number); });
}

void Orvalo::reloadRecentCalls(bool applyLimit)
{
    if (applyLimit)
        ui->recentCalls->reload(m_settings.getIntSetting(Settings::RecentCallsLimit));
    else
        ui->recentCalls->reload();
}
