#include "diagnosticsui/diagnosticwindows.h"

#include "diagnostics/qualitysampler.h"
#include "diagnosticsui/connectiontesterdialog.h"
#include "diagnosticsui/rtcplogger.h"
#include "diagnosticsui/siplog.h"
#include "engine/sipdialer.h"

DiagnosticWindows::DiagnosticWindows(Settings &settings, dbmgr &db)
    : m_settings(settings)
    , m_db(db)
{ }

DiagnosticWindows::~DiagnosticWindows()
{
    QObject::disconnect(m_qualityLines);
}

void DiagnosticWindows::openConnectionTester()
{
    if (!m_connectionTester)
        m_connectionTester = std::make_unique<ConnectionTesterDialog>(m_settings, m_db);
    m_connectionTester->show();
    m_connectionTester->raise();
    m_connectionTester->activateWindow();
}

namespace {
void bringForward(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}
} // namespace

void DiagnosticWindows::openSipLog(SipDialer &engine)
{
    if (!m_sipLog) {
        m_sipLog = std::make_unique<SipLog>();
        // The stack's lines are handed over only while the window captures; it drops them otherwise.
        SipLog *window = m_sipLog.get();
        QObject::connect(window, &SipLog::capturingChanged, window, [this, &engine, window](bool on) {
            QObject::disconnect(m_sipLines);
            if (on)
                m_sipLines = QObject::connect(&engine, &SipDialer::log, window, &SipLog::log);
        });
    }
    bringForward(*m_sipLog);
}

void DiagnosticWindows::openQualityLogger(QualitySampler &sampler)
{
    QObject::disconnect(m_qualityLines);
    m_qualityLogger = std::make_unique<RTCPLogger>();
    RTCPLogger *window = m_qualityLogger.get();
    QObject::connect(window, &RTCPLogger::startLogging, &sampler, &QualitySampler::start);
    QObject::connect(window, &RTCPLogger::stopLogging, &sampler, &QualitySampler::stop);
    m_qualityLines = QObject::connect(&sampler, &QualitySampler::line, window, &RTCPLogger::updateLog);
    bringForward(*window);
}
