#pragma once

#include <memory>

#include <QMetaObject>

#include "panel/toolwindows.h"

class ConnectionTesterDialog;
class RTCPLogger;
class SipLog;
class Settings;
class dbmgr;

// Owns the diagnostic windows. The connection tester and the SIP log are built on first use and
// kept (with their contents) until the application ends; each opening of the call quality logger
// builds a new one in place of the last.
class DiagnosticWindows final : public ToolWindows
{
public:
    DiagnosticWindows(Settings &settings, dbmgr &db);
    ~DiagnosticWindows() override;

    void openConnectionTester() override;
    void openSipLog(SipDialer &engine) override;
    void openQualityLogger(QualitySampler &sampler) override;

    // The tester window, or null before it was first opened.
    ConnectionTesterDialog *connectionTester() const { return m_connectionTester.get(); }

    SipLog *sipLog() const { return m_sipLog.get(); }

    RTCPLogger *qualityLogger() const { return m_qualityLogger.get(); }

private:
    Settings &m_settings;
    dbmgr &m_db;
    std::unique_ptr<ConnectionTesterDialog> m_connectionTester;
    std::unique_ptr<SipLog> m_sipLog;
    std::unique_ptr<RTCPLogger> m_qualityLogger;
    QMetaObject::Connection m_qualityLines;
    QMetaObject::Connection m_sipLines;
};
