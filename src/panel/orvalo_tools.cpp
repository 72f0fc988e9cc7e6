// Main window: the diagnostic windows of the Help menu (SIP log, call quality logger) and the fax
// window of the Fax button.
#include "core/log.h"
#include "diagnostics/qualitysampler.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/faxwindows.h"
#include "panel/orvalo.h"
#include "panel/toolwindows.h"
#include "ui_orvalo.h"

QualitySampler &Orvalo::qualitySampler()
{
    if (!m_quality) {
        const auto answered = [this] {
            QList<int> ids;
            for (const auto &account : m_accounts) {
                for (const auto &call : account->getCalls()) {
                    if (call->getCallId() != -1 && call->getCallAnswered())
                        ids << call->getCallId();
                }
            }
            return ids;
        };
        m_quality = std::make_unique<QualitySampler>(
            answered, [this](int callId) { return m_dialer->callQuality(callId); });
    }
    return *m_quality;
}

void Orvalo::on_actionSip_Logger_triggered()
{
    if (m_toolWindows)
        m_toolWindows->openSipLog(*m_dialer);
}

void Orvalo::on_actionRTCP_Logger_triggered()
{
    if (m_toolWindows)
        m_toolWindows->openQualityLogger(qualitySampler());
}

void Orvalo::setFaxWindows(FaxWindows *windows)
{
    m_faxWindows = windows;
    if (windows)
        m_unbuiltControls.removeAll(ui->FaxButton);
    else if (!m_unbuiltControls.contains(ui->FaxButton))
        m_unbuiltControls << ui->FaxButton;
    refresh_call_control();
}

void Orvalo::on_FaxButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!m_faxWindows || !account || !account->isRegistered()) {
        LOG(QStringLiteral("Fax: no registered extension selected"));
        return;
    }
    m_faxWindows->openFax(account->getExtension(), ui->PhoneNumber->text());
}
