// SipDialer: sound devices, ringer, tones, file playback and the microphone test.

#include <cmath>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mediastreamer2/dtmfgen.h>
#include <mediastreamer2/mediastream.h>
#include <mediastreamer2/msfilerec.h>
#include <mediastreamer2/msfilter.h>
#include <mediastreamer2/mssndcard.h>
#include <mediastreamer2/msticker.h>

#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer_p.h"

namespace {

int parsedOr(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

void putLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// One period of the ring cadence as a mono 8 kHz WAV: 440 + 480 Hz for 2 s, then 4 s of silence.
QByteArray ringCadenceWav()
{
    constexpr int rate = 8000;
    QByteArray samples;
    for (int i = 0; i < rate * 6; ++i) {
        double value = 0.0;
        if (i < rate * 2) {
            const double t = double(i) / rate;
            value = 0.25 * (std::sin(2 * M_PI * 440 * t) + std::sin(2 * M_PI * 480 * t));
        }
        putLe(samples, quint32(quint16(qint16(std::lround(value * 32767)))), 2);
    }
    QByteArray wav("RIFF");
    putLe(wav, quint32(36 + samples.size()), 4);
    wav.append("WAVEfmt ");
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);
    putLe(wav, 1, 2);
    putLe(wav, rate, 4);
    putLe(wav, rate * 2, 4);
    putLe(wav, 2, 2);
    putLe(wav, 16, 2);
    wav.append("data");
    putLe(wav, quint32(samples.size()), 4);
    return wav + samples;
}

} // namespace

// The call's player reached the end of the cadence: play it again while the ring goes on.
void cb_player_eof_reached(LinphonePlayer *player)
{
    LinphonePlayerCbs *cbs = linphone_player_get_current_callbacks(player);
    auto *d = cbs ? static_cast<SipDialer::Private *>(linphone_player_cbs_get_user_data(cbs)) : nullptr;
    if (d && d->callRingPlaying) {
        linphone_player_seek(player, 0);
        linphone_player_start(player);
    }
}

void SipDialer::Private::setupAudioDevices()
{
    devices.clear();
    bctbx_list_t *list = linphone_core_get_sound_devices_list(core.get());
    // The strings are borrowed from the core: free the list only.
    for (bctbx_list_t *it = list; it; it = bctbx_list_next(it))
        devices.append(QByteArray(static_cast<const char *>(bctbx_list_get_data(it))));
    bctbx_list_free(list);

    LOG(QStringLiteral("dev_count: ") + QString::number(devices.size()));
    for (int i = 0; i < devices.size(); ++i) {
        MSSndCard *card = cardFor(devices.at(i), false);
        const unsigned caps = card ? ms_snd_card_get_capabilities(card) : 0;
        LOG(QString::number(i) + QLatin1Char(' ') + QString::number(caps & MS_SND_CARD_CAP_CAPTURE ? 1 : 0)
            + QLatin1Char(':') + QString::number(caps & MS_SND_CARD_CAP_PLAYBACK ? 1 : 0)
            + QStringLiteral(" name: ") + QString::fromUtf8(devices.at(i)));
    }

    setSoundDevices(parsedOr(settings.getSetting(Settings::Microphone), -1),
        parsedOr(settings.getSetting(Settings::Speaker), -1));
    setRingerDevice(parsedOr(settings.getSetting(Settings::Ringer), 0));
}

QByteArray SipDialer::Private::deviceId(int index) const
{
    return index >= 0 && index < devices.size() ? devices.at(index) : QByteArray();
}

// Raw ALSA hardware entries (":CARD") are listed but never used.
bool SipDialer::Private::deviceCan(int index, unsigned capability) const
{
    const QByteArray id = deviceId(index);
    if (id.isEmpty() || id.contains(":CARD"))
        return false;
    MSSndCard *card = cardFor(id, false);
    return card && (ms_snd_card_get_capabilities(card) & capability);
}

MSSndCard *SipDialer::Private::cardFor(const QByteArray &id, bool capture) const
{
    if (!core)
        return nullptr;
    MSSndCardManager *manager = ms_factory_get_snd_card_manager(linphone_core_get_ms_factory(core.get()));
    if (!id.isEmpty())
        return ms_snd_card_manager_get_card(manager, id.constData());
    return capture ? ms_snd_card_manager_get_default_capture_card(manager)
                   : ms_snd_card_manager_get_default_playback_card(manager);
}

void SipDialer::Private::setSoundDevices(int capture, int playback)
{
    if (capture != -1 && !deviceCan(capture, MS_SND_CARD_CAP_CAPTURE))
        capture = -1;
    if (playback != -1 && !deviceCan(playback, MS_SND_CARD_CAP_PLAYBACK))
        playback = -1;
    LOG(QString::number(capture) + QLatin1Char(' ') + QString::number(playback));
    captureIndex = capture;
    playbackIndex = playback;
    if (!core)
        return;
    // -1: the library's default device.
    MSSndCard *in = cardFor(deviceId(capture), true);
    MSSndCard *out = cardFor(deviceId(playback), false);
    if (in)
        linphone_core_set_capture_device(core.get(), ms_snd_card_get_string_id(in));
    if (out)
        linphone_core_set_playback_device(core.get(), ms_snd_card_get_string_id(out));
}

void SipDialer::Private::setRingerDevice(int index)
{
    if (!core || !deviceCan(index, MS_SND_CARD_CAP_PLAYBACK))
        return;
    ringerIndex = index;
    ringerDetached = false;
    linphone_core_set_ringer_device(core.get(), deviceId(index).constData());
    if (tone) {
        stopTone();
        startTone();
    }
}

MSSndCard *SipDialer::Private::ringerCard() const
{
    return cardFor(deviceId(ringerIndex), false);
}

void SipDialer::Private::startTone()
{
    startCallRing();
    if (tone || !core || ringerDetached)
        return;
    MSSndCard *card = ringerCard();
    if (!card) {
        LOG(QStringLiteral("No ringer device for the ring tone"));
        return;
    }
    tone = ::ring_start(linphone_core_get_ms_factory(core.get()), nullptr, 0, card);
    if (!tone) {
        LOG(QStringLiteral("Unable to start the ring tone"));
        return;
    }
    // 440 + 480 Hz, 2 s on, 4 s off, repeated until stopped.
    MSDtmfGenCustomTone ring {};
    std::strncpy(ring.tone_name, "ring", sizeof ring.tone_name - 1);
    ring.duration = 2000;
    ring.frequencies[0] = 440;
    ring.frequencies[1] = 480;
    ring.amplitude = 0.5f;
    ring.interval = 4000;
    ring.repeat_count = 1000000;
    ms_filter_call_method(tone->gendtmf, MS_DTMF_GEN_PLAY_CUSTOM, &ring);
}

void SipDialer::Private::stopTone()
{
    stopCallRing();
    if (!tone)
        return;
    ::ring_stop(tone);
    tone = nullptr;
}

QString SipDialer::Private::ringCadenceFile()
{
    const QString path = QFileInfo(settings.getFilePath(QStringLiteral("sip_log"))).absolutePath()
        + QStringLiteral("/ring-cadence.wav");
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(ringCadenceWav()) < 0)
            LOG(QStringLiteral("Unable to open WAV file for writing"));
    }
    return path;
}

void SipDialer::Private::startCallRing()
{
    if (ringCallId < 0 || callRingPlaying)
        return;
    LinphoneCall *call = callById(ringCallId);
    LinphonePlayer *callPlayer = call ? linphone_call_get_player(call) : nullptr;
    if (!callPlayer) {
        ringCallId = -1;
        return;
    }
    if (!callRingCbs) {
        callRingCbs = LinphoneHandle<LinphonePlayerCbs>::adopt(
            linphone_factory_create_player_cbs(linphone_factory_get()));
        linphone_player_cbs_set_eof_reached(callRingCbs.get(), cb_player_eof_reached);
        linphone_player_cbs_set_user_data(callRingCbs.get(), this);
    }
    linphone_player_add_callbacks(callPlayer, callRingCbs.get());
    if (linphone_player_open(callPlayer, QFile::encodeName(ringCadenceFile()).constData()) != 0
        || linphone_player_start(callPlayer) != 0) {
        LOG(QStringLiteral("Unable to play the ring tone into call ") + QString::number(ringCallId));
        return;
    }
    callRingPlaying = true;
}

void SipDialer::Private::stopCallRing()
{
    if (!callRingPlaying)
        return;
    callRingPlaying = false;
    LinphoneCall *call = callById(ringCallId);
    if (LinphonePlayer *callPlayer = call ? linphone_call_get_player(call) : nullptr) {
        linphone_player_close(callPlayer);
        linphone_player_remove_callbacks(callPlayer, callRingCbs.get());
    }
}

void SipDialer::Private::setRingerToCall(int id)
{
    const bool ringing = tone || callRingPlaying;
    stopTone();
    ringerDetached = true;
    ringCallId = -1;
    if (id < 0 || !callById(id))
        return;
    LOG(QStringLiteral("Setting call ") + QString::number(id) + QStringLiteral(" to ringer"));
    ringCallId = id;
    if (ringing)
        startCallRing();
}

void SipDialer::Private::ringStart()
{
    startTone();
    ringOn = true;
    ++ringCounter;
}

void SipDialer::Private::ringbackStart()
{
    startTone();
    ringbackOn = true;
}

// Counted: with two calls ringing the tone stops only at the second stop; a stop with the counter
// at 0 always silences both tones.
void SipDialer::Private::ringStop()
{
    if (ringCounter > 0) {
        --ringCounter;
        if (ringCounter > 0)
            return;
    }
    ringOn = false;
    ringbackOn = false;
    stopTone();
}

void SipDialer::Private::playFile(const QString &path)
{
    stopFile();
    if (!core)
        return;
    if (!QFile::exists(path)) {
        LOG(QStringLiteral("Unable to use WAV file ") + path);
        return;
    }
    MSSndCard *card = cardFor(deviceId(playbackIndex), false);
    player = LinphoneHandle<LinphonePlayer>::adopt(linphone_core_create_local_player(
        core.get(), card ? ms_snd_card_get_string_id(card) : nullptr, nullptr, nullptr));
    if (!player) {
        LOG(QStringLiteral("Unable to open sound device"));
        return;
    }
    if (linphone_player_open(player.get(), QFile::encodeName(path).constData()) != 0) {
        LOG(QStringLiteral("Unable to use WAV file ") + path);
        player.reset();
        return;
    }
    if (linphone_player_start(player.get()) != 0)
        LOG(QStringLiteral("Unable to open sound device"));
}

void SipDialer::Private::stopFile()
{
    if (!player)
        return;
    linphone_player_close(player.get());
    player.reset();
}

void SipDialer::Private::recordMicrophone(const QString &path)
{
    stopMicrophone();
    if (!core)
        return;
    MSFactory *factory = linphone_core_get_ms_factory(core.get());
    MSSndCard *card = cardFor(deviceId(captureIndex), true);
    if (!card) {
        LOG(QStringLiteral("Unable to open sound device"));
        return;
    }
    micWriter = ms_factory_create_filter(factory, MS_FILE_REC_ID);
    micReader = ms_snd_card_create_reader(card);
    if (!micWriter || !micReader) {
        LOG(QStringLiteral("Unable to open sound device"));
        stopMicrophone();
        return;
    }
    int rate = 44100;
    int channels = 2;
    ms_filter_call_method(micReader, MS_FILTER_SET_SAMPLE_RATE, &rate);
    ms_filter_call_method(micReader, MS_FILTER_SET_NCHANNELS, &channels);
    ms_filter_call_method(micReader, MS_FILTER_GET_SAMPLE_RATE, &rate);
    ms_filter_call_method(micReader, MS_FILTER_GET_NCHANNELS, &channels);
    ms_filter_call_method(micWriter, MS_FILTER_SET_SAMPLE_RATE, &rate);
    ms_filter_call_method(micWriter, MS_FILTER_SET_NCHANNELS, &channels);
    QFile::remove(path);
    const QByteArray file = QFile::encodeName(path);
    if (ms_filter_call_method(micWriter, MS_FILE_REC_OPEN, const_cast<char *>(file.constData())) != 0) {
        LOG(QStringLiteral("Unable to open WAV file for writing"));
        stopMicrophone();
        return;
    }
    ms_filter_call_method_noarg(micWriter, MS_FILE_REC_START);
    ms_filter_link(micReader, 0, micWriter, 0);
    micTicker = ms_ticker_new();
    ms_ticker_attach(micTicker, micReader);
}

void SipDialer::Private::stopMicrophone()
{
    if (micTicker) {
        ms_ticker_detach(micTicker, micReader);
        ms_filter_unlink(micReader, 0, micWriter, 0);
        ms_ticker_destroy(micTicker);
        micTicker = nullptr;
    }
    if (micWriter) {
        ms_filter_call_method_noarg(micWriter, MS_FILE_REC_CLOSE);
        ms_filter_destroy(micWriter);
        micWriter = nullptr;
    }
    if (micReader) {
        ms_filter_destroy(micReader);
        micReader = nullptr;
    }
}

// ---- SipDialer: audio ----

QStringList SipDialer::soundDevices() const
{
    QStringList names;
    for (const QByteArray &id : d->devices)
        names.append(QString::fromUtf8(id));
    return names;
}

bool SipDialer::enumerateSoundDevices(QList<SoundDevice> &out) const
{
    out.clear();
    if (!d->core)
        return false;
    for (const QByteArray &id : d->devices) {
        MSSndCard *card = d->cardFor(id, false);
        const unsigned caps = card ? ms_snd_card_get_capabilities(card) : 0;
        out.append({QString::fromUtf8(id), (caps & MS_SND_CARD_CAP_CAPTURE) != 0,
            (caps & MS_SND_CARD_CAP_PLAYBACK) != 0});
    }
    return !out.isEmpty();
}

int SipDialer::fileSoundCardIndex() const
{
    if (!d->fileCard)
        return -1;
    for (int i = 0; i < d->devices.size(); ++i) {
        if (d->devices.at(i).startsWith(FileSoundCard::DriverName))
            return i;
    }
    return -1;
}

void SipDialer::set_sound_devices(int capture, int playback)
{
    d->setSoundDevices(capture, playback);
}

void SipDialer::update_audio_devices(int capture, int playback)
{
    d->setSoundDevices(capture, playback);
}

void SipDialer::set_ringer_device(int index)
{
    d->setRingerDevice(index);
}

void SipDialer::ring_start()
{
    d->ringStart();
}

void SipDialer::ringback_start()
{
    d->ringbackStart();
}

void SipDialer::ring_stop()
{
    d->ringStop();
}

void SipDialer::setRingerToCall(int call_id)
{
    d->setRingerToCall(call_id);
}

unsigned SipDialer::ringCount() const
{
    return d->ringCounter;
}

bool SipDialer::isTonePlaying() const
{
    return d->tone != nullptr;
}

void SipDialer::play_audio_file(const QString &path)
{
    d->playFile(path);
}

void SipDialer::stop_audio_file()
{
    d->stopFile();
}

void SipDialer::record_microphone_audio()
{
    d->recordMicrophone(QStringLiteral("mic-test.wav"));
}

void SipDialer::stop_recording_microphone_audio()
{
    d->stopMicrophone();
}

void SipDialer::flushFileSoundCard()
{
    if (d->fileCard)
        d->fileCard->flush();
}
