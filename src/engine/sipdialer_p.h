#pragma once

// Engine-private: the liblinphone side of SipDialer. Included only by the engine's .cpp files.

#include <map>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <linphone/core.h>

#include "engine/filesoundcard.h"
#include "engine/linphonehandle.h"
#include "engine/sipdialer.h"

struct _MSTicker;
struct _MSFilter;
struct _RingStream;

class Settings;

struct SipDialer::Private
{
    Private(SipDialer &owner, Settings &store);
    ~Private();
    Private(const Private &) = delete;
    Private &operator=(const Private &) = delete;

    // The engine's own call limit and the higher one given to the library, so that the library
    // offers the call that exceeds ours and the engine can answer 480 itself.
    static constexpr int EngineCallLimit = 16;
    static constexpr int LibraryCallLimit = 2 * EngineCallLimit;
    static constexpr int IdleIterateMs = 200; // SIP traffic wakes the loop at once (socket notifiers)
    static constexpr int CallIterateMs = 20;
    // No call and no SIP traffic or request for QuietAfterMs, all accounts on UDP: only the library's
    // own timers are left (refreshes, which are due in seconds), served at this slower pace.
    static constexpr int QuietIterateMs = 1000;
    static constexpr int QuietAfterMs = 3000;

    struct CallEntry
    {
        LinphoneHandle<LinphoneCall> call;
        int lastStatus = 0;
        bool confirmed = false;
        bool ended = false;
        // Released as soon as the far end has agreed to the hold that is on its way.
        bool resumeWhenHeld = false;
    };

    struct AccountEntry
    {
        LinphoneHandle<LinphoneAccount> account;
        LinphoneHandle<LinphoneAuthInfo> auth;
        QString user;
    };

    // Start-up and shutdown (sipdialer.cpp).
    bool start();
    void stop();
    bool portIsFree(int port) const;
    void applyConfiguration();
    void checkTransports();
    void iterate();
    // A request was handed to the stack: let it send at once rather than at the next tick.
    void iterateSoon();
    void watchSipSockets();
    void dropIncompleteDatagrams();
    bool usesStreamTransport() const;
    void reportError(const QString &text);

    // The stack's log lines (sipdialer_log.cpp).
    void installLogging();
    void logLine(const char *domain, LinphoneLogLevel level, const char *message);
    void rememberInvite(const QString &text);
    QString maskSecrets(QString line) const;

    // Audio (sipdialer_audio.cpp).
    void setupAudioDevices();
    QByteArray deviceId(int index) const;
    bool deviceCan(int index, unsigned capability) const;
    void setSoundDevices(int capture, int playback);
    void setRingerDevice(int index);
    _MSSndCard *ringerCard() const;
    _MSSndCard *cardFor(const QByteArray &id, bool capture) const;
    void startTone();
    void stopTone();
    void startCallRing();
    void stopCallRing();
    void setRingerToCall(int id);
    QString ringCadenceFile();
    void ringStart();
    void ringbackStart();
    void ringStop();
    void playFile(const QString &path);
    void stopFile();
    void recordMicrophone(const QString &path);
    void stopMicrophone();

    // Accounts (sipdialer_accounts.cpp).
    int registerAccount(const sip_acc_msg &msg);
    void unregisterAccount(int accId);
    int accountId(const LinphoneAccount *account) const;
    void registrationChanged(LinphoneAccount *account, LinphoneRegistrationState state, const char *message);
    void notifyReceived(LinphoneEvent *event, const char *notifiedEvent, const LinphoneContent *body);

    // Calls (sipdialer_calls.cpp).
    int mapCall(LinphoneCall *call);
    int callId(const LinphoneCall *call) const;
    LinphoneCall *callById(int id) const;
    int accountForCall(LinphoneCall *call) const;
    int activeCallCount() const;
    void callStateChanged(LinphoneCall *call, LinphoneCallState state, const char *message);
    void incomingCall(LinphoneCall *call);
    orvalo_call_info callInfo(int id, LinphoneCall *call) const;
    void answer(int id);
    void reject(int id, int code);
    void hangup(int id);
    void logStreamStats(int id, LinphoneCall *call);

    // Runs `action` with the audio devices shared between calls, so that the stack does not pause
    // the current call by itself when another one is placed or answered: holding is the panel's
    // decision. The stack's conferences need the devices exclusive again afterwards.
    template <typename Action> auto withSharedMedia(Action action)
    {
        linphone_core_set_media_resource_mode(core.get(), LinphoneSharedMediaResources);
        auto result = action();
        linphone_core_set_media_resource_mode(core.get(), LinphoneExclusiveMediaResources);
        return result;
    }

    // Requests (sipdialer_requests.cpp).
    void applyCodecs(const QList<QString> &codecs);
    LinphoneAccount *identityAccount(LinphoneAccount *base, const QString &identity);
    void playDtmf(DTMFType type, int id, const QString &digit);

    // Instant messages, presence (sipdialer_messages.cpp).
    void installMessagingCallbacks(LinphoneCoreCbs *cbs);
    void stopMessaging();
    LinphoneHandle<LinphoneAddress> targetAddress(const sip_call_msg &msg, QString *uri);
    void sendMessage(const sip_call_msg &target, const QString &text);
    void messageReceived(LinphoneChatMessage *message);
    void rememberMessage(const QString &text);
    int addBuddy(const QString &uri);
    void removeBuddy(int id);
    void presenceReceived(LinphoneFriend *buddy);
    void subscriptionRequested(LinphoneFriend *watcher, const char *uri);

    // Bridged calls and joins (sipdialer_bridging.cpp).
    void connectCalls(int a, int b);
    void joinCallsAndLeave(int a, int b);
    void transferToAnother(int a, int b);
    void transferBlind(int a, const QString &target);
    void leavePendingJoins();

    SipDialer &q;
    Settings &settings;

    // Configuration, read before start.
    QString bindAddress;
    int configuredPort = 5060;
    // A registrar that restarts may forget its bindings without telling anyone: a registration
    // is refreshed within this many seconds (the stack's own default is an hour).
    int registrationInterval = 300;
    QString dataDir;
    QString fileCardIn;
    QString fileCardOut;

    // Limits and switches.
    int maxCalls = EngineCallLimit;
    bool dnd = false;

    // The file card outlives the core (its factory calls into it); the core is declared before
    // every other library object so that it is released last.
    std::unique_ptr<FileSoundCard> fileCard;
    LinphoneHandle<LinphoneCore> core;
    LinphoneHandle<LinphoneCoreCbs> coreCbs;
    LinphoneHandle<LinphoneLoggingServiceCbs> logCbs;
    std::map<int, AccountEntry> accounts;
    std::map<int, CallEntry> calls;
    // Call ids are never handed out twice: the panel may still hold an ended call's id while its
    // queued end is on its way, and it matches calls by id.
    int nextCallId = 0;
    // A dial request is inside the stack, which reports the new call's first states from there:
    // the account it is placed from.
    bool placingCall = false;
    int placingAccount = -1;
    LinphoneHandle<LinphonePlayer> player;
    QMap<QString, int> userToAccount;
    // Accounts placing calls under another caller identity, by identity.
    std::map<QString, LinphoneHandle<LinphoneAccount>> identityAccounts;
    // The account each outgoing call was placed from.
    std::map<int, int> outgoingAccount;
    QSet<QString> secrets; // passwords, masked in every library log line
    // The stack is iterated by a timer and at once when SIP traffic arrives on its sockets.
    QTimer iterateTimer;
    std::vector<std::unique_ptr<QSocketNotifier>> socketNotifiers;
    std::vector<int> udpSockets;
    QByteArray datagram; // scratch for a peeked datagram
    bool iterating = false;
    bool iterateSoonPending = false;
    QElapsedTimer sinceActivity; // last SIP datagram or connection, or request handed to the stack
    int usedPort = 0;

    // Sound devices by index, as the library lists them.
    QList<QByteArray> devices;
    int ringerIndex = -1;
    int captureIndex = -1;
    int playbackIndex = -1;

    // Ring and ringback share one tone (440+480 Hz, 2 s on, 4 s off) on the ringer device.
    _RingStream *tone = nullptr;
    unsigned ringCounter = 0;
    bool ringOn = false;
    bool ringbackOn = false;
    // The ring tone can go into a call instead (the external sound device): the local ringer is
    // detached and the call's player plays the same cadence from a WAV file, looped.
    bool ringerDetached = false;
    int ringCallId = -1;
    bool callRingPlaying = false;
    LinphoneHandle<LinphonePlayerCbs> callRingCbs;

    // Microphone test recording.
    _MSTicker *micTicker = nullptr;
    _MSFilter *micReader = nullptr;
    _MSFilter *micWriter = nullptr;

    // Watched presences (buddies) by id, and the last removed ones: a late notification for
    // one of those is logged, not reported.
    std::map<int, LinphoneHandle<LinphoneFriend>> buddies;
    QList<QPair<LinphoneHandle<LinphoneFriend>, int>> removedBuddies;

    // From and To of the last received MESSAGEs by Call-ID, as written on the wire (the library
    // drops the display name and the port).
    struct ReceivedMessage
    {
        QString callId;
        QString from;
        QString to;
    };

    QList<ReceivedMessage> recentMessages;

    // Joined pairs (call a to be referred to call b) waiting to send the REFER, then for the
    // transfer's outcome before both calls are hung up, with the time the wait began. An attended
    // transfer waits the same way, then hangs up call a only (the party of b hangs up the call
    // that was replaced).
    struct PendingJoin
    {
        int a = -1;
        int b = -1;
        qint64 since = 0;
        bool referred = false;
        bool transfer = false;
        // A blind transfer (b is -1): the address the REFER names.
        QString target;
    };

    QList<PendingJoin> pendingJoins;
    bool joinPollScheduled = false;

    // Received INVITE texts by Call-ID, taken from the stack's message log.
    QList<QPair<QString, QString>> recentInvites;
};
