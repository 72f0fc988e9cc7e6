// Main window: transfers. The transfer window (blind and attended), the attended transfer's held
// caller and consultation call, and call labels dropped onto other calls.
#include <QDropEvent>
#include <QMimeData>

#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/calldrop.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/orvalo.h"
#include "panel/transferwindows.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"

namespace {
bool onLocalHold(const SipDialer &dialer, int callId)
{
    return dialer.getCallDetails(callId).media_status == MediaStatus::LocalHold;
}

// Held, or a hold on its way (a consultation refused at once ends before the far end agreed).
bool heldOrBeingHeld(const SipDialer &dialer, int callId)
{
    return onLocalHold(dialer, callId) || dialer.isBeingHeld(callId);
}
} // namespace

void Orvalo::setTransferWindows(TransferWindows *windows)
{
    m_transferWindows = windows;
    for (QWidget *button :
        {static_cast<QWidget *>(ui->TransferButton), static_cast<QWidget *>(ui->WarmTransferButton)}) {
        m_unbuiltControls.removeAll(button);
        if (!windows)
            m_unbuiltControls.append(button);
    }
    refresh_call_control();
}

void Orvalo::on_TransferButton_clicked()
{
    openTransferWindow(false);
}

void Orvalo::on_WarmTransferButton_clicked()
{
    openTransferWindow(true);
}

void Orvalo::openTransferWindow(bool warm)
{
    const Account *account = getCurrentAccount();
    const Call *active = account ? account->getActiveCall() : nullptr;
    if (!active) {
        LOG(QStringLiteral("Attempted to transfer no call"));
        return;
    }
    if (active->getCallId() < 0) {
        pj_log(QStringLiteral("No call to transfer"), account->getPjId());
        return;
    }
    if (m_transferWindows)
        m_transferWindows->open(m_currentAccount, warm, QString());
}

// The call handed on is the active call of the transfer window's extension.
void Orvalo::cold_transfer_call(int accountIndex, const QString &number)
{
    const Account *account = accountIndex >= 0 && accountIndex < int(m_accounts.size())
        ? m_accounts[std::size_t(accountIndex)].get()
        : nullptr;
    const Call *active = account ? account->getActiveCall() : nullptr;
    if (!active) {
        LOG(QStringLiteral("Attempted to transfer no call"));
        return;
    }
    sip_call_msg msg = callRequest(account->getPjId(), active->getCallId());
    msg.number = number;
    msg.domain = account->getDomain();
    emit onTransferButtonSignal(msg);
}

void Orvalo::transfer_call(int callId, const QString &number)
{
    if (m_accounts.empty())
        return;
    // The domain of the extension that has the call (of the first extension for a call of none).
    const Account *owner = m_accounts.front().get();
    for (const auto &account : m_accounts) {
        if (account->getCall(callId)) {
            owner = account.get();
            break;
        }
    }
    sip_call_msg msg = callRequest(owner->getPjId(), callId);
    msg.number = number;
    msg.domain = owner->getDomain();
    LOG(QStringLiteral("Transfering call ") + QString::number(callId) + QStringLiteral(" to ") + number);
    emit onTransferButtonSignal(msg);
}

// First press: the consultation call is placed and the caller (the extension's active call) held.
// Second press: the caller is referred to the consultation's party.
void Orvalo::warm_transfer_call(int accountIndex, const QString &number)
{
    if (accountIndex < 0 || accountIndex >= int(m_accounts.size())) {
        LOG(QStringLiteral("Attempted to transfer no call"));
        return;
    }
    Account &account = *m_accounts[std::size_t(accountIndex)];
    TransferFlow &flow = account.transfer();
    LOG(QStringLiteral("Account: ") + QString::number(accountIndex)
        + QStringLiteral(", warm transfer in progress: ") + QString::number(flow.isRunning() ? 1 : 0));

    if (!flow.isRunning()) {
        const Call *caller = account.getActiveCall();
        if (!caller || caller->getCallId() < 0) {
            LOG(QStringLiteral("Attempted to transfer no call"));
            return;
        }
        sip_call_msg msg = callRequest(account.getPjId(), -1);
        msg.number = number;
        msg.domain = account.getDomain();
        const int id = m_dialer->makeCall(msg, account.getCodecs(), QString());
        if (id < 0)
            return; // the engine said why; the window stays as it was
        flow.begin(caller->getCallId(), id);
        if (m_transferWindows) {
            m_transferWindows->setWarmTransferStatus(true);
            m_transferWindows->setTransferButtonState(false);
        }
        LOG(QStringLiteral("This should hold"));
        if (!onLocalHold(*m_dialer, caller->getCallId()))
            emit onHoldToggleButtonSignal(callRequest(account.getPjId(), caller->getCallId()));
        pj_log(QStringLiteral("Attended transfer to ") + number, account.getPjId());
        refresh_call_control();
        return;
    }

    if (flow.stage() == TransferFlow::Stage::Referring) {
        LOG(QStringLiteral("The transfer of call ") + QString::number(flow.caller())
            + QStringLiteral(" is already on its way"));
        return;
    }
    const std::optional<std::pair<int, int>> pair = flow.complete();
    if (!pair) {
        // The caller hung up meanwhile: nothing to hand on, and the consultation goes too.
        LOG(QStringLiteral("Attempted to transfer no call"));
        cancel_warm_transfer(accountIndex);
        return;
    }
    LOG(QStringLiteral("current_call: ") + QString::number(pair->first) + QStringLiteral(", dest_call: ")
        + QString::number(pair->second));
    m_dialer->warmTransferCall(pair->first, pair->second);
}

void Orvalo::cancel_warm_transfer(int accountIndex)
{
    if (accountIndex < 0 || accountIndex >= int(m_accounts.size()))
        return;
    Account &account = *m_accounts[std::size_t(accountIndex)];
    releaseTransferCalls(account, account.transfer().cancel());
}

void Orvalo::releaseTransferCalls(Account &account, const TransferFlow::Release &release)
{
    if (release.hangUp >= 0)
        emit onHangupButtonSignal(callRequest(account.getPjId(), release.hangUp));
    if (release.unhold >= 0 && account.getCall(release.unhold)) {
        LOG(QString::number(release.unhold) + QStringLiteral(" : ") + QString::number(release.hangUp));
        LOG(QStringLiteral("This should unhold"));
        if (heldOrBeingHeld(*m_dialer, release.unhold))
            emit onHoldToggleButtonSignal(callRequest(account.getPjId(), release.unhold));
    } else {
        LOG(QStringLiteral("Attempted to untransfer no call"));
    }
    refresh_call_control();
}

void Orvalo::transferCallConfirmed(const orvalo_call_info &info)
{
    if (info.state != CallState::Confirmed)
        return;
    for (const auto &account : m_accounts) {
        if (account->transfer().confirmed(info.call_id) && m_transferWindows)
            m_transferWindows->setTransferButtonState(true);
    }
}

void Orvalo::transferCallEnded(const orvalo_call_info &info)
{
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        switch (m_accounts[std::size_t(i)]->transfer().ended(info.call_id)) {
        case TransferFlow::Ending::Unrelated:
            break;
        case TransferFlow::Ending::ConsultationEnded:
            cancel_warm_transfer(i);
            if (m_transferWindows)
                m_transferWindows->close();
            LOG(QStringLiteral("Warm transfer ended without transfer"));
            pj_log(QStringLiteral("Warm transfer ended without transfer"), info.acc_id);
            break;
        case TransferFlow::Ending::Transferred: {
            // The consultation call has no label: it must not stay up once the caller has gone.
            const int consultation = m_accounts[std::size_t(i)]->transfer().cancel().hangUp;
            LOG(QStringLiteral("Warm transfer of call ") + QString::number(info.call_id)
                + QStringLiteral(" done"));
            if (consultation >= 0)
                emit onHangupButtonSignal(callRequest(m_accounts[std::size_t(i)]->getPjId(), consultation));
            break;
        }
        case TransferFlow::Ending::CallerEnded:
            LOG(QStringLiteral("Caller left during the warm transfer"));
            if (m_transferWindows) {
                m_transferWindows->setStateText(QStringLiteral("The caller hung up"));
                m_transferWindows->setTransferButtonState(false);
            }
            break;
        }
    }
}

// A refused transfer ends as a cancelled one: the consultation is hung up and the caller, who kept
// the label, is released to the operator. The engine has shown "Error transfering call".
void Orvalo::transferRefused(int callId)
{
    for (const auto &account : m_accounts) {
        const TransferFlow::Release release = account->transfer().refused(callId);
        if (release.unhold < 0)
            continue;
        LOG(QStringLiteral("Warm transfer refused"));
        pj_log(QStringLiteral("Warm transfer refused"), account->getPjId());
        if (m_transferWindows)
            m_transferWindows->close();
        releaseTransferCalls(*account, release);
    }
}

bool Orvalo::keptHeldForTransfer(const Account &account, int callId)
{
    if (!account.transfer().holdsCaller(callId))
        return false;
    const QString text = QStringLiteral("Call ") + QString::number(callId)
        + QStringLiteral(" is held for an attended transfer: Transfer or Cancel it in the transfer window");
    LOG(text);
    statusBar()->showMessage(text, 10000);
    if (m_transferWindows)
        m_transferWindows->raise();
    return true;
}

// ---- Drag and drop ----------------------------------------------------------------------------

void Orvalo::onActiveCallDragDrop(QDropEvent *event, ClickableLabel *target)
{
    const ClickableLabel *source = ClickableLabel::sourceOf(event->mimeData());
    if (!source)
        return;
    // The address is only compared with our labels, never followed: it may name a label that is
    // gone, or come from another process.
    const Call *from = findCallByLabel(source);
    const Call *to = findCallByLabel(target);
    if (!from || !to || from == to || from->getCallId() < 0 || to->getCallId() < 0)
        return;
    LOG(QStringLiteral("Joining call ") + QString::number(from->getCallId()) + QStringLiteral(" with call ")
        + QString::number(to->getCallId()));
    m_dialer->joinCallsAndLeave(unsigned(from->getCallId()), unsigned(to->getCallId()));
    event->acceptProposedAction();
}

void Orvalo::onCallDragDrop(QDropEvent *event, ClickableLabel *target)
{
    CallDrop::Input in;
    if (m_directory) {
        for (const auto &tile : m_directory->tiles()) {
            if (tile->getLabel() != target)
                continue;
            // Onto the tile's phone-number line: to the number; anywhere else: to the extension.
            if (tile->isOnPhoneNumber(event->position().toPoint())) {
                in.phoneNumber = tile->shownPhoneNumber();
            } else {
                in.entry = true;
                in.entryAvailable = tile->isAvailable();
                in.entryExtension = tile->getExtension();
            }
        }
    }
    const ClickableLabel *source = ClickableLabel::sourceOf(event->mimeData());
    in.payload = source != nullptr;
    Account *owner = nullptr;
    const Call *from = findCallByLabel(source, &owner);
    in.sourceCall = from && from->getCallId() >= 0;
    in.outboundPrefix = m_settings.getSetting(Settings::OutboundDialPrefix);
    in.unattendedOn = m_settings.checkSetting(Settings::UnattendedTransferOnDrop, Setting::Yes);
    in.attendedOn = m_settings.checkSetting(Settings::AttendedTransferOnDrop, Setting::Yes);

    CallDrop drop = CallDrop::plan(in);
    if (drop.action == CallDrop::Action::Ask) {
        Prompt::Question question;
        question.icon = Prompt::Icon::Question;
        question.title = QStringLiteral("Transfer call");
        question.text = QStringLiteral("What type of call transfer is required?");
        question.buttons = Prompt::Choice1 | Prompt::Choice2 | Prompt::Cancel;
        question.defaultButton = Prompt::Cancel;
        question.choices = {QStringLiteral("Unattended"), QStringLiteral("Attended")};
        const Prompt::Button answer = Prompt::current().ask(question);
        in.answer = answer == Prompt::Choice1 ? CallDrop::Answer::Unattended
            : answer == Prompt::Choice2       ? CallDrop::Answer::Attended
                                              : CallDrop::Answer::Cancel;
        // The question ran an event loop: the call may be gone.
        from = findCallByLabel(source, &owner);
        in.sourceCall = from && from->getCallId() >= 0;
        drop = CallDrop::plan(in);
    }
    switch (drop.action) {
    case CallDrop::Action::Ignore:
    case CallDrop::Action::Refuse:
        return;
    case CallDrop::Action::Nothing:
    case CallDrop::Action::Ask:
        break;
    case CallDrop::Action::Unattended:
        transfer_call(from->getCallId(), drop.number);
        break;
    case CallDrop::Action::Attended:
        if (owner->transfer().isRunning()) {
            LOG(QStringLiteral("An attended transfer is already in progress for ") + owner->getAccountname());
            break;
        }
        // The attended transfer holds and hands on the active call of the window's extension.
        for (int i = 0; i < int(m_accounts.size()); ++i) {
            if (m_accounts[std::size_t(i)].get() == owner)
                selectAccount(i);
        }
        owner->setActiveCall(from->getCallId());
        if (m_transferWindows) {
            m_transferWindows->open(m_currentAccount, true, drop.number);
            m_transferWindows->transfer();
        }
        break;
    }
    event->acceptProposedAction();
}
