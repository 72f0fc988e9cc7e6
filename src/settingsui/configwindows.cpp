#include "settingsui/configwindows.h"

#include <QSqlDatabase>

#include "panel/calllogquery.h"
#include "settingsui/audiosettingsdialog.h"
#include "settingsui/generalsettingsdialog.h"
#include "settingsui/orvalocdrdialog.h"

namespace {
void showModal(QWidget *dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

ConfigWindows::ConfigWindows(Settings &settings, SipDialer &engine, Asset &asset, QWidget *mainWindow)
    : SettingsWindows(mainWindow)
    , m_settings(settings)
    , m_engine(engine)
    , m_asset(asset)
    , m_mainWindow(mainWindow)
{
    // Built once per database file, at start-up, so that the call log never waits for it.
    QSqlDatabase db = QSqlDatabase::database();
    CallLogQuery::ensureIndex(db);
}

ConfigWindows::~ConfigWindows()
{
    delete m_general.data();
    delete m_audio.data();
    delete m_callLog.data();
}

void ConfigWindows::openGeneralSettings()
{
    delete m_general.data();
    m_general = new GeneralSettingsDialog(m_settings, m_mainWindow);
    connect(m_general, &GeneralSettingsDialog::settings_updated, this, &SettingsWindows::settingsUpdated);
    showModal(m_general);
}

void ConfigWindows::openAudioSettings()
{
    delete m_audio.data();
    m_audio = new AudioSettingsDialog(m_settings, m_engine, m_asset, m_mainWindow);
    showModal(m_audio);
}

void ConfigWindows::openCallLog(bool missedOnly)
{
    delete m_callLog.data();
    m_callLog = new Orvalocdrdialog();
    m_callLog->setAttribute(Qt::WA_DeleteOnClose);
    if (missedOnly)
        m_callLog->showMissedCalls();
    m_callLog->show();
}

GeneralSettingsDialog *ConfigWindows::generalSettings() const
{
    return m_general.data();
}

AudioSettingsDialog *ConfigWindows::audioSettings() const
{
    return m_audio.data();
}

Orvalocdrdialog *ConfigWindows::callLog() const
{
    return m_callLog.data();
}
