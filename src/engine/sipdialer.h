#pragma once

#include <memory>

#include <QObject>
#include <QString>
#include <QStringList>

#include "engine/callquality.h"
#include "engine/records.h"

class Settings;

// The SIP engine: owns the SIP stack (liblinphone), its sound devices and tones, turns the
// stack's callbacks into Qt signals with the engine's records and carries out the panel's requests.
// Lives on the UI thread; the stack is iterated there, so every signal is emitted on that thread.
// Accounts and calls are known to the rest of the program by int ids (-1 = none).
class SipDialer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SipDialer)

public:
    explicit SipDialer(Settings &settings, QObject *parent = nullptr);
    ~SipDialer() override;

    // Set before init(). Defaults: the environment variables ORVALO_BIND_ADDRESS (empty: all
    // interfaces), ORVALO_SIP_PORT (5060), ORVALO_DATA_DIR (a "sipdata" folder beside "sip_log"),
    // ORVALO_FILECARD_IN / ORVALO_FILECARD_OUT (a WAV file as microphone / a WAV file for what is
    // played; either one adds the file sound card to the device list), ORVALO_REGISTRATION_INTERVAL
    // (seconds a registration lasts before it is refreshed, 300; for accounts registered later).
    void setBindAddress(const QString &address);
    void setSipPort(int port);
    void setRegistrationInterval(int seconds);
    void setDataDir(const QString &path);
    void setFileSoundCard(const QString &inputWav, const QString &outputWav);

    // Starts the stack; false (after onErrorState) when it could not be started.
    bool init();
    // Releases every library object; init() may be called again afterwards.
    void shutdown();
    bool isRunning() const;
    // Local SIP port in use for UDP (0 when not running).
    int sipPort() const;
    // The port asked for (5060 unless set); sipPort() differs when another program holds it.
    int requestedSipPort() const;
    // Lets the stack do now what is due (the REGISTERs of accounts just added), instead of at its
    // next turn in the event loop; does nothing while the stack is being iterated.
    void iterateNow();

    void setMaxCallCount(int count);
    int getMaxCallCount() const;
    void setDndOn(bool on);
    bool isDndOn() const;

    // Audio: devices by index of soundDevices(); -1 selects the library's default device.
    QStringList soundDevices() const;

    // The same list with what each device can do; false when the library lists no devices.
    struct SoundDevice
    {
        QString name;
        bool capture = false;
        bool playback = false;
    };

    bool enumerateSoundDevices(QList<SoundDevice> &out) const;
    // Index of the file sound card in soundDevices(), -1 when it is not in use.
    int fileSoundCardIndex() const;
    void set_sound_devices(int capture, int playback);
    void update_audio_devices(int capture, int playback);
    void set_ringer_device(int index);
    void ring_start();
    void ringback_start();
    void ring_stop();
    // Silences the local ringer until set_ringer_device() and, for a call id >= 0, plays the ring
    // tone into that call whenever the ring tone plays (the far end hears it).
    void setRingerToCall(int call_id);
    unsigned ringCount() const;
    bool isTonePlaying() const;
    void play_audio_file(const QString &path);
    void stop_audio_file();
    void record_microphone_audio();
    void stop_recording_microphone_audio();
    // Writes what the file sound card played so far to its output file.
    void flushFileSoundCard();

    // Accounts.
    int registerAccount(const sip_acc_msg &msg);
    void unregisterAccount(int acc_id);

    // Calls.
    // Dials number@domain from account acc_id with exactly these codecs ("mime/rate/channels", in
    // priority order), optionally as another caller identity; the new call id or -1.
    int makeCall(
        const sip_call_msg &msg, const QList<QString> &codecs, const QString &callerIdentity = QString());
    // Attended transfer: refers the party of call_id to the party of dest_call_id (REFER with
    // Replaces) once both calls' media is settled, then hangs up call_id once the transfer has an
    // outcome. A call that ends before the REFER gives "Error transfering call"; so does a refused
    // transfer, which leaves both calls up and emits onTransferRefused.
    void warmTransferCall(int call_id, int dest_call_id);
    bool isMuted() const;
    // True while a hold of this call is on its way (the far end has not agreed yet); a hold toggle
    // then releases the call as soon as it is held.
    bool isBeingHeld(int call_id) const;
    int callCount() const;
    orvalo_call_info getCallDetails(int call_id) const;
    // The audio stream's statistics of a call right now; not available for an unknown call or one
    // whose media has not started.
    CallQuality callQuality(int call_id) const;
    void play_dtmf_tone(DTMFType type, int call_id, const QString &digit);
    // Refers the party of call a to the party of call b (REFER with Replaces), then hangs up
    // both once the transfer has an outcome.
    void joinCallsAndLeave(unsigned a, unsigned b);
    // Mixes the audio of two calls with ours: each party hears the other one and us.
    void connect_calls(int a, int b);

    // Instant messages: a SIP MESSAGE from account acc_id to number@domain, UTF-8 text/plain.
    void sendMessage(const sip_call_msg &target, const QString &text);
    // Presence: watches uri; the buddy id (reported by onBuddyState) or -1.
    int add_buddy(const QString &uri);
    void remove_buddy(int buddy_id);

public slots:
    void onRegisterButtonSlot(const sip_acc_msg &msg);
    void onAnswerButtonSlot(const sip_call_msg &msg);
    void onRejectButtonSlot(const sip_call_msg &msg);
    void onHangupButtonSlot(const sip_call_msg &msg);
    void onHoldToggleButtonSlot(const sip_call_msg &msg);
    void onMuteToggleButtonSlot(const sip_call_msg &msg);
    void onTransferButtonSlot(const sip_call_msg &msg);
    void onExitButtonSlot();

signals:
    void onRegistrationChanged(const orvalo_acc_msg &info);
    void onCalltransferChanged(int call_id, const QString &status);
    void onIncomingCall(const orvalo_call_info &info);
    // Always delivered queued, after the callback that ended the call has returned.
    void onCallTerminated(const orvalo_call_info &info);
    void onCallstateChanged(const orvalo_call_info &info);
    void onErrorState(const orvalo_error_info &info);
    void onMessagesWaiting(const orvalo_acc_msg &info, int newMessages, int oldMessages);
    void onPager(const QString &from, const QString &to, const QString &contact, const QString &body);
    void log(const QString &line);
    void onBuddyState(unsigned buddy_id, const QString &status_text, unsigned status);
    void onCallmediaChanged(int call_id);
    // The party of call_id refused the attended transfer to the party of dest_call_id (the REFER
    // or the call it asked for failed). Both calls are left as they were.
    void onTransferRefused(int call_id, int dest_call_id);

public:
    // Engine-private state and the bodies of the library callbacks; defined in sipdialer_p.h.
    struct Private;

private:
    // The recorder taps and watches the engine's calls.
    friend class CallRecorder;

    Settings &m_settings;
    std::unique_ptr<Private> d;
};
