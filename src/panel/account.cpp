#include "panel/account.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPalette>
#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>

#include "core/dbmgr.h"
#include "core/log.h"
#include "panel/accountdetailswidget.h"
#include "panel/accountlook.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/codeclist.h"
#include "panel/dtmfmethod.h"
#include "widgets/clickablelabel.h"

namespace {
bool darkColourScheme()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}
} // namespace

Account::Account(dbmgr &db, int accountId)
    : m_db(db)
    , m_accountId(accountId)
    , m_label(new ClickableLabel)
    , m_detailsWidget(new AccountDetailsWidget(m_label))
{
    auto *layout = new QVBoxLayout(m_label);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_detailsWidget);
    refreshAccountDetails();
    updateStyleSheet();
}

Account::Account(dbmgr &db, int accountId, BareLabel bare, QSqlQuery *rowQuery)
    : m_db(db)
    , m_accountId(accountId)
    , m_label(bare.label ? bare.label : new ClickableLabel)
{
    readRow(rowQuery);
}

Account::~Account()
{
    m_externalSoundDeviceCall = nullptr;
    // Oldest first, each writing its record.
    for (auto &call : m_calls)
        call.reset();
    m_calls.clear();
    ClickableLabel::Delete(m_label.data());
}

ClickableLabel *Account::getLabel() const
{
    return m_label.data();
}

AccountDetailsWidget *Account::getAccountDetailsWidget() const
{
    return m_detailsWidget.data();
}

void Account::refreshAccountDetails()
{
    readRow();
    updateLabel();
}

QSqlQuery Account::prepareRowQuery(dbmgr &db)
{
    QSqlQuery query = db.account_query();
    query.prepare(
        QStringLiteral("SELECT domain, user, extension, accountname, fromapi, fullname, phonenumber, "
                       "accessid, accesspin, useipv6 FROM accounts WHERE accountid = :kes_id"));
    return query;
}

void Account::readRow(QSqlQuery *rowQuery)
{
    QSqlQuery own;
    if (!rowQuery) {
        own = prepareRowQuery(m_db);
        rowQuery = &own;
    }
    QSqlQuery &query = *rowQuery;
    query.bindValue(QStringLiteral(":kes_id"), m_accountId);
    const bool found = query.exec() && query.next();
    if (!found && query.lastError().isValid())
        LOG(QStringLiteral("Account ") + QString::number(m_accountId) + QStringLiteral(" not read: ")
            + query.lastError().text());
    const auto text = [&](int column) { return found ? query.value(column).toString() : QString(); };
    const auto flag = [&](int column) { return found && query.value(column).toInt() != 0; };
    m_domain = text(0);
    m_user = text(1);
    m_extension = text(2);
    m_accountname = text(3);
    m_fromApi = flag(4);
    m_fullname = text(5);
    m_phonenumber = text(6);
    m_accessId = text(7);
    m_accessPin = text(8);
    m_useIpv6 = flag(9);
}

void Account::setPjId(int pjId)
{
    m_pjId = pjId;
    m_registrationFailed = false;
    updateStyleSheet();
}

void Account::setRegistrationFailed(bool failed)
{
    m_registrationFailed = failed;
    updateStyleSheet();
}

void Account::setSelectedState(bool selected)
{
    m_selected = selected;
    updateStyleSheet();
}

bool Account::setActiveCall(int callId)
{
    if (!getCall(callId)) {
        LOG(QStringLiteral("Account ") + QString::number(m_accountId) + QStringLiteral(" has no call ")
            + QString::number(callId) + QStringLiteral(" to make active"));
        return false;
    }
    m_activeCallId = callId;
    return true;
}

void Account::messagesWaiting(int count)
{
    m_messagesWaiting = count;
    updateLabel();
}

void Account::setIMMessageUnread(int delta)
{
    m_unreadImCount = std::max(0, m_unreadImCount + delta);
}

Call &Account::newCall(int callId, const QString &to, CallDirection direction)
{
    if (callId >= 0) {
        if (Call *existing = getCall(callId)) {
            LOG(QString::number(m_pjId) + QStringLiteral(": call ") + QString::number(callId)
                + QStringLiteral(" already exists, not added again"));
            return *existing;
        }
    }
    m_calls.push_back(std::make_unique<Call>(m_db, m_accountId, callId, to, direction));
    if (m_calls.size() == 1)
        m_activeCallId = callId;
    LOG(QString::number(m_pjId) + QStringLiteral(": new call ") + QString::number(callId)
        + QStringLiteral(", active_call_id ") + QString::number(m_activeCallId));
    updateLabel();
    return *m_calls.back();
}

Call &Account::newExternalSoundDeviceCall(int callId, const QString &to, CallDirection direction)
{
    if (m_externalSoundDeviceCall)
        LOG(QStringLiteral("Attempting to create a new external sound device call while one exists"));
    Call &call = newCall(callId, to, direction);
    m_externalSoundDeviceCall = &call;
    return call;
}

bool Account::endCall(int callId)
{
    const auto matches = [callId](const std::unique_ptr<Call> &call) { return call->getCallId() == callId; };
    if (std::none_of(m_calls.begin(), m_calls.end(), matches)) {
        LOG(QString::number(m_pjId) + QStringLiteral(": no call ") + QString::number(callId)
            + QStringLiteral(" to remove"));
        return false;
    }
    if (m_externalSoundDeviceCall && m_externalSoundDeviceCall->getCallId() == callId)
        m_externalSoundDeviceCall = nullptr;

    // Take the calls out first, so the list is consistent while their records are written.
    std::vector<std::unique_ptr<Call>> ended;
    for (auto it = m_calls.begin(); it != m_calls.end();) {
        if (matches(*it)) {
            ended.push_back(std::move(*it));
            it = m_calls.erase(it);
        } else {
            ++it;
        }
    }
    if (m_activeCallId == callId)
        m_activeCallId = m_calls.empty() ? -1 : m_calls.front()->getCallId();
    ended.clear();

    LOG(QStringLiteral("Call removed ") + QString::number(callId) + QStringLiteral("| active_call_id ")
        + QString::number(m_activeCallId));
    updateLabel();
    return true;
}

void Account::answerCall(int callId)
{
    for (const auto &call : m_calls) {
        if (call->getCallId() == callId)
            call->answerCall();
    }
}

Call *Account::getCall(int callId) const
{
    for (const auto &call : m_calls) {
        if (call->getCallId() == callId)
            return call.get();
    }
    return nullptr;
}

Callrecord *Account::getCallRecord(int callId) const
{
    Call *call = getCall(callId);
    return call ? &call->getCallRecord() : nullptr;
}

Call *Account::callForLabel(const QObject *label) const
{
    if (!label)
        return nullptr;
    for (const auto &call : m_calls) {
        if (call->getLabel() == label)
            return call.get();
    }
    return nullptr;
}

QString Account::columnText(const char *column) const
{
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT ") + QLatin1String(column)
        + QStringLiteral(" FROM accounts WHERE accountid = :kes_id"));
    query.bindValue(QStringLiteral(":kes_id"), m_accountId);
    if (!query.exec() || !query.next())
        return {};
    return query.value(0).toString();
}

QStringList Account::getCodecs() const
{
    return CodecList(columnText("audiocodecs")).engineIdentifiers();
}

DTMFType Account::getDTMFType() const
{
    return DtmfMethod::fromText(columnText("dtmftype"));
}

QString Account::getUri() const
{
    if (m_extension.isEmpty() || m_domain.isEmpty())
        return {};
    return QStringLiteral("sip:") + m_extension + QLatin1Char('@') + m_domain;
}

void Account::updateStyleSheet()
{
    if (!m_label)
        return;
    m_label->setStyleSheetIfChanged(AccountLook::styleSheet(isRegistered(), darkColourScheme(), m_selected));
}

void Account::updateLabel(const CallInfoSource *engine)
{
    m_blink = !m_blink;

    AccountLook::Input input;
    input.blink = m_blink;
    input.accountname = m_accountname;
    input.extension = m_extension;
    input.messagesWaiting = m_messagesWaiting;
    input.unreadImCount = m_unreadImCount;
    if (const Call *active = getActiveCall()) {
        const Callrecord &record = active->getCallRecord();
        input.hasCalls = true;
        input.direction = record.getDirection();
        input.answered = record.isAnswered();
        input.remoteName = record.getRemoteDisplayName();
        input.dialled = record.getTo();
    } else {
        input.hasCalls = !m_calls.empty();
    }
    const AccountLook look = AccountLook::of(input);

    // What a screen reader says for the extension's row: its name, number and state, and the
    // unread chat messages that the envelope mark shows.
    if (m_label) {
        QString name = m_accountname + QLatin1Char(' ') + m_extension
            + (isRegistered() ? QStringLiteral(", registered") : QStringLiteral(", not registered"));
        if (m_unreadImCount > 0)
            name += QStringLiteral(", ") + look.messagesToolTip;
        if (m_label->accessibleName() != name)
            m_label->setAccessibleName(name);
    }

    if (m_detailsWidget) {
        m_detailsWidget->getAccountLabel()->setText(look.accountText);
        m_detailsWidget->getCallLabel()->setText(look.callText);
        ClickableLabel *messages = m_detailsWidget->getMessagesLabel();
        messages->setText(look.messagesText);
        messages->setToolTip(look.messagesToolTip);
        m_detailsWidget->getIndicatorLabel()->setText(look.indicatorText);
    }
    for (const auto &call : m_calls)
        call->updateLabel(engine);
}
