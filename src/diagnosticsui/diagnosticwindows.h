#pragma once

#include <memory>

#include "panel/toolwindows.h"

class ConnectionTesterDialog;
class Settings;
class dbmgr;

// Owns the diagnostic windows, each built on first use and kept (with its results) until the
// application ends.
class DiagnosticWindows final : public ToolWindows
{
public:
    DiagnosticWindows(Settings &settings, dbmgr &db);
    ~DiagnosticWindows() override;

    void openConnectionTester() override;

    // The tester window, or null before it was first opened.
    ConnectionTesterDialog *connectionTester() const { return m_connectionTester.get(); }

private:
    Settings &m_settings;
    dbmgr &m_db;
    std::unique_ptr<ConnectionTesterDialog> m_connectionTester;
};
