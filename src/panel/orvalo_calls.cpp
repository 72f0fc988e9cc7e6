// Main window: the call buttons, recording, the hold policy, call selection and the control state.
#include <QMenu>

#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callcontrolstate.h"
#include "panel/callrecord.h"
#include "panel/contactlookup.h"
#include "panel/enginecallrecording.h"
#include "panel/externaldevice.h"
#include "panel/holdpolicy.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/dialpaddialog.h"

sip_call_msg Orvalo::callRequest(int accId, int callId) const
{
    sip_call_msg msg;
    msg.acc_id = accId;
    msg.call_id = callId;
    return msg;
}

// ---- Call buttons -----------------------------------------------------------------------------

void Orvalo::on_AnswerButton_clicked()
{
    answerActiveCall();
}

void Orvalo::answerActiveCall()
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    Call *call = account->getActiveCall();
    if (!call) {
        LOG(QStringLiteral("Attempted to answer no call"));
        return;
    }
    const int callId = call->getCallId();
    LOG(QStringLiteral("Answering call ") + QString::number(callId));
    account->answerCall(callId);
    emit onAnswerButtonSignal(callRequest(account->getPjId(), callId));
    pj_log(QStringLiteral("PJSUA answer"), account->getPjId());
    if (m_contactLookup->looksUpAt(ContactLookup::Moment::Answered))
        contact_lookup(call->getCallInfo());
    if (m_recordCalls)
        recordCall(*call);
    if (ExternalDevice(m_settings).placesOn(ExternalDevice::Trigger::Answered)
        && !linkToExternalDevice(*account, *call)) {
        refresh_call_control();
        return;
    }
    muteUnselectedCalls(callId);
    emit callAnswered(callId);
    refresh_call_control();
}

void Orvalo::on_RejectButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account || !account->getActiveCall()) {
        LOG(QStringLiteral("Attempted to reject no call"));
        return;
    }
    const int callId = account->getActiveCallId();
    emit onRejectButtonSignal(callRequest(account->getPjId(), callId));
    LOG(QStringLiteral("Rejected ") + QString::number(callId));
    pj_log(QStringLiteral("PJSUA reject"), account->getPjId());
}

void Orvalo::on_HangupButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account || !account->getActiveCall()) {
        LOG(QStringLiteral("Attempted to hangup no call"));
        return;
    }
    const int callId = account->getActiveCallId();
    hangupCall(account->getPjId(), callId);
    emit callDeclined(callId);
}

void Orvalo::hangupCall(int accId, int callId)
{
    LOG(QStringLiteral("Hanging up ") + QString::number(callId));
    emit onHangupButtonSignal(callRequest(accId, callId));
}

void Orvalo::on_HoldToggleButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account || !account->getActiveCall()) {
        LOG(QStringLiteral("Attempted to hold no call"));
        return;
    }
    if (account->getActiveCallId() < 0) {
        pj_log(QStringLiteral("No call to hold"), 0);
        return;
    }
    if (keptHeldForTransfer(*account, account->getActiveCallId()))
        return;
    if (ui->HoldToggleButton->text() == QLatin1String("Hold")) {
        ui->HoldToggleButton->setText(QStringLiteral("Off hold"));
        ui->HoldToggleButton->setToolTip(QStringLiteral("Unhold this call"));
    } else {
        ui->HoldToggleButton->setText(QStringLiteral("Hold"));
        ui->HoldToggleButton->setToolTip(QStringLiteral("Hold this call"));
    }
    emit onHoldToggleButtonSignal(callRequest(account->getPjId(), account->getActiveCallId()));
    pj_log(QStringLiteral("PJSUA on Hold"), account->getPjId());
}

void Orvalo::on_MuteToggleButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account || !account->getActiveCall()) {
        LOG(QStringLiteral("Attempted to mute no call"));
        return;
    }
    if (account->getActiveCallId() < 0) {
        pj_log(QStringLiteral("No call to mute"), 0);
        return;
    }
    if (ui->MuteToggleButton->text() == QLatin1String("Mute")) {
        ui->MuteToggleButton->setText(QStringLiteral("Unmute"));
        ui->MuteToggleButton->setToolTip(QStringLiteral("Unmute the audio"));
    } else {
        ui->MuteToggleButton->setText(QStringLiteral("Mute"));
        ui->MuteToggleButton->setToolTip(QStringLiteral("Mute the audio"));
    }
    emit onMuteToggleButtonSignal(callRequest(account->getPjId(), account->getActiveCallId()));
    pj_log(QStringLiteral("PJSUA toggle mute"), account->getPjId());
}

void Orvalo::on_DNDButton_clicked()
{
    m_dndOn = !m_dndOn;
    ui->DNDButton->setStyleSheet(m_dndOn
            ? QStringLiteral("QPushButton { background-color: red; font-weight:bold;}")
            : QStringLiteral("QPushButton {}"));
    m_dialer->setDndOn(m_dndOn);
}

void Orvalo::on_RecButton_clicked()
{
    if (m_recordCalls) {
        m_recordCalls = false;
        ui->RecButton->setStyleSheet(QStringLiteral("QPushButton { color: black;}"));
        ui->RecButton->setText(QStringLiteral("Record"));
        ui->RecButton->setToolTip(QStringLiteral("Record the audio"));
        for (const auto &account : m_accounts) {
            for (const auto &call : account->getCalls())
                call->getCallRecord().stopRecording();
        }
        return;
    }
    if (m_settings.getSetting(Settings::UserDir).isEmpty()) {
        Prompt::warning(QString(),
            QStringLiteral("To start recording, set the User Directory in the General Settings menu."));
        return;
    }
    m_recordCalls = true;
    ui->RecButton->setStyleSheet(QStringLiteral("QPushButton { color: red;}"));
    ui->RecButton->setText(QStringLiteral("Record on"));
    ui->RecButton->setToolTip(QStringLiteral("Stop recording the audio"));
    // Answered calls are recorded from now on: alone, or with their one bridged partner (the pair
    // once, not each of its calls).
    for (const auto &account : m_accounts) {
        for (const auto &call : account->getCalls()) {
            if (!call->getCallAnswered())
                continue;
            const QHash<int, Call *> &partners = call->getConnectedCalls();
            if (partners.isEmpty())
                recordCall(*call);
            else if (partners.size() == 1 && !call->getCallRecord().isRecording()
                && !partners.cbegin().value()->getCallRecord().isRecording())
                recordCall(*call, call->getCallId(), partners.cbegin().value()->getCallId());
        }
    }
}

void Orvalo::recordCall(Call &call)
{
    call.getCallRecord().startRecording(
        EngineCallRecording::start(m_settings, *m_dialer, call.getCallId()), call.getCallId());
}

void Orvalo::recordCall(Call &call, int a, int b)
{
    call.getCallRecord().startRecording(EngineCallRecording::start(m_settings, *m_dialer, a, b), a);
}

// ---- Selection and hold policy ----------------------------------------------------------------

void Orvalo::muteUnselectedCalls(int callId)
{
    QList<HoldPolicyAccount> accounts;
    for (const auto &account : m_accounts) {
        HoldPolicyAccount entry;
        entry.pjId = account->getPjId();
        if (const Call *external = account->getExternalSoundDeviceCall())
            entry.externalCallId = external->getCallId();
        for (const auto &call : account->getCalls()) {
            if (call->getCallId() == -1)
                continue;
            const orvalo_call_info details = m_dialer->getCallDetails(call->getCallId());
            entry.calls.append(
                {call->getCallId(), call->getCallAnswered(), details.media_status == MediaStatus::LocalHold});
        }
        accounts.append(entry);
    }
    for (const HoldPolicyStep &step : holdPolicy(callId, accounts)) {
        LOG(step.log);
        if (step.toggle)
            emit onHoldToggleButtonSignal(callRequest(step.pjId, step.callId));
    }
}

Call *Orvalo::findCallByLabel(const QObject *label, Account **owner) const
{
    for (const auto &account : m_accounts) {
        if (Call *call = account->callForLabel(label)) {
            if (owner)
                *owner = account.get();
            return call;
        }
    }
    return nullptr;
}

void Orvalo::callSelected()
{
    Account *owner = nullptr;
    Call *call = findCallByLabel(sender(), &owner);
    if (!call) {
        LOG(QStringLiteral("Selected no call"));
        return;
    }
    if (keptHeldForTransfer(*owner, call->getCallId()))
        return;
    owner->setActiveCall(call->getCallId());
    LOG(QStringLiteral("Selected ") + owner->getAccountname() + QStringLiteral("'s call ")
        + QString::number(call->getCallId()));
    muteUnselectedCalls(call->getCallId());
    refresh_call_control();
}

void Orvalo::showCallContextMenu(const QPoint &pos)
{
    auto *label = qobject_cast<QWidget *>(sender());
    Account *owner = nullptr;
    Call *call = findCallByLabel(label, &owner);
    if (!call || !label)
        return;
    const int callId = call->getCallId();
    QMenu menu(this);
    const auto stillThere = [this, callId]() -> std::pair<Account *, Call *> {
        for (const auto &account : m_accounts) {
            if (Call *c = account->getCall(callId))
                return {account.get(), c};
        }
        return {nullptr, nullptr};
    };
    QAction *first = nullptr;
    if (call->getCallAnswered()) {
        first = menu.addAction(
            call->getOnHold() ? QStringLiteral("Unhold call") : QStringLiteral("Hold call"), this, [=, this] {
                const auto [account, c] = stillThere();
                if (!c || keptHeldForTransfer(*account, callId))
                    return;
                LOG(QStringLiteral("Hold ") + QString::number(account->getPjId()) + QLatin1Char(' ')
                    + QString::number(callId));
                emit onHoldToggleButtonSignal(callRequest(account->getPjId(), callId));
            });
    } else {
        first = menu.addAction(QStringLiteral("Answer call"), this, [=, this] {
            const auto [account, c] = stillThere();
            if (!c)
                return;
            account->setActiveCall(callId);
            muteUnselectedCalls(callId);
            answerActiveCall();
        });
    }
    QAction *hangup = menu.addAction(QStringLiteral("Hangup call"), this, [=, this] {
        const auto [account, c] = stillThere();
        if (!c)
            return;
        LOG(QStringLiteral("Hang up ") + QString::number(account->getPjId()) + QLatin1Char(' ')
            + QString::number(callId));
        hangupCall(account->getPjId(), callId);
    });
    // The same keys as the call buttons, shown beside the entries.
    first->setShortcut(call->getCallAnswered() ? QKeySequence(Qt::Key_F6) : QKeySequence(Qt::Key_F5));
    hangup->setShortcut(QKeySequence(Qt::Key_F8));
    first->setShortcutVisibleInContextMenu(true);
    hangup->setShortcutVisibleInContextMenu(true);
    menu.exec(label->mapToGlobal(pos));
}

// ---- Control state ----------------------------------------------------------------------------

void Orvalo::refresh_call_control()
{
    for (int i = 0; i < int(m_accounts.size()); ++i)
        m_accounts[std::size_t(i)]->setSelectedState(i == m_currentAccount);
    // Without an extension the controls show as for one that is not registered and has no call.
    const Account *account = getCurrentAccount();
    const Call *active = account ? account->getActiveCall() : nullptr;
    CallControlInputs in;
    in.registered = account && account->isRegistered();
    in.hasActiveCall = active != nullptr;
    in.answered = active && active->getCallAnswered();
    in.incoming = active && active->getCallDirection() == CallDirection::Incoming;
    in.localHold
        = active && m_dialer->getCallDetails(active->getCallId()).media_status == MediaStatus::LocalHold;
    LOG(QStringLiteral("call ") + QString::number(reinterpret_cast<quintptr>(active), 16)
        + QStringLiteral(" active ") + QString::number(in.hasActiveCall ? 1 : 0)
        + QStringLiteral(" answered ") + QString::number(in.answered ? 1 : 0));

    const CallControlState s = CallControlState::compute(in);
    ui->stackedWidget->setCurrentIndex(int(s.page));
    for (QWidget *w : {static_cast<QWidget *>(ui->PhoneNumber), static_cast<QWidget *>(ui->DialpadButton),
             static_cast<QWidget *>(ui->DialButton), static_cast<QWidget *>(ui->FaxButton)})
        enableControl(w, s.dialControls);
    enableControl(ui->VoicemailButton, s.voicemail);
    enableControl(ui->ChatButton, s.chat);
    enableControl(ui->RecButton, s.record);
    enableControl(ui->DNDButton, s.dnd);
    m_dialpad->enable_dial_buttons(s.dialpadDialButtons);
    if (s.hold)
        enableControl(ui->HoldToggleButton, *s.hold);
    if (s.mute)
        enableControl(ui->MuteToggleButton, *s.mute);
    if (s.transfer) {
        enableControl(ui->TransferButton, *s.transfer);
        enableControl(ui->WarmTransferButton, *s.transfer);
    }
    if (s.holdText)
        ui->HoldToggleButton->setText(*s.holdText);
    if (s.muteText)
        ui->MuteToggleButton->setText(*s.muteText);
}
