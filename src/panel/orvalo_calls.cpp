// Main window: extensions, dialling, the call buttons, the hold policy and the control state.
#include <QAbstractButton>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QShortcut>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTime>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callcontrolstate.h"
#include "panel/callrecord.h"
#include "panel/enginecallinfo.h"
#include "panel/enginecallrecording.h"
#include "panel/extensionwindows.h"
#include "panel/holdpolicy.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"
#include "widgets/clickablelabelwidgetitem.h"
#include "widgets/dialpaddialog.h"

Account *Orvalo::getCurrentAccount() const
{
    if (m_currentAccount < 0 || m_currentAccount >= int(m_accounts.size()))
        return nullptr;
    return m_accounts[std::size_t(m_currentAccount)].get();
}

Account *Orvalo::accountByPjId(int pjId) const
{
    for (const auto &account : m_accounts) {
        if (account->getPjId() == pjId)
            return account.get();
    }
    return nullptr;
}

sip_call_msg Orvalo::callRequest(int accId, int callId) const
{
    sip_call_msg msg;
    msg.acc_id = accId;
    msg.call_id = callId;
    return msg;
}

void Orvalo::pj_log(const QString &text, int accId)
{
    QString line
        = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(']');
    if (accId != -1) {
        const Account *account = accountByPjId(accId);
        line += QLatin1Char('[') + (account ? account->getAccountname() : QStringLiteral("???"))
            + QLatin1Char(']');
    }
    line += QLatin1Char(' ') + text;
    ui->call_progress_log->append(line);
}

// ---- Extensions -------------------------------------------------------------------------------

void Orvalo::load_extensions(const QList<int> &ids)
{
    QSqlQuery query = m_db.account_query();
    if (ids.isEmpty()) {
        query.prepare(QStringLiteral(
            "SELECT accountid, activeaccount, defaultaccount FROM accounts WHERE companydevice = 0"));
    } else {
        QStringList list;
        for (int id : ids)
            list << QString::number(id);
        list << QStringLiteral("0");
        query.prepare(
            QStringLiteral(
                "SELECT accountid, activeaccount, defaultaccount FROM accounts WHERE accountid in (")
            + list.join(QLatin1Char(',')) + QStringLiteral(") AND companydevice = 0"));
    }
    int index = ui->extensionsTable->count();
    if (!query.exec()) {
        LOG(query.lastError().text());
        return;
    }
    int defaultIndex = -1;
    while (query.next()) {
        const int accountId = query.value(0).toInt();
        const bool isDefault = query.value(2).toBool();
        m_accounts.push_back(std::make_unique<Account>(m_db, accountId));
        Account &account = *m_accounts.back();
        auto *item = new ClickableLabelWidgetItem(account.getLabel(), ui->extensionsTable);
        item->setSizeHint(QSize(100, 28));
        connect(item, &ClickableLabelWidgetItem::clicked, this, &Orvalo::accountSelected);
        connect(item, &ClickableLabelWidgetItem::doubleClicked, this, &Orvalo::openSlot);
        if (m_settings.checkSetting(Settings::AutoRegisterOnStartupOrLogin, Setting::Yes))
            registerAccount(index);
        if (isDefault)
            defaultIndex = index;
        ++index;
    }
    if (defaultIndex == -1 && m_accounts.size() == 1)
        selectAccount(0);
    else if (defaultIndex != -1)
        selectAccount(defaultIndex);
}

void Orvalo::load_extension(int accountId)
{
    load_extensions({accountId});
}

void Orvalo::accountUpdated(int accountId)
{
    for (int i = 0; i < int(m_accounts.size()); ++i) {
        Account &account = *m_accounts[std::size_t(i)];
        if (account.getKesId() != accountId)
            continue;
        account.refreshAccountDetails();
        if (account.isRegistered()) {
            m_dialer->unregisterAccount(account.getPjId());
            account.setPjId(-1);
            registerAccount(i);
        }
    }
}

void Orvalo::removeExtension(int accountId)
{
    for (int i = int(m_accounts.size()) - 1; i >= 0; --i) {
        if (m_accounts[std::size_t(i)]->getKesId() != accountId)
            continue;
        if (m_accounts[std::size_t(i)]->getPjId() >= 0)
            m_dialer->unregisterAccount(m_accounts[std::size_t(i)]->getPjId());
        delete ui->extensionsTable->takeItem(i);
        m_accounts.erase(m_accounts.begin() + i);
    }
    if (m_currentAccount >= int(m_accounts.size()))
        m_currentAccount = 0;
    refresh_call_control();
}

void Orvalo::clearExtensions()
{
    for (const auto &account : m_accounts) {
        if (account->getPjId() >= 0)
            m_dialer->unregisterAccount(account->getPjId());
    }
    ui->extensionsTable->clear();
    m_accounts.clear();
    m_currentAccount = 0;
}

void Orvalo::registerAccount(int index)
{
    if (index < 0 || index >= int(m_accounts.size()))
        return;
    Account &account = *m_accounts[std::size_t(index)];
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT password FROM accounts WHERE accountid = :id"));
    query.bindValue(QStringLiteral(":id"), account.getKesId());
    QString password;
    if (query.exec() && query.next())
        password = query.value(0).toString();
    sip_acc_msg msg;
    msg.domain = account.getDomain();
    msg.username = account.getUsername();
    msg.password = password;
    msg.id_uri = QStringLiteral("<sip:") + account.getUsername() + QLatin1Char('@') + account.getDomain()
        + QLatin1Char('>');
    msg.reg_uri = QStringLiteral("sip:") + account.getDomain();
    msg.use_ipv6 = account.getIpv6();
    // An account whose registration failed is still in the engine, retrying: replaced.
    if (account.getPjId() >= 0)
        m_dialer->unregisterAccount(account.getPjId());
    const int pjId = m_dialer->registerAccount(msg);
    account.setPjId(pjId);
    pj_log(QStringLiteral("Registering account"), pjId);
}

bool Orvalo::hasRegisteredExtension() const
{
    for (const auto &account : m_accounts) {
        if (account->isRegistered())
            return true;
    }
    return false;
}

void Orvalo::selectAccount(int index)
{
    if (index < 0 || index >= int(m_accounts.size()))
        return;
    m_currentAccount = index;
    ui->extensionsTable->setCurrentRow(index);
    refresh_call_control();
}

void Orvalo::accountSelected(int row)
{
    selectAccount(row);
}

void Orvalo::setExtensionWindows(ExtensionWindows *windows)
{
    if (m_extensionWindows)
        m_extensionWindows->disconnect(this);
    m_extensionWindows = windows;
    if (!windows)
        return;
    connect(windows, &ExtensionWindows::accountUpdate, this, &Orvalo::accountUpdated);
    connect(windows, &ExtensionWindows::newAccount, this, &Orvalo::load_extension);
    connect(windows, &ExtensionWindows::removeExtension, this, &Orvalo::removeExtension);
}

void Orvalo::on_actionManage_Extensions_triggered()
{
    if (m_extensionWindows)
        m_extensionWindows->openExtensionList();
}

void Orvalo::openSlot(int row)
{
    if (m_extensionWindows && row >= 0 && row < int(m_accounts.size()))
        m_extensionWindows->editExtension(m_accounts[std::size_t(row)]->getKesId());
}

void Orvalo::updateAccounts()
{
    const EngineCallInfo engine(*m_dialer);
    for (const auto &account : m_accounts)
        account->updateLabel(&engine);
}

void Orvalo::showExtensionContextMenu(const QPoint &pos)
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    QMenu menu(this);
    if (account->isRegistered())
        menu.addAction(QStringLiteral("Unregister"), this, &Orvalo::unregister_selected_account);
    else
        menu.addAction(QStringLiteral("Register"), this, &Orvalo::register_selected_account);
    menu.exec(ui->extensionsTable->mapToGlobal(pos));
}

void Orvalo::register_selected_account()
{
    registerAccount(m_currentAccount);
    refresh_call_control();
}

void Orvalo::unregister_selected_account()
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    m_dialer->unregisterAccount(account->getPjId());
    pj_log(QStringLiteral("Unregistered"), account->getPjId());
    account->setPjId(-1);
    refresh_call_control();
}

// ---- Dialling ---------------------------------------------------------------------------------

void Orvalo::makeCall(const QString &number, const QString &fromextension)
{
    Account *account = getCurrentAccount();
    QString identity = fromextension;
    if (!identity.isEmpty() && account) {
        identity += QStringLiteral("<sip:") + account->getUsername() + QLatin1Char('@') + account->getDomain()
            + QLatin1Char('>');
    }
    makeCall(number, true, identity);
    pj_log(QStringLiteral("Dialing: ") + number, account ? account->getPjId() : -1);
    refresh_call_control();
}

int Orvalo::makeCall(const QString &number, bool show, const QString &fromextension)
{
    if (m_redialTimer.isActive() && number == m_lastDialled)
        return -1;
    m_redialTimer.start();
    m_lastDialled = number;

    Account *account = getCurrentAccount();
    if (!account)
        return -1;
    const int id = makeNewCall(number, fromextension);
    Call &call = account->newCall(id, number, CallDirection::Outgoing);
    LOG(QStringLiteral("New call ") + QString::number(id) + QStringLiteral(" to ") + number);
    if (id == -1) {
        account->endCall(-1);
        return -1;
    }
    call.getCallRecord().setLocal(account->getAccountname());
    call.getCallRecord().setRemote(number);
    if (show)
        showCallLabel(call);
    return id;
}

int Orvalo::makeNewCall(const QString &number, const QString &fromextension)
{
    Account *account = getCurrentAccount();
    if (!account || !account->isRegistered())
        return -1;
    sip_call_msg msg;
    msg.acc_id = account->getPjId();
    msg.number = number;
    msg.domain = account->getDomain();
    return m_dialer->makeCall(msg, account->getCodecs(), fromextension);
}

void Orvalo::showCallLabel(Call &call)
{
    ClickableLabel *label = call.getLabel();
    if (!label)
        return;
    callArea()->layout()->addWidget(label);
    label->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(label, &ClickableLabel::clicked, this, &Orvalo::callSelected, Qt::UniqueConnection);
    connect(label, &QWidget::customContextMenuRequested, this, &Orvalo::showCallContextMenu,
        Qt::UniqueConnection);
    label->show();
}

void Orvalo::load_speeddials()
{
    if (!m_speeddials)
        m_speeddials = new QSqlQueryModel(this);
    m_speeddials->setQuery(QStringLiteral("SELECT label, number FROM speeddials"), m_db.database());
    m_speeddials->setHeaderData(0, Qt::Horizontal, QString());
    m_speeddials->setHeaderData(1, Qt::Horizontal, QString());
    ui->speeddials->setModel(m_speeddials);
    ui->speeddials->setColumnWidth(0, 150);
    ui->speeddials->setColumnWidth(1, 150);
}

void Orvalo::on_speeddials_doubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    ui->PhoneNumber->setText(index.sibling(index.row(), 1).data().toString());
    on_DialButton_clicked();
}

// Operators keep their hands on the keyboard: the call buttons have keys, named in their tool tips.
void Orvalo::setupShortcuts()
{
    const struct
    {
        QAbstractButton *button;
        QKeySequence key;
    } keys[] = {
        {ui->AnswerButton, QKeySequence(Qt::Key_F5)},
        {ui->HangupButton, QKeySequence(Qt::Key_F8)},
        {ui->RejectButton, QKeySequence(Qt::Key_F9)},
        {ui->HoldToggleButton, QKeySequence(Qt::Key_F6)},
        {ui->MuteToggleButton, QKeySequence(Qt::Key_F7)},
        {ui->DialButton, QKeySequence(Qt::CTRL | Qt::Key_D)},
    };

    for (const auto &entry : keys) {
        auto *shortcut = new QShortcut(entry.key, this);
        QAbstractButton *button = entry.button;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
        button->setToolTip(button->toolTip() + QStringLiteral(" (")
            + entry.key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }
}

void Orvalo::on_DialButton_clicked()
{
    // The engine judges the number: an empty one is refused with "No Phone number", one that
    // makes no valid address with "Invalid URI"; both leave a "No Answer" row.
    makeCall(ui->PhoneNumber->text());
}

void Orvalo::on_PhoneNumber_returnPressed()
{
    if (ui->PhoneNumber->text().trimmed().isEmpty())
        return;
    on_DialButton_clicked();
    setFocus();
}

void Orvalo::on_VoicemailButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT voicemail from accounts where accountid = :acc_id"));
    query.bindValue(QStringLiteral(":acc_id"), account->getKesId());
    if (!query.exec() || !query.next())
        return;
    const QString number = query.value(0).toString();
    if (number.isEmpty())
        return;
    ui->PhoneNumber->setText(number);
    makeCall(number);
}

void Orvalo::on_DialpadButton_clicked()
{
    m_dialpad->show();
    m_dialpad->raise();
}

void Orvalo::on_DialpadButton2_clicked()
{
    on_DialpadButton_clicked();
}

void Orvalo::add_to_dialstring(const QString &digit)
{
    Account *account = getCurrentAccount();
    if (account && account->getActiveCall()) {
        m_dialer->play_dtmf_tone(account->getDTMFType(), account->getActiveCallId(), digit);
        return;
    }
    ui->PhoneNumber->setText(ui->PhoneNumber->text() + digit);
}

void Orvalo::clear_phonenumber()
{
    ui->PhoneNumber->clear();
}

void Orvalo::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() == 1 && QStringLiteral("0123456789*#").contains(text)) {
        Account *account = getCurrentAccount();
        if (account && account->getActiveCall())
            m_dialer->play_dtmf_tone(account->getDTMFType(), account->getActiveCallId(), text);
        return;
    }
    QMainWindow::keyPressEvent(event);
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
    if (m_recordCalls)
        recordCall(*call);
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
            entry.calls.append({call->getCallId(), call->getCallAnswered(), details.media_status == 2});
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
                if (!c)
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
    if (m_accounts.empty())
        return;
    for (int i = 0; i < int(m_accounts.size()); ++i)
        m_accounts[std::size_t(i)]->setSelectedState(i == m_currentAccount);
    Account *account = getCurrentAccount();
    if (!account)
        return;
    const Call *active = account->getActiveCall();
    CallControlInputs in;
    in.registered = account->isRegistered();
    in.hasActiveCall = active != nullptr;
    in.answered = active && active->getCallAnswered();
    in.incoming = active && active->getCallDirection() == CallDirection::Incoming;
    in.localHold = active && m_dialer->getCallDetails(active->getCallId()).media_status == 2;
    LOG(QStringLiteral("call ") + QString::number(reinterpret_cast<quintptr>(active), 16)
        + QStringLiteral(" active ") + QString::number(in.hasActiveCall ? 1 : 0)
        + QStringLiteral(" answered ") + QString::number(in.answered ? 1 : 0));

    const CallControlState s = CallControlState::compute(in);
    ui->stackedWidget->setCurrentIndex(int(s.page));
    for (QWidget *w : {static_cast<QWidget *>(ui->PhoneNumber), static_cast<QWidget *>(ui->DialpadButton),
             static_cast<QWidget *>(ui->DialButton), static_cast<QWidget *>(ui->FaxButton)})
        w->setEnabled(s.dialControls);
    ui->VoicemailButton->setEnabled(s.voicemail);
    ui->ChatButton->setEnabled(s.chat);
    ui->RecButton->setEnabled(s.record);
    ui->DNDButton->setEnabled(s.dnd);
    m_dialpad->enable_dial_buttons(s.dialpadDialButtons);
    if (s.hold)
        ui->HoldToggleButton->setEnabled(*s.hold);
    if (s.mute)
        ui->MuteToggleButton->setEnabled(*s.mute);
    if (s.transfer) {
        ui->TransferButton->setEnabled(*s.transfer);
        ui->WarmTransferButton->setEnabled(*s.transfer);
    }
    if (s.holdText)
        ui->HoldToggleButton->setText(*s.holdText);
    if (s.muteText)
        ui->MuteToggleButton->setText(*s.muteText);
}
