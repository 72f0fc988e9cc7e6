// SipDialer: sound devices, ringer, tones, file playback and the microphone test.

#include <cstring>

#include <QFile>

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

} // namespace

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
    if (tone || !core)
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
    if (!tone)
        return;
    ::ring_stop(tone);
    tone = nullptr;
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
