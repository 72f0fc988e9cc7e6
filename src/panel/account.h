#pragma once

#include <memory>
#include <vector>

#include <QPointer>
#include <QString>
#include <QStringList>

#include "engine/records.h"
#include "panel/calldirection.h"
#include "panel/transferflow.h"

class AccountDetailsWidget;
class Call;
class CallInfoSource;
class Callrecord;
class ClickableLabel;
class QObject;
class QSqlQuery;
class dbmgr;

// One SIP extension of the panel: the accounts row it was loaded from, the engine account id
// registration gave it, its calls (oldest first) and the row that shows them in "My Extensions".
// It keeps state and renders; registering and hanging up are the main window's business.
//
// While there are calls, the active call id names one of them.
//
// A directory tile (CompanyDevice) is an Account too: the same row, shown as a tile of its own.
class Account
{
public:
    Account(dbmgr &db, int accountId);
    ~Account();
    Account(const Account &) = delete;
    Account &operator=(const Account &) = delete;

    // Re-reads the account's row (a missing row empties every field).
    void refreshAccountDetails();

    // The engine account id, -1 while the account is not added to the engine. A new id starts
    // without a failed registration.
    void setPjId(int pjId);

    int getPjId() const { return m_pjId; }

    // A failed registration leaves the account added to the engine, which keeps trying: the
    // account shows as unregistered until a later registration succeeds.
    void setRegistrationFailed(bool failed);

    bool isRegistered() const { return m_pjId != -1 && !m_registrationFailed; }

    void setSelectedState(bool selected);

    bool isSelected() const { return m_selected; }

    void setDomainIp(const QString &address) { m_domainIp = address; }

    // Only an id of one of the calls is taken; false (and logged) otherwise.
    bool setActiveCall(int callId);

    int getActiveCallId() const { return m_activeCallId; }

    // The extension's attended transfer; its consultation call id, -1 when none.
    TransferFlow &transfer() { return m_transfer; }

    const TransferFlow &transfer() const { return m_transfer; }

    int getWarmTransferCall() const { return m_transfer.consultation(); }

    // Voicemail count last reported by the engine.
    void messagesWaiting(int count);

    int getMessagesWaiting() const { return m_messagesWaiting; }

    // Adds `delta` (negative for messages read) to the unread chat count, never below zero.
    void setIMMessageUnread(int delta);

    int getUnreadImCount() const { return m_unreadImCount; }

    // Appends a call; the first call becomes the active one. An engine id that is already in the
    // list is logged and the existing call returned: no second call and no second cdr row.
    Call &newCall(int callId, const QString &to, CallDirection direction);
    Call &newExternalSoundDeviceCall(int callId, const QString &to, CallDirection direction);

    Call *getExternalSoundDeviceCall() const { return m_externalSoundDeviceCall; }

    void endExternalSoundDeviceCall() { m_externalSoundDeviceCall = nullptr; }

    // Removes (and so finishes the record of) every call with this id; the active call moves to
    // the oldest remaining call. An unknown id is logged; false then.
    bool endCall(int callId);
    void answerCall(int callId);

    int activeCallCount() const { return int(m_calls.size()); }

    Call *getActiveCall() const { return getCall(m_activeCallId); }

    Call *getCall(int callId) const;

    const std::vector<std::unique_ptr<Call>> &getCalls() const { return m_calls; }

    Callrecord *getCallRecord(int callId) const;
    // The call whose label this is (a drop source or target), or nullptr.
    Call *callForLabel(const QObject *label) const;

    // Codec identifiers for the engine, in the stored order, and the DTMF method.
    QStringList getCodecs() const;
    DTMFType getDTMFType() const;

    // "sip:" + extension + "@" + domain, empty unless both are set.
    QString getUri() const;

    bool canDialOutAs() const { return !m_accessId.isEmpty() && !m_accessPin.isEmpty(); }

    int getKesId() const { return m_accountId; }

    const QString &getDomain() const { return m_domain; }

    const QString &getDomainIp() const { return m_domainIp; }

    const QString &getUsername() const { return m_user; }

    const QString &getExtension() const { return m_extension; }

    const QString &getAccountname() const { return m_accountname; }

    bool getFromApi() const { return m_fromApi; }

    const QString &getFullname() const { return m_fullname; }

    const QString &getPhonenumber() const { return m_phonenumber; }

    const QString &getAccessId() const { return m_accessId; }

    const QString &getAccessPin() const { return m_accessPin; }

    bool getIpv6() const { return m_useIpv6; }

    ClickableLabel *getLabel() const;
    AccountDetailsWidget *getAccountDetailsWidget() const;

    // The once-a-second refresh: flips the flash phase, redraws the row and every call label.
    void updateLabel(const CallInfoSource *engine = nullptr);
    void updateStyleSheet();

protected:
    struct BareLabel
    {
        // The label to own, when the derived class brings one of its own kind.
        ClickableLabel *label = nullptr;
    };

    // The row's columns and a label without the extension row's details and look: the derived
    // class lays the label out itself. `rowQuery`, when given, is the statement of
    // prepareRowQuery(), shared by many accounts read in a row (a large directory's tiles).
    Account(dbmgr &db, int accountId, BareLabel, QSqlQuery *rowQuery = nullptr);
    // Reads the row's columns, without redrawing, through `rowQuery` or a statement of its own.
    void readRow(QSqlQuery *rowQuery = nullptr);

public:
    // The statement that reads an account's row, prepared once to read many rows.
    static QSqlQuery prepareRowQuery(dbmgr &db);

private:
    QString columnText(const char *column) const;

    dbmgr &m_db;
    const int m_accountId;
    int m_pjId = -1;
    bool m_registrationFailed = false;
    QString m_domain;
    QString m_domainIp;
    QString m_user;
    QString m_extension;
    QString m_accountname;
    std::vector<std::unique_ptr<Call>> m_calls;
    int m_messagesWaiting = 0;
    int m_unreadImCount = 0;
    bool m_blink = false;
    TransferFlow m_transfer;
    int m_activeCallId = -1;
    bool m_fromApi = false;
    QString m_fullname;
    QString m_phonenumber;
    Call *m_externalSoundDeviceCall = nullptr;
    bool m_selected = false;
    QString m_accessId;
    QString m_accessPin;
    bool m_useIpv6 = false;
    QPointer<ClickableLabel> m_label;
    QPointer<AccountDetailsWidget> m_detailsWidget; // child of m_label
};
