#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "peeroptions.h"

class QSocketNotifier;
class QTemporaryDir;

struct _LinphoneCore;
struct _LinphoneCall;
struct _LinphoneAccount;
struct _LinphoneCoreCbs;
struct _LinphoneChatMessage;

// The scripted peer: one liblinphone core driven by a 10 ms timer, one account at most, actions
// from the command line and from stdin, one EventLine per library event.
class Peer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Peer)

public:
    explicit Peer(const PeerOptions &options, QObject *parent = nullptr);
    ~Peer() override;

    // Creates and starts the core, adds the account, prints "EVENT ready". False on failure
    // (an "EVENT error" line says why).
    bool start();
    // Runs one command line ("call URI", "answer", "quit", ...; see README.md).
    void runCommand(const QString &line);

    // Library callbacks (forwarded from the static trampolines in peer.cpp).
    void onRegistration(_LinphoneAccount *account, int state, const char *message);
    void onCallState(_LinphoneCall *call, int state, const char *message);
    void onDtmf(_LinphoneCall *call, int digit);
    void onMessage(const char *from, const char *to, const char *body);
    void onNotify(const char *event, const char *from, const QString &body);
    void onPresence(const char *from, int presence);
    void onTransferState(_LinphoneCall *call, int state);

signals:
    void finished(int exitCode);

private:
    struct CallEntry
    {
        int id = 0;
        _LinphoneCall *call = nullptr;
        bool up = false;
    };

    void quit(const char *reason, int exitCode = 0);
    void readStdin();
    void afterRegistered();
    int placeCall(const QString &uri);
    void sendMessage(const QString &uri, const QString &text);
    // A note ("Available", "On the phone") is what a watcher shows as the presence text.
    void publishPresence(const QString &status, const QString &note = QString());
    void subscribe(const QString &uri);
    void callUp(CallEntry &entry);
    void declineCall(_LinphoneCall *call, int code);
    // The call with this id, or the most recent one for id 0; null when none.
    _LinphoneCall *findCall(int id) const;
    CallEntry *entryFor(_LinphoneCall *call);
    // Runs fn after ms unless the call is gone by then.
    void later(int ms, int callId, const std::function<void(_LinphoneCall *)> &fn);
    void error(const QString &what, const QString &text);

    PeerOptions m_options;
    std::unique_ptr<QTemporaryDir> m_tempDir; // without --data-dir; outlives the core (~Peer)
    _LinphoneCore *m_core = nullptr;
    _LinphoneCoreCbs *m_cbs = nullptr;
    _LinphoneAccount *m_account = nullptr;
    QTimer m_iterate;
    std::unique_ptr<QSocketNotifier> m_stdin;
    QByteArray m_stdinBuffer;
    QHash<_LinphoneCall *, CallEntry> m_calls;
    // sent messages stay referenced until exit so that their delivery state is reported
    QList<_LinphoneChatMessage *> m_sent;
    int m_nextCallId = 1;
    int m_lastCallId = 0;
    bool m_registeredOnce = false;
    bool m_quitting = false;
};
