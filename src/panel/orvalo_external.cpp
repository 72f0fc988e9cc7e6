// Main window: the operator's external sound device (a desk telephone the panel calls and bridges
// customer calls with) and the incoming-call and missed-call windows.
#include <QMessageBox>

#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/callwindows.h"
#include "panel/externaldevice.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"

// ---- The external sound device ----------------------------------------------------------------

int Orvalo::makeExternalDeviceCall(const QString &number, bool show, const QString &fromextension)
{
    Account *account = getCurrentAccount();
    return account ? makeExternalDeviceCall(*account, number, show, fromextension) : -1;
}

int Orvalo::makeExternalDeviceCall(
    Account &account, const QString &number, bool show, const QString &fromextension)
{
    if (const Call *device = account.getExternalSoundDeviceCall()) {
        LOG(QStringLiteral("Attempted new external device call, reusing id ")
            + QString::number(device->getCallId()));
        return device->getCallId();
    }
    int id = -1;
    if (account.isRegistered()) {
        sip_call_msg msg;
        msg.acc_id = account.getPjId();
        msg.number = number;
        msg.domain = account.getDomain();
        id = m_dialer->makeCall(msg, account.getCodecs(), fromextension);
    }
    LOG(QStringLiteral("New external device call id ") + QString::number(id));
    Call &call = account.newExternalSoundDeviceCall(id, number, CallDirection::Outgoing);
    if (id == -1) {
        account.endCall(-1);
        return -1;
    }
    call.getCallRecord().setLocal(account.getAccountname());
    call.getCallRecord().setRemote(number);
    if (show)
        showCallLabel(call);
    return id;
}

bool Orvalo::linkToExternalDevice(Account &account, Call &call)
{
    const ExternalDevice device(m_settings);
    if (makeExternalDeviceCall(account, device.number(), device.showsLabel(), QString()) == -1)
        return false;
    Call *deviceCall = account.getExternalSoundDeviceCall();
    if (!deviceCall)
        return false;
    deviceCall->addConnectedCall(call, true);
    return true;
}

void Orvalo::externalDeviceConfirmed(Account &account, Call &call)
{
    const ExternalDevice device(m_settings);
    // The device's pick-up (or any confirmed call) answers the caller waiting on it.
    if (Call *caller = device.pickUpTarget(call)) {
        const int callerId = caller->getCallId();
        LOG(QStringLiteral("Answering inbound connected call ") + QString::number(callerId));
        caller->answerCall();
        emit onAnswerButtonSignal(callRequest(account.getPjId(), callerId));
        emit callAnswered(callerId);
        if (m_recordCalls && !caller->getCallRecord().isRecording())
            recordCall(*caller, callerId, call.getCallId());
    }
    // A dialled call answered by the far end reaches the device only now when the device is
    // called on answering.
    if (call.getCallDirection() == CallDirection::Outgoing && &call != account.getExternalSoundDeviceCall()
        && call.getConnectedCalls().isEmpty() && device.placesOn(ExternalDevice::Trigger::Answered))
        linkToExternalDevice(account, call);
}

void Orvalo::bridgeWithPartners(int callId)
{
    for (const auto &account : m_accounts) {
        const Call *call = account->getCall(callId);
        if (!call)
            continue;
        const QList<int> partners = call->getConnectedCalls().keys();
        for (int partner : partners)
            m_dialer->connect_calls(callId, partner);
    }
}

QList<int> Orvalo::unlinkEndedCall(Account &account, Call &call)
{
    const qint64 lasted = call.getCallRecord().getDuration();
    QList<int> waiting;
    bool dropped = false;
    const QList<Call *> partners = call.getConnectedCalls().values();
    for (Call *partner : partners) {
        partner->removeConnectedCall(call);
        switch (ExternalDevice::partnerFate(*partner, lasted)) {
        case ExternalDevice::PartnerFate::Stays:
            break;
        case ExternalDevice::PartnerFate::HangUp:
            LOG(QStringLiteral("Connected call has no more connected calls, disconnecting ")
                + QString::number(partner->getCallId()));
            emit onHangupButtonSignal(callRequest(account.getPjId(), partner->getCallId()));
            break;
        case ExternalDevice::PartnerFate::Relink:
            waiting.append(partner->getCallId());
            break;
        case ExternalDevice::PartnerFate::Drop:
            LOG(QStringLiteral("duration: ") + QString::number(lasted));
            dropped = true;
            hangupCall(partner->getCallInfo().acc_id, partner->getCallId());
            break;
        }
    }
    if (dropped) {
        // One box for the failed device call, however many callers waited on it.
        auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"),
            QStringLiteral("Unable to create call to external sound device."), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }
    return waiting;
}

void Orvalo::relinkWaitingCallers(Account &account, const QList<int> &callIds)
{
    const ExternalDevice device(m_settings);
    if (makeExternalDeviceCall(account, device.number(), device.showsLabel(), QString()) == -1)
        return;
    Call *deviceCall = account.getExternalSoundDeviceCall();
    for (int id : callIds) {
        if (Call *caller = account.getCall(id); caller && deviceCall)
            deviceCall->addConnectedCall(*caller, true);
    }
}

// ---- Incoming-call and missed-call windows ----------------------------------------------------

void Orvalo::setCallWindows(CallWindows *windows)
{
    if (m_callWindows)
        m_callWindows->disconnect(this);
    m_callWindows = windows;
    if (!windows)
        return;
    connect(windows, &CallWindows::answerRequested, this, &Orvalo::answerFromWindow);
    connect(windows, &CallWindows::declineRequested, this, &Orvalo::declineFromWindow);
    connect(windows, &CallWindows::dialRequested, this, [this](const QString &number) { makeCall(number); });
    for (auto signal : {&Orvalo::callAnswered, &Orvalo::callDeclined, &Orvalo::callTerminated})
        connect(this, signal, windows, &CallWindows::closeIncomingCall);
}

void Orvalo::openIncomingCallWindow(const Call &call, const QString &caller, const QString &number)
{
    if (m_callWindows)
        m_callWindows->openIncomingCall(call.getCallId(), caller, number);
}

void Orvalo::addMissedCall(const QString &remote)
{
    m_missedCalls.append(remote);
    if (m_missedCalls.size() > MaxMissedCalls)
        m_missedCalls.remove(0, m_missedCalls.size() - MaxMissedCalls);
    if (m_callWindows)
        m_callWindows->addMissedCall(remote);
}

// The window's buttons act on its own call, whichever extension and call were selected: the call's
// extension becomes the current one and the call its active call first.
void Orvalo::answerFromWindow(int callId)
{
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        Account &account = *m_accounts[std::size_t(i)];
        if (!account.getCall(callId))
            continue;
        if (isHidden())
            show();
        selectAccount(i);
        account.setActiveCall(callId);
        answerActiveCall();
        return;
    }
    LOG(QStringLiteral("Attempted to answer no call"));
}

void Orvalo::declineFromWindow(int callId)
{
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        Account &account = *m_accounts[std::size_t(i)];
        if (!account.getCall(callId))
            continue;
        selectAccount(i);
        account.setActiveCall(callId);
        on_HangupButton_clicked();
        return;
    }
    LOG(QStringLiteral("Attempted to hangup no call"));
}
