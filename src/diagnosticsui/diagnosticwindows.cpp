#include "diagnosticsui/diagnosticwindows.h"

#include "diagnosticsui/connectiontesterdialog.h"

DiagnosticWindows::DiagnosticWindows(Settings &settings, dbmgr &db)
    : m_settings(settings)
    , m_db(db)
{ }

DiagnosticWindows::~DiagnosticWindows() = default;

void DiagnosticWindows::openConnectionTester()
{
    if (!m_connectionTester)
        m_connectionTester = std::make_unique<ConnectionTesterDialog>(m_settings, m_db);
    m_connectionTester->show();
    m_connectionTester->raise();
    m_connectionTester->activateWindow();
}
