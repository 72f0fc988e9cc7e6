// Main window: what the engine reports (offered calls, state changes, ends, media, registration,
// voicemail, errors) turned into panel state.
#include <QMessageBox>
#include <QRegularExpression>

#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/callwindows.h"
#include "panel/contactlookup.h"
#include "panel/externaldevice.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"

namespace {
// A quoted display name in a party string.
const QRegularExpression &displayNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("\"([\\S|\\D|\\W]+)\""));
    return pattern;
}

const QRegularExpression &localNumberPattern()
{
    static const QRegularExpression pattern(QStringLiteral("<sip:(\\S+)@\\S+>"));
    return pattern;
}
} // namespace

void Orvalo::showMessage(const QString &text)
{
    if (!m_messageBox)
        return;
    m_messageBox->setText(text);
    m_messageBox->show();
}

void Orvalo::raiseForIncomingCall()
{
    if (isVisible() && !isMinimized())
        return;
    if (m_settings.checkSetting(Settings::ForegroundOnIncomingCall, Setting::Yes)) {
        if (isHidden())
            show();
        return;
    }
    m_trayIcon->showMessage(
        QStringLiteral("Orvalo"), QStringLiteral("Incoming call"), QSystemTrayIcon::Information, 2000);
    activateWindow();
}

void Orvalo::onIncomingCall(const orvalo_call_info &info)
{
    pj_log(QStringLiteral("Incoming call from ") + info.remote_info, info.acc_id);
    LOG(QStringLiteral("Incoming call from ") + info.remote_info + QStringLiteral(" host ") + info.remote_host
        + QStringLiteral(" to id ") + QString::number(info.acc_id));

    sip_call_msg decline = callRequest(info.acc_id, info.call_id);
    decline.options.insert(QStringLiteral("code"), QStringLiteral("480"));
    for (const auto &account : m_accounts) {
        if (account->getPjId() != info.acc_id)
            continue;
        if (info.remote_host != account->getDomain() && info.remote_host != account->getDomainIp()) {
            LOG(QStringLiteral("Call from ") + info.remote_host
                + QStringLiteral(" not received from registered domain: ") + account->getDomain()
                + QStringLiteral(" or ") + account->getDomainIp());
            emit onRejectButtonSignal(decline);
            return;
        }
    }
    if (m_dndOn) {
        LOG(QStringLiteral("Canceling due to DND being on"));
        addMissedCall(info.remote_info);
        emit onRejectButtonSignal(decline);
        return;
    }

    int index = -1;
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        if (m_accounts[std::size_t(i)]->getPjId() == info.acc_id) {
            index = i;
            break;
        }
    }
    if (index == -1) {
        refresh_call_control();
        return;
    }
    Account &account = *m_accounts[std::size_t(index)];

    QString remoteName = info.remote_info;
    if (const QRegularExpressionMatch m = displayNamePattern().match(info.remote_info); m.hasMatch()) {
        remoteName = m.captured(1);
        LOG(QStringLiteral("got match ") + remoteName);
    } else {
        LOG(QStringLiteral("No matches for remote found in :") + info.remote_info);
    }
    QString localNumber = info.local_info;
    if (const QRegularExpressionMatch m = localNumberPattern().match(info.local_info); m.hasMatch())
        localNumber = m.captured(1);

    Call &call = account.newCall(info.call_id, localNumber, CallDirection::Incoming);
    call.setCallInfo(info);
    call.getCallRecord().setRemote(info.remote_info);
    call.getCallRecord().setLocal(info.local_info);

    selectAccount(index);
    showCallLabel(call);
    if (m_contactLookup->looksUpAt(ContactLookup::Moment::Offered))
        contact_lookup(info);
    if (m_contactLookup->queriesHeader())
        queryCallHeader(info);
    raiseForIncomingCall();
    openIncomingCallWindow(call, remoteName, localNumber);

    if (ExternalDevice(m_settings).placesOn(ExternalDevice::Trigger::Ring)
        && !linkToExternalDevice(account, call)) {
        // The device could not be called: the call leaves the panel, but is not declined (another
        // telephone of a hunt group may still take it).
        account.endCall(info.call_id);
        if (m_callWindows)
            m_callWindows->closeIncomingCall(info.call_id);
    }
    refresh_call_control();
}

void Orvalo::onCallstateChanged(const orvalo_call_info &info)
{
    LOG(QStringLiteral("Call state changed id: ") + QString::number(info.call_id) + QStringLiteral(" state: ")
        + info.state_text + QStringLiteral(" (") + QString::number(info.state) + QLatin1Char(')'));
    pj_log(info.state_text, info.acc_id);
    transferCallConfirmed(info);

    for (const auto &account : m_accounts) {
        if (account->getCalls().empty() || !account->getActiveCall())
            continue;
        Call *call = account->getCall(info.call_id);
        if (!call)
            continue;
        if (!info.remote_info.isEmpty()) {
            call->getCallRecord().setRemote(info.remote_info);
            if (!displayNamePattern().match(info.remote_info).hasMatch())
                LOG(QStringLiteral("No matches for remote found in :") + info.remote_info);
        }
        if (info.state != CallState::Confirmed)
            continue;
        if (!call->getCallAnswered()) {
            LOG(QStringLiteral("Answering call"));
            account->answerCall(info.call_id);
            externalDeviceConfirmed(*account, *call);
            if (call->getConnectedCalls().isEmpty() && m_recordCalls)
                recordCall(*call);
        }
        const QList<Call *> partners = call->getConnectedCalls().values();
        for (const Call *partner : partners) {
            if (!call->getCallAnswered() || !partner->getCallAnswered())
                continue;
            LOG(QStringLiteral("Connecting call id ") + QString::number(info.call_id)
                + QStringLiteral(" to call id ") + QString::number(partner->getCallId()));
            m_dialer->connect_calls(info.call_id, partner->getCallId());
        }
        // Further ringing is heard on the device.
        if (const Call *device = account->getExternalSoundDeviceCall())
            m_dialer->setRingerToCall(device->getCallId());
    }
    refresh_call_control();
    if (!m_recentCallsReload.isActive())
        m_recentCallsReload.start();
}

void Orvalo::onCallTerminated(const orvalo_call_info &info)
{
    LOG(QString::number(info.acc_id) + QStringLiteral(": Call terminated ") + QString::number(info.call_id));
    pj_log(QStringLiteral("Call terminated"), info.acc_id);
    transferCallEnded(info);

    for (const auto &account : m_accounts) {
        if (!account->getActiveCall())
            continue;
        Call *call = account->getCall(info.call_id);
        if (!call)
            continue;
        call->getCallRecord().setSipResponseCode(info.last_status);
        const CallDirection direction = call->getCallDirection();
        const QList<int> waiting = unlinkEndedCall(*account, *call);
        account->endCall(info.call_id);
        if (direction == CallDirection::Incoming && info.last_status == 487)
            addMissedCall(info.remote_info);
        if (!waiting.isEmpty())
            relinkWaitingCallers(*account, waiting);
    }
    emit callTerminated(info.call_id);
    refresh_call_control();
    if (!m_recentCallsReload.isActive())
        m_recentCallsReload.start();
}

void Orvalo::onCallmediaChanged(int callId)
{
    pj_log(QStringLiteral("Call media changed"));
    const orvalo_call_info details = m_dialer->getCallDetails(callId);
    LOG(QStringLiteral("Media changed id ") + QString::number(callId) + QStringLiteral(" media state ")
        + QString::number(details.media_status) + QStringLiteral(" - ") + details.state_text);
    if (details.media_status == MediaStatus::Active)
        bridgeWithPartners(callId);
    const Account *current = getCurrentAccount();
    if (current && current->getActiveCallId() == callId)
        refresh_call_control();
}

void Orvalo::onRegistrationChanged(const orvalo_acc_msg &msg)
{
    pj_log(msg.status_text, msg.acc_id);
    Account *account = accountByPjId(msg.acc_id);
    if (!account)
        return;
    account->setDomainIp(msg.registrar_address);
    LOG(QStringLiteral("Setting account ") + account->getExtension() + QStringLiteral("'s domain IP to ")
        + msg.registrar_address);
    // The engine keeps the account and retries after a failure: a later success registers the
    // extension again under the same id.
    account->setRegistrationFailed(msg.status != 200);
    refresh_call_control();
    // The directory's presence is watched while at least one extension is registered.
    if (msg.status == 200)
        addAllBuddies();
    else if (!hasRegisteredExtension())
        removeAllBuddies();
    if (msg.status != 200)
        showMessage(QStringLiteral("Error registering user ") + account->getAccountname()
            + QStringLiteral(": ") + msg.status_text);
}

void Orvalo::onMessagesWaiting(const orvalo_acc_msg &msg, int newCount, int oldCount)
{
    for (const auto &account : m_accounts) {
        if (account->getPjId() != msg.acc_id)
            continue;
        account->messagesWaiting(newCount);
        pj_log(QStringLiteral("Voicemail notifications ") + QString::number(newCount) + QLatin1Char('/')
                + QString::number(oldCount),
            msg.acc_id);
    }
}

void Orvalo::onErrorState(const orvalo_error_info &error)
{
    if (m_messageBox) {
        showMessage(error.message);
        pj_log(error.message);
        return;
    }
    // Still constructing: the engine could not start.
    Prompt::critical(
        QStringLiteral("Error"), QStringLiteral("Application failed to start.\n") + error.message);
    m_startFailed = true;
}

void Orvalo::onCalltransferChanged(int)
{
    pj_log(QStringLiteral("Hello"));
}
