#pragma once

#include <memory>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include "cloud/extension.h"
#include "engine/records.h"
#include "panel/transferflow.h"

namespace Ui {
class Orvalo;
}

class QLabel;
class QSqlQueryModel;
class QMessageBox;
class Account;
class Asset;
class Call;
class CompanyDevice;
class Directory;
class QMenu;
class QProgressDialog;
class CallcontrolDialog;
class CallWindows;
class DialpadDialog;
class ChatWindows;
class ExtensionWindows;
class IMHandler;
class FaxWindows;
class Kesapi;
class ContactLookup;
class QualitySampler;
class Redmine;
struct ContactDetails;
class LoginWindows;
class SettingsWindows;
class SipDialer;
class ToolWindows;
class TransferWindows;
class ClickableLabel;
class QDropEvent;
class Settings;
class dbmgr;

// The operator's main window. It owns the SIP engine and the extensions with their calls, turns
// the engine's events into panel state and the operator's buttons into engine requests. Closing it
// only hides it to the system tray; the Exit action asks first and then emits quit().
//
// The class is split by concern: orvalo.cpp (construction, tray, exit), orvalo_layout.cpp (the
// compact layout and option switches), orvalo_extensions.cpp (the extension list),
// orvalo_dialling.cpp (dialling), orvalo_calls.cpp (call buttons, hold policy, control state),
// orvalo_events.cpp (engine events), orvalo_external.cpp (the external sound device and the
// incoming-call and missed-call windows), orvalo_login.cpp (the cloud login and logout),
// orvalo_contacts.cpp (contact lookup, contact details tab, call label header),
// orvalo_directory.cpp (the company directory and speed dials), orvalo_chat.cpp (chat),
// orvalo_transfer.cpp (blind and attended transfers, drag and drop of call labels),
// orvalo_recent.cpp (settings and history windows, recent calls) and orvalo_tools.cpp (the SIP
// log, the call quality logger and the fax window).
class Orvalo final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Orvalo)

public:
    // Call states and ends coming within this time reload the recent calls once.
    static constexpr int RecentCallsReloadMs = 100;

    Orvalo(dbmgr &db, Settings &settings, Asset &asset, QWidget *parent = nullptr);
    ~Orvalo() override;

    void callconnects();
    void show_login_if_not_loggedin();

    QSystemTrayIcon *tray() const { return m_trayIcon; }

    Ui::Orvalo *form() const { return ui.get(); }

    QLabel *footerLabel() const { return m_footer; }

    // The widget whose layout receives every call label.
    QWidget *callArea() const;

    // Applies the options: menu entries, tabs, footer, recent calls box.
    void checkSettings();

    // The extension list and account editor (not owned; they outlive the window).
    void setExtensionWindows(ExtensionWindows *windows);

    // The diagnostic windows (not owned; they outlive the window). Their menu entries stay
    // disabled until they are set.
    void setToolWindows(ToolWindows *windows);
    // The login window (not owned; it outlives the window). Without one, nothing opens.
    void setLoginWindows(LoginWindows *windows);
    // The chat windows (not owned; they outlive the window). The Chat button and the chat menu
    // entries stay disabled until they are set.
    void setChatWindows(ChatWindows *windows);

    // The message handler: incoming MESSAGEs of the registered extensions, unread counts, chat
    // logs.
    IMHandler &imHandler() { return *m_imHandler; }

    // Shows the chat window of the current extension; a non-empty target is added to it, and
    // with selectFirst its first conversation is shown.
    void openChatDialog(const QString &target, bool selectFirst = false);

    // The incoming-call and missed-call windows (not owned; they outlive the window). Without
    // them offered calls open no window and missed calls are only listed in missedCalls().
    void setCallWindows(CallWindows *windows);

    // The transfer window (not owned; it outlives the window). The transfer buttons stay disabled
    // until it is set.
    void setTransferWindows(TransferWindows *windows);

    // The settings windows and the call log (not owned; they outlive the window). Their menu
    // entries stay disabled until they are set (orvalo_recent.cpp).
    void setSettingsWindows(SettingsWindows *windows);

    // The fax window (not owned; it outlives the window). The Fax button stays disabled until set.
    void setFaxWindows(FaxWindows *windows);

    // Samples the answered calls' audio statistics for the call quality logger (orvalo_tools.cpp).
    QualitySampler &qualitySampler();

    // The one client of the cloud service.
    Kesapi &kesapi() { return *m_kesapi; }

    // The issue tracker client of the contact details tab.
    Redmine &redmine() { return *m_redmine; }

    ContactLookup &contactLookup();

    // Looks the caller up and fills the contact details tab; selects the called party's
    // directory tab (orvalo_contacts.cpp).
    void contact_lookup(const orvalo_call_info &info);
    // Asks for the text of the call label's top header and sets it when the reply comes.
    void queryCallHeader(const orvalo_call_info &info);
    // Shows the first contact of a reply in the details tab and lists its client's issues.
    void populate_contact_details(const QList<ContactDetails> &results);

    bool isLoggedIn() const { return m_loggedIn; }

    // The company directory's tabs, tiles and presence.
    Directory &directory() const { return *m_directory; }

    // The reload's progress window while a reload runs.
    QProgressDialog *reloadProgress() const;

    // The context menu of a directory tile, as showCompanyDeviceContextMenu() shows it for the tile's
    // label (its phone-number line when `onPhoneNumber`: then it offers "Copy"); its tile becomes the
    // selected one.
    std::unique_ptr<QMenu> companyDeviceMenu(CompanyDevice &tile, bool onPhoneNumber);

    // The last call-out window a tile's "Call out as" opened.
    CallcontrolDialog *callOutWindow() const;

    // False when the engine could not be started during construction.
    bool startedOk() const { return !m_startFailed; }

    SipDialer &engine() { return *m_dialer; }

    const std::vector<std::unique_ptr<Account>> &getAccounts() const { return m_accounts; }

    Account *getCurrentAccount() const;

    int currentAccountIndex() const { return m_currentAccount; }

    bool isDndOn() const { return m_dndOn; }

    const QStringList &missedCalls() const { return m_missedCalls; }

    // Dialling the same number again within this time does nothing (2 s; tests shorten it).
    void setRedialGuard(std::chrono::milliseconds interval) { m_redialTimer.setInterval(interval); }

    // Extensions.
    void load_extensions(const QList<int> &ids = {});
    void load_extension(int accountId);
    void accountUpdated(int accountId);
    void removeExtension(int accountId);
    void clearExtensions();
    void registerAccount(int index);
    void selectAccount(int index);
    bool hasRegisteredExtension() const;
    // Appends a line to the call progress log, which keeps the latest ProgressLogLines lines.
    void pj_log(const QString &text, int accId = -1);
    static constexpr int ProgressLogLines = 500;

    // Dialling; each returns the engine call id, -1 when nothing was placed.
    void makeCall(const QString &number, const QString &fromextension = QString());
    int makeCall(const QString &number, bool show, const QString &fromextension);
    int makeNewCall(const QString &number, const QString &fromextension);
    void load_speeddials();

    // Calls the operator's external sound device from the current extension (reusing its device
    // call when there is one); the engine call id or -1.
    int makeExternalDeviceCall(const QString &number, bool show, const QString &fromextension);

signals:
    void quit();
    void onAnswerButtonSignal(const sip_call_msg &msg);
    void onRejectButtonSignal(const sip_call_msg &msg);
    void onTransferButtonSignal(const sip_call_msg &msg);
    void onHangupButtonSignal(const sip_call_msg &msg);
    void onHoldToggleButtonSignal(const sip_call_msg &msg);
    void onMuteToggleButtonSignal(const sip_call_msg &msg);
    void callAnswered(int callId);
    void callDeclined(int callId);
    void callTerminated(int callId);

public slots:
    // Contact details tab.
    void on_button_contact_search_clicked();
    void on_line_search_name_returnPressed();
    void on_button_clearcontactsearch_clicked();
    void on_button_dial_contact_main_clicked();
    void on_button_dial_contact_secondary_clicked();

    void on_actionExit_2_triggered();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void on_actionAbout_triggered();
    void on_actionConnection_Tester_triggered();
    void on_actionGeneral_Settings_triggered();
    void on_actionAudio_settings_triggered();
    void on_actionCall_log_triggered();
    void on_actionMissed_calls_triggered();
    void on_actionSip_Logger_triggered();
    void on_actionRTCP_Logger_triggered();
    void on_FaxButton_clicked();

    // Cloud login.
    void on_actionLogin_triggered();
    void successfulLogin();
    void processCompanyDevicesDetails(const QString &replytext);

    // Company directory.
    void on_actionReload_Directories_triggered();
    void showCompanyDeviceContextMenu(const QPoint &pos);
    void call_selected_company_device();
    void call_out_using_selected_company_device();
    void hangup_selected_company_device();
    void message_selected_company_device();
    void callSelectedPhonenumber();
    void callOutUsingSelectedDeviceToPhonenumber();
    void copySelectedPhonenumber();
    void companydevice_phonenumber_clicked();
    void addAllBuddies();
    void removeAllBuddies();

    // Engine events.
    void onIncomingCall(const orvalo_call_info &info);
    void onCallstateChanged(const orvalo_call_info &info);
    void onCallTerminated(const orvalo_call_info &info);
    void onCallmediaChanged(int callId);
    void onRegistrationChanged(const orvalo_acc_msg &msg);
    void onMessagesWaiting(const orvalo_acc_msg &msg, int newCount, int oldCount);
    void onErrorState(const orvalo_error_info &error);
    void onBuddyState(unsigned buddyId, const QString &text, unsigned status);
    void onCalltransferChanged(int callId);

    // Transfers (accountIndex: the extension the transfer window belongs to).
    void on_TransferButton_clicked();
    void on_WarmTransferButton_clicked();
    void cold_transfer_call(int accountIndex, const QString &number);
    void warm_transfer_call(int accountIndex, const QString &number);
    void cancel_warm_transfer(int accountIndex);
    void transfer_call(int callId, const QString &number);
    // A call label dropped onto a dialled call's label; onto an offered call's label (or a
    // directory entry or phone number).
    void onActiveCallDragDrop(QDropEvent *event, ClickableLabel *target);
    void onCallDragDrop(QDropEvent *event, ClickableLabel *target);

    // Call buttons and selection.
    void on_AnswerButton_clicked();
    void on_RejectButton_clicked();
    void on_HangupButton_clicked();
    void on_HoldToggleButton_clicked();
    void on_MuteToggleButton_clicked();
    void on_DNDButton_clicked();
    void on_RecButton_clicked();
    void on_DialButton_clicked();
    void on_PhoneNumber_returnPressed();
    void on_VoicemailButton_clicked();
    void on_DialpadButton_clicked();
    void on_DialpadButton2_clicked();
    void hangupCall(int accId, int callId);
    void muteUnselectedCalls(int callId);
    void callSelected();
    void showCallContextMenu(const QPoint &pos);
    void showExtensionContextMenu(const QPoint &pos);
    void register_selected_account();
    void unregister_selected_account();
    void accountSelected(int row);
    void openSlot(int row);
    void on_actionManage_Extensions_triggered();
    void updateAccounts();
    void refresh_call_control();
    void add_to_dialstring(const QString &digit);
    void clear_phonenumber();
    void on_speeddials_doubleClicked(const QModelIndex &index);
    void on_ChatButton_clicked();
    void on_actionChat_settings_triggered();
    void on_actionChat_history_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void selectDirectoryTab(const QString &partyId);
    void setCallHeader(int accId, int callId, const QString &text);
    void showSearchResults(const QList<ContactDetails> &results);
    void dialContactNumber(const QString &number);
    void setupTray();
    // Logged in when cloud-provisioned accounts are stored (no request is sent).
    void restoreLoginState();
    void logout();
    void openLogin();
    // Company directory (orvalo_directory.cpp).
    void setupDirectory();
    void reload_companydevices(const std::vector<Extension> &records);
    void load_companydevices();
    int add_department(
        const QString &tenantmode, const QString &partyid, const QString &name, const QString &greeting);
    void addCorporateDirectory(
        int index, const QString &partyid, const QString &name, const QString &greeting);
    void removeAllCorporateDirectories();
    CompanyDevice *selectedCompanyDevice() const;
    // The first call of any extension to this number, and its extension.
    Call *callTo(const QString &number, Account **owner = nullptr) const;
    // Dials `number` through the number field, whose text is put back afterwards.
    void dialThroughField(const QString &number);
    void progressStep();
    void setupLayout();
    void setupChat();
    void reportTakenSipPort();
    // The message handler follows a registered extension, and forgets one that goes away.
    void followChat(Account &account);
    void forgetChat(Account &account);
    // A click on the extension's unread mark opens its chat window.
    void connectUnreadMark(Account &account);
    void disableUnbuiltControls();
    // Enables or disables a control by the call state; a control whose feature is not built yet
    // stays disabled.
    void enableControl(QWidget *control, bool enabled);
    void applyStoredSize();
    void updateFooter();
    void updateRecentCallsBox();
    void setupRecentCalls();
    // Reloads the recent calls list; with `applyLimit`, first takes RecentCallsLimit again.
    void reloadRecentCalls(bool applyLimit = false);
    void updateTabs();
    void showCallLabel(Call &call);
    void setupShortcuts();
    void answerActiveCall();
    // Starts recording a call against the microphone, or two bridged calls (a left, b right).
    void recordCall(Call &call);
    void recordCall(Call &call, int a, int b);
    Call *findCallByLabel(const QObject *label, Account **owner = nullptr) const;
    Account *accountByPjId(int pjId) const;
    void openTransferWindow(bool warm);
    // The attended transfers' part of the state and end events.
    void transferCallConfirmed(const orvalo_call_info &info);
    void transferCallEnded(const orvalo_call_info &info);
    // The engine's word that a caller refused the attended transfer it was referred for.
    void transferRefused(int callId);
    // Hangs up and releases what an ended attended transfer leaves behind.
    void releaseTransferCalls(Account &account, const TransferFlow::Release &release);
    // True (and the operator told why) when the call is the caller held for an attended transfer:
    // selecting or unholding it must not release it behind the transfer's back.
    bool keptHeldForTransfer(const Account &account, int callId);
    void showMessage(const QString &text);
    void raiseForIncomingCall();
    sip_call_msg callRequest(int accId, int callId) const;

    // The external sound device and the call windows (orvalo_external.cpp).
    int makeExternalDeviceCall(
        Account &account, const QString &number, bool show, const QString &fromextension);
    // Calls the device (or reuses its call) and links `call` with it both ways; false when the
    // device call could not be placed.
    bool linkToExternalDevice(Account &account, Call &call);
    // A call was confirmed: the device's pick-up answers a waiting caller, answered partners are
    // bridged, the ringer goes to the device.
    void externalDeviceConfirmed(Account &account, Call &call);
    // A call linked to others ended: hangs up or drops its partners; returns the waiting callers
    // to link with a new device call once the ended call is removed.
    QList<int> unlinkEndedCall(Account &account, Call &call);
    void relinkWaitingCallers(Account &account, const QList<int> &callIds);
    void bridgeWithPartners(int callId);
    void openIncomingCallWindow(const Call &call, const QString &caller, const QString &number);
    void addMissedCall(const QString &remote);
    void answerFromWindow(int callId);
    void declineFromWindow(int callId);

    std::unique_ptr<SipDialer> m_dialer;
    std::unique_ptr<Kesapi> m_kesapi;
    std::unique_ptr<Redmine> m_redmine;
    std::unique_ptr<ContactLookup> m_contactLookup;
    std::unique_ptr<IMHandler> m_imHandler;
    std::unique_ptr<Ui::Orvalo> ui;
    dbmgr &m_db;
    Settings &m_settings;
    Asset &m_asset;
    QSystemTrayIcon *m_trayIcon = nullptr;
    bool m_quitting = false;
    QLabel *m_footer = nullptr;
    std::vector<std::unique_ptr<Account>> m_accounts;
    int m_currentAccount = 0;
    QTimer m_accountTimer;
    QTimer m_redialTimer;
    // Call states and ends reload the recent calls through it: a burst of them reloads once, after
    // the engine has returned, not inside each of its callbacks.
    QTimer m_recentCallsReload;
    QString m_lastDialled;
    QPointer<QMessageBox> m_messageBox;
    std::unique_ptr<DialpadDialog> m_dialpad;
    QSqlQueryModel *m_speeddials = nullptr;
    QPointer<ExtensionWindows> m_extensionWindows;
    ToolWindows *m_toolWindows = nullptr;
    QPointer<LoginWindows> m_loginWindows;
    QPointer<ChatWindows> m_chatWindows;
    QPointer<CallWindows> m_callWindows;
    TransferWindows *m_transferWindows = nullptr;
    QPointer<SettingsWindows> m_settingsWindows;
    bool m_loggedIn = false;
    std::unique_ptr<Directory> m_directory;
    int m_selectedCompanyDevice = -1; // account id of the tile whose menu was opened last
    QString m_lastSortBy;
    QPointer<QProgressDialog> m_reloadProgress;
    QPointer<CallcontrolDialog> m_callOut;
    // Controls whose feature is not built yet: kept disabled (hidden for the recent calls box,
    // whose list would stay empty) so that nothing on screen looks live and does nothing.
    QList<QWidget *> m_unbuiltControls;
    bool m_dndOn = false;
    bool m_recordCalls = false;
    bool m_startFailed = false;
    // Callers who gave up or were turned away, newest last (the latest MaxMissedCalls).
    static constexpr qsizetype MaxMissedCalls = 100;
    QStringList m_missedCalls;
    FaxWindows *m_faxWindows = nullptr;
    // Reads the engine: declared last so that it stops before anything it reads goes.
    std::unique_ptr<QualitySampler> m_quality;
};
