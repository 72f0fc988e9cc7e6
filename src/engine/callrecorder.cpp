// CallRecorder: the two sides of a call, each into its own mono file while the call runs, merged
// into one stereo file at the end.
//
// Where the sides come from:
// - the file sound card (tests, demos): its tap delivers what the card plays (the far end) and
//   what it captures (the local microphone) separately: left and right exactly;
// - any other sound device: the media library's drivers are tapped the same way (cardtap.h); in
//   case that tap hears nothing (a driver it could not reach), the stack's own call recording,
//   which mixes both directions into one mono stream, runs beside it and then goes left, the
//   right channel silent;
// - two bridged calls: mixed in the stack's conference, they can only be recorded as that mix
//   (both parties and us): left, the right channel silent. Two calls not (yet) mixed: each call's
//   own recording on its channel.

#include "engine/callrecorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <linphone/core.h>

#include "core/log.h"
#include "core/settings.h"
#include "engine/cardtap.h"
#include "engine/filesoundcard.h"
#include "engine/linphoneutil.h"
#include "engine/recordingfiles.h"
#include "engine/sipdialer_p.h"

namespace {

using lp::addressText;
using lp::fromLibrary;
using lp::hasMedia;

using Clock = std::chrono::steady_clock;

// The per-side files of the tap are written at the rate the card plays.
constexpr int TapRate = FileSoundCard::OutputRate;
// The media thread's samples reach the files from the UI thread at this period.
constexpr int DrainMs = 200;
// A side that delivers nothing for longer than this (a held call, a stopped stream) is filled
// with silence, so that both sides stay on the call's time line.
constexpr int GapSlackMs = 300;

// One side fed by a tap on the sound card, shared with the media thread that runs the tap.
struct TapSink
{
    const SipDialer *dialer = nullptr;
    // The file sound card, or the media factory whose drivers' cards are tapped.
    const void *source = nullptr;
    FileSoundCard::Direction direction = FileSoundCard::Direction::Played;
    // Guarded by tapMutex().
    bool open = false;
    bool muted = false;
    std::vector<int16_t> pending;
    // Linear resampling to TapRate: position of the next output sample relative to the start of
    // the next input block (-1 = the last sample of the previous block), and that sample.
    double phase = 0.0;
    int16_t last = 0;
    size_t delivered = 0; // samples the tap gave while open
};

std::mutex &tapMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::shared_ptr<TapSink>> &tapSinks()
{
    static std::vector<std::shared_ptr<TapSink>> sinks;
    return sinks;
}

void appendTo(TapSink &sink, const int16_t *samples, size_t count, int rate)
{
    if (count == 0)
        return;
    sink.delivered += count;
    if (rate == TapRate || rate <= 0) {
        if (sink.muted)
            sink.pending.insert(sink.pending.end(), count, 0);
        else
            sink.pending.insert(sink.pending.end(), samples, samples + count);
        return;
    }
    const double step = double(rate) / TapRate;
    const auto at = [&](long k) { return k < 0 ? sink.last : samples[k]; };
    double pos = sink.phase;
    while (pos < double(count) - 1.0) {
        const long k = long(std::floor(pos));
        const double frac = pos - double(k);
        const double value = at(k) + (at(k + 1) - at(k)) * frac;
        sink.pending.push_back(sink.muted ? int16_t(0) : int16_t(std::lround(value)));
        pos += step;
    }
    sink.phase = pos - double(count);
    sink.last = samples[count - 1];
}

// Runs on the media thread (for the file sound card with the card's own lock held).
void dispatchTap(
    const void *source, FileSoundCard::Direction direction, const int16_t *samples, size_t count, int rate)
{
    std::lock_guard lock(tapMutex());
    for (const auto &sink : tapSinks()) {
        if (sink->open && sink->source == source && sink->direction == direction)
            appendTo(*sink, samples, count, rate);
    }
}

void driverTap(const _MSFactory *factory, bool captured, const int16_t *samples, size_t count, int rate)
{
    dispatchTap(factory, captured ? FileSoundCard::Direction::Captured : FileSoundCard::Direction::Played,
        samples, count, rate);
}

// Tests can have the drivers' tap used on the file sound card too.
bool driverTapOnFileCard()
{
    return qEnvironmentVariableIntValue("ORVALO_RECORD_DRIVER_TAP") == 1;
}

// Taps the drivers of the engine's factory; whether any driver is tapped.
bool tapDrivers(LinphoneCore *core)
{
    cardtap::setSink(driverTap);
    std::vector<std::string> tapped;
    std::vector<std::string> refused;
    const int count = cardtap::install(linphone_core_get_ms_factory(core),
        driverTapOnFileCard() ? nullptr : FileSoundCard::DriverName, &tapped, &refused);
    for (const std::string &name : tapped)
        LOG(QStringLiteral("Recording taps sound driver ") + QString::fromStdString(name));
    for (const std::string &name : refused)
        LOG(QStringLiteral("Recording cannot tap sound driver ") + QString::fromStdString(name));
    return count > 0;
}

// The call's audio runs through the sound card (not held by either side).
bool isLive(LinphoneCallState state)
{
    return state == LinphoneCallStateStreamsRunning || state == LinphoneCallStateUpdating
        || state == LinphoneCallStateUpdatedByRemote;
}

bool isOver(LinphoneCallState state)
{
    return state == LinphoneCallStateEnd || state == LinphoneCallStateError
        || state == LinphoneCallStateReleased;
}

size_t samplesFor(Clock::duration span, int rate)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
    return ms <= 0 ? 0 : size_t(ms) * size_t(rate) / 1000;
}

// The usual audio rate nearest to what a file of `bytes` (16-bit mono after a 44-byte header)
// recorded in `span` implies.
int likelyRate(qint64 bytes, Clock::duration span)
{
    const double seconds = std::chrono::duration<double>(span).count();
    if (seconds <= 0.1 || bytes <= 44)
        return TapRate;
    const double measured = double(bytes - 44) / 2.0 / seconds;
    int best = TapRate;
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        if (std::abs(rate - measured) < std::abs(best - measured))
            best = rate;
    }
    return best;
}

} // namespace

void cb_recorder_call_state_changed(LinphoneCall *call, LinphoneCallState state, const char *message);
void cb_recorder_core_call_state_changed(
    LinphoneCore *core, LinphoneCall *call, LinphoneCallState state, const char *message);

struct CallRecorder::Private
{
    enum class Source
    {
        Tap, // the file sound card's tap
        Library, // the stack's own recording of a call
        Silence // written at the end, as long as the other side
    };

    struct Side
    {
        Source source = Source::Silence;
        QString path;
        LinphoneCall *call = nullptr; // referenced while the side exists
        std::shared_ptr<TapSink> sink;
        MonoWavFile file;
        bool libraryRecording = false;
        Clock::time_point libraryStart;
        Clock::duration libraryTime {}; // how long the stack recorded
        QString libraryFile; // where the stack writes; moved to `path` at the end
        LinphoneConference *conference = nullptr; // recording the mix of bridged calls
        bool writeFailed = false;
        size_t delivered = 0; // what the tap gave, kept when the sink goes
    };

    struct Watch
    {
        LinphoneCall *call = nullptr;
        LinphoneCallCbs *cbs = nullptr;
    };

    Private(Settings &store, SipDialer *owner, SipDialer::Private *lib)
        : settings(store)
        , dialer(owner)
        , engine(lib)
    { }

    bool prepare();
    LinphoneCall *connectCall(Side &side, int id);
    void createTap(Side &side, FileSoundCard::Direction direction, bool drivers);
    void chooseSides();
    void watch(LinphoneCall *call);
    void callStateChanged(LinphoneCall *call, LinphoneCallState state);
    bool forSidesOf(LinphoneCall *call, bool starting);
    void begin(LinphoneCall *call);
    void listen(LinphoneCall *call, bool on);
    void end(LinphoneCall *call);
    void startLibraryRecording(Side &side);
    void stopLibraryRecording(Side &side);
    void drain();
    void drainSide(Side &side, bool final);
    void destroySide(Side &side);
    void completeFiles();
    void stop();

    Settings &settings;
    SipDialer *dialer;
    SipDialer::Private *engine;
    QString path;
    Side left;
    Side right;
    // With the drivers' tap: the stack's own recording, in case the tap got nothing (a driver
    // whose card it could not reach).
    Side backup;
    std::vector<Watch> watches;
    QTimer drainTimer;
    bool tapStarted = false;
    bool tapEnded = false;
    Clock::time_point tapStart;
    Clock::time_point tapEnd;
    bool stopped = false;
};

// A new call gets the name of the file the stack would record it into (nothing is written unless
// a recording starts): the recordings folder is known, the file sound card is not in use.
void cb_recorder_core_call_state_changed(
    LinphoneCore *core, LinphoneCall *call, LinphoneCallState state, const char *)
{
    if (state != LinphoneCallStateIncomingReceived && state != LinphoneCallStateOutgoingInit)
        return;
    LinphoneCoreCbs *cbs = linphone_core_get_current_callbacks(core);
    auto *engine = cbs ? static_cast<SipDialer::Private *>(linphone_core_cbs_get_user_data(cbs)) : nullptr;
    if (!engine || (engine->fileCard && !driverTapOnFileCard()))
        return;
    tapDrivers(core);
    const QString directory = engine->settings.getSetting(Settings::UserDir);
    if (directory.isEmpty())
        return;
    // The stack writes a WAV header only for a name ending in ".wav".
    const QByteArray file
        = QFile::encodeName(recordingPath(QDir(directory).absolutePath()) + QStringLiteral("-l.wav"));
    linphone_call_params_set_record_file(
        const_cast<LinphoneCallParams *>(linphone_call_get_params(call)), file.constData());
}

void cb_recorder_call_state_changed(LinphoneCall *call, LinphoneCallState state, const char *)
{
    LinphoneCallCbs *cbs = linphone_call_get_current_callbacks(call);
    if (auto *d = cbs ? static_cast<CallRecorder::Private *>(linphone_call_cbs_get_user_data(cbs)) : nullptr)
        d->callStateChanged(call, state);
}

bool CallRecorder::Private::prepare()
{
    QString directory = settings.getSetting(Settings::UserDir);
    if (directory.isEmpty())
        directory = QStringLiteral(".");
    directory = QDir(directory).absolutePath();
    if (!QDir().mkpath(directory))
        LOG(QStringLiteral("Failed creating recordings folder ") + directory);
    path = recordingPath(directory);
    left.path = path + QStringLiteral("-l");
    right.path = path + QStringLiteral("-r");
    QObject::connect(&drainTimer, &QTimer::timeout, &drainTimer, [this] { drain(); });
    drainTimer.setInterval(DrainMs);
    return engine && engine->core;
}

// The call behind an id, referenced for the side; null (and logged) when it carries no audio.
LinphoneCall *CallRecorder::Private::connectCall(Side &side, int id)
{
    LOG(QStringLiteral("Connecting call"));
    LinphoneCall *call = engine ? engine->callById(id) : nullptr;
    if (!call || isOver(linphone_call_get_state(call))) {
        LOG(QStringLiteral("Call has no conf port"));
        return nullptr;
    }
    side.call = linphone_call_ref(call);
    watch(call);
    return call;
}

void CallRecorder::Private::createTap(Side &side, FileSoundCard::Direction direction, bool drivers)
{
    LOG(QStringLiteral("Creating recorder"));
    side.source = Source::Tap;
    if (!side.file.open(side.path, TapRate)) {
        LOG(QStringLiteral("Failed creating file ") + side.file.errorString());
        side.writeFailed = true;
    } else {
        LOG(QStringLiteral("Recorder created"));
    }
    side.sink = std::make_shared<TapSink>();
    side.sink->dialer = dialer;
    side.sink->source = drivers ? static_cast<const void *>(linphone_core_get_ms_factory(engine->core.get()))
                                : static_cast<const void *>(engine->fileCard.get());
    side.sink->direction = direction;
    side.sink->muted = direction == FileSoundCard::Direction::Captured && dialer->isMuted();
    {
        std::lock_guard lock(tapMutex());
        tapSinks().push_back(side.sink);
    }
    if (drivers)
        return;
    // One dispatcher serves every recorder on the card (set again: the card may be a new one).
    FileSoundCard *card = engine->fileCard.get();
    card->setTap([card](FileSoundCard::Direction which, const int16_t *samples, size_t count, int rate) {
        dispatchTap(card, which, samples, count, rate);
    });
}

void CallRecorder::Private::watch(LinphoneCall *call)
{
    for (const Watch &w : watches) {
        if (w.call == call)
            return;
    }
    LinphoneCallCbs *cbs = linphone_factory_create_call_cbs(linphone_factory_get());
    linphone_call_cbs_set_user_data(cbs, this);
    linphone_call_cbs_set_state_changed(cbs, cb_recorder_call_state_changed);
    linphone_call_add_callbacks(call, cbs);
    watches.push_back({linphone_call_ref(call), cbs});
}

void CallRecorder::Private::callStateChanged(LinphoneCall *call, LinphoneCallState state)
{
    if (stopped)
        return;
    if (state == LinphoneCallStateStreamsRunning)
        begin(call);
    else if (isOver(state))
        end(call);
    else if (!isLive(state))
        listen(call, false);
}

// While the call is held (by us or the far end) the card carries other calls, or nothing: the
// call's sides hear nothing of it and go on as silence.
void CallRecorder::Private::listen(LinphoneCall *call, bool on)
{
    std::lock_guard lock(tapMutex());
    for (Side *side : {&left, &right}) {
        if (side->sink && side->call == call)
            side->sink->open = on && !tapEnded;
    }
}

// Starts or stops the library-recorded sides of `call`; true when one of its sides is tapped.
bool CallRecorder::Private::forSidesOf(LinphoneCall *call, bool starting)
{
    bool tap = false;
    for (Side *side : {&left, &right, &backup}) {
        if (side->call != call)
            continue;
        if (side->source == Source::Tap)
            tap = true;
        else if (side->source == Source::Library)
            starting ? startLibraryRecording(*side) : stopLibraryRecording(*side);
    }
    return tap;
}

void CallRecorder::Private::begin(LinphoneCall *call)
{
    const bool tap = forSidesOf(call, true);
    if (!tap || tapEnded)
        return;
    listen(call, isLive(linphone_call_get_state(call)));
    if (tapStarted)
        return;
    tapStarted = true;
    tapStart = Clock::now();
    drainTimer.start();
}

void CallRecorder::Private::end(LinphoneCall *call)
{
    const bool tap = forSidesOf(call, false);
    if (!tap || !tapStarted || tapEnded)
        return;
    // The call's end (and the tone that follows it) stays out of the file: the sides stop here and
    // get the call's exact length.
    tapEnded = true;
    tapEnd = Clock::now();
    {
        std::lock_guard lock(tapMutex());
        for (Side *side : {&left, &right}) {
            if (side->sink)
                side->sink->open = false;
        }
    }
    drainTimer.stop();
    drainSide(left, true);
    drainSide(right, true);
}

void CallRecorder::Private::startLibraryRecording(Side &side)
{
    if (side.libraryRecording || !side.call)
        return;
    // Calls mixed in the local conference cannot be recorded one by one: the conference's mix is.
    if (LinphoneConference *conference = linphone_call_get_conference(side.call)) {
        // Another extension than ".wav" or ".mkv" crashes the stack's conference recorder.
        const QString name = side.path + QStringLiteral(".wav");
        if (linphone_conference_start_recording(conference, QFile::encodeName(name).constData()) != 0) {
            LOG(QStringLiteral("Failed creating file ") + name);
            return;
        }
        side.conference = linphone_conference_ref(conference);
        side.libraryFile = name;
        side.libraryRecording = true;
        side.libraryStart = Clock::now();
        LOG(QStringLiteral("Recorder created"));
        return;
    }
    // The stack records into the file its parameters named when the call's audio started
    // (watchCalls()); a name given later is ignored.
    const char *preset = linphone_call_params_get_record_file(linphone_call_get_params(side.call));
    if (!preset || !*preset) {
        LOG(QStringLiteral("Failed creating file: the call has no record file"));
        return;
    }
    side.libraryFile = QFile::decodeName(preset);
    linphone_call_start_recording(side.call);
    side.libraryRecording = true;
    side.libraryStart = Clock::now();
    LOG(QStringLiteral("Recorder created"));
}

void CallRecorder::Private::stopLibraryRecording(Side &side)
{
    if (!side.libraryRecording)
        return;
    side.libraryRecording = false;
    side.libraryTime += Clock::now() - side.libraryStart;
    if (side.conference) {
        linphone_conference_stop_recording(side.conference);
        linphone_conference_unref(side.conference);
        side.conference = nullptr;
    } else {
        linphone_call_stop_recording(side.call);
    }
    if (!side.libraryFile.isEmpty() && side.libraryFile != side.path && QFileInfo::exists(side.libraryFile)) {
        QFile::remove(side.path);
        if (!QFile::rename(side.libraryFile, side.path))
            LOG(QStringLiteral("Failed moving ") + side.libraryFile + QStringLiteral(" to ") + side.path);
    }
}

void CallRecorder::Private::drain()
{
    drainSide(left, false);
    drainSide(right, false);
}

// Writes what the tap collected; keeps the side on the call's time line (silence for a gap, and
// at the end exactly the call's length).
void CallRecorder::Private::drainSide(Side &side, bool final)
{
    if (!side.sink)
        return;
    std::vector<int16_t> samples;
    {
        std::lock_guard lock(tapMutex());
        samples.swap(side.sink->pending);
    }
    if (!side.file.isOpen())
        return;
    const Clock::time_point now = final ? tapEnd : Clock::now();
    const size_t target = samplesFor(now - tapStart, TapRate);
    const size_t slack = final ? 0 : samplesFor(std::chrono::milliseconds(GapSlackMs), TapRate);
    bool ok = true;
    if (final && side.file.samples() + samples.size() > target)
        samples.resize(target > side.file.samples() ? target - side.file.samples() : 0);
    ok = side.file.append(samples.data(), samples.size()) && ok;
    if (side.file.samples() + slack < target)
        ok = side.file.appendSilence(target - slack - side.file.samples()) && ok;
    if (final)
        ok = side.file.truncate(target) && ok;
    if (!ok && !side.writeFailed) {
        side.writeFailed = true;
        LOG(QStringLiteral("Failed writing ") + side.path + QLatin1Char(' ') + side.file.errorString());
    }
}

void CallRecorder::Private::destroySide(Side &side)
{
    LOG(QStringLiteral("recorder destroyed"));
    if (side.sink) {
        std::lock_guard lock(tapMutex());
        side.delivered = side.sink->delivered;
        auto &sinks = tapSinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), side.sink), sinks.end());
    }
    side.sink.reset();
    stopLibraryRecording(side);
    side.file.close();
    if (side.call) {
        linphone_call_unref(side.call);
        side.call = nullptr;
    }
}

// The drivers' tap heard the card play, or the stack's own recording of the call takes the left
// channel and the right one stays silent.
void CallRecorder::Private::chooseSides()
{
    const bool heard = left.delivered > 0;
    if (heard) {
        QFile::remove(backup.path);
        return;
    }
    LOG(QStringLiteral("The sound device gave nothing to record: both sides on the left"));
    QFile::remove(left.path);
    QFile::remove(right.path);
    if (QFileInfo::exists(backup.path) && !QFile::rename(backup.path, left.path))
        LOG(QStringLiteral("Failed moving ") + backup.path + QStringLiteral(" to ") + left.path);
    left.source = Source::Library;
    left.libraryTime = backup.libraryTime;
    right.source = Source::Silence;
}

// The stack's files in the plain format the merge reads, at one rate; a side that recorded
// nothing (or is silent by design) becomes silence of the other side's length.
void CallRecorder::Private::completeFiles()
{
    int rate = 0;
    for (Side *side : {&left, &right}) {
        if (side->source == Source::Library && QFileInfo::exists(side->path)
            && wavSampleRate(side->path) == 0) {
            // The stack left the header unwritten: its rate follows from the samples it wrote
            // in the time it recorded.
            const int guessed = likelyRate(QFileInfo(side->path).size(), side->libraryTime);
            if (!repairWavHeader(side->path, guessed))
                LOG(QStringLiteral("Failed converting ") + side->path);
        }
        if (side->source == Source::Library && QFileInfo::exists(side->path)) {
            if (rate == 0)
                rate = wavSampleRate(side->path);
            if (rate > 0 && !conformWav(side->path, rate))
                LOG(QStringLiteral("Failed converting ") + side->path);
        }
    }
    if (rate == 0)
        rate = TapRate;
    for (Side *side : {&left, &right}) {
        if (side->source == Source::Tap || QFileInfo::exists(side->path))
            continue;
        const Side &other = side == &left ? right : left;
        QFile otherFile(other.path);
        const qint64 otherSamples = otherFile.exists() ? qMax<qint64>(0, (otherFile.size() - 44) / 2) : 0;
        MonoWavFile silent;
        if (!silent.open(side->path, rate) || !silent.appendSilence(size_t(otherSamples)))
            LOG(QStringLiteral("Failed creating file ") + silent.errorString());
    }
}

void CallRecorder::Private::stop()
{
    if (stopped)
        return;
    stopped = true;
    LOG(QStringLiteral("Recording ended"));
    if (tapStarted && !tapEnded) {
        tapEnded = true;
        tapEnd = Clock::now();
        std::lock_guard lock(tapMutex());
        for (Side *side : {&left, &right}) {
            if (side->sink)
                side->sink->open = false;
        }
    }
    drainTimer.stop();
    if (tapStarted) {
        drainSide(left, true);
        drainSide(right, true);
    }
    const bool withBackup = backup.source == Source::Library;
    destroySide(left);
    destroySide(right);
    if (withBackup)
        destroySide(backup);
    for (const Watch &w : watches) {
        linphone_call_remove_callbacks(w.call, w.cbs);
        linphone_call_cbs_unref(w.cbs);
        linphone_call_unref(w.call);
    }
    watches.clear();
    if (withBackup)
        chooseSides();
    completeFiles();

    if (!merge_audio_files(path)) {
        LOG(QStringLiteral("Failed to merge audio files"));
        return;
    }
    QFile::remove(right.path);
    QFile::remove(left.path);
}

// ---- CallRecorder ----

CallRecorder::CallRecorder(Settings &settings, SipDialer *dialer, int call_id)
    : d(std::make_unique<Private>(settings, dialer, dialer ? dialer->d.get() : nullptr))
{
    LOG(QStringLiteral("Recording call ") + QString::number(call_id));
    const bool running = d->prepare();
    LinphoneCall *call = nullptr;
    const bool fileCard = running && d->engine->fileCard && !driverTapOnFileCard();
    const bool drivers = running && !fileCard && tapDrivers(d->engine->core.get());
    if (fileCard || drivers) {
        d->createTap(d->left, FileSoundCard::Direction::Played, drivers);
        call = d->connectCall(d->left, call_id);
        d->createTap(d->right, FileSoundCard::Direction::Captured, drivers);
        d->right.call = call ? linphone_call_ref(call) : nullptr;
        if (drivers && call) {
            d->backup.source = Private::Source::Library;
            d->backup.path = d->path + QStringLiteral("-l.wav");
            d->backup.call = linphone_call_ref(call);
        }
    } else {
        if (running)
            LOG(QStringLiteral("Recording call ") + QString::number(call_id)
                + QStringLiteral(" with both sides on the left: the sound device offers no separate sides"));
        LOG(QStringLiteral("Creating recorder"));
        d->left.source = Private::Source::Library;
        d->right.source = Private::Source::Silence;
        call = running ? d->connectCall(d->left, call_id) : nullptr;
    }
    if (call && hasMedia(linphone_call_get_state(call)))
        d->begin(call);
}

CallRecorder::CallRecorder(Settings &settings, SipDialer *dialer, int call_a, int call_b)
    : d(std::make_unique<Private>(settings, dialer, dialer ? dialer->d.get() : nullptr))
{
    LOG(QStringLiteral("Recording calls ") + QString::number(call_a) + QLatin1Char(' ')
        + QString::number(call_b));
    const bool running = d->prepare();
    // The stack keeps the two directions of a call together, and records calls mixed in its
    // conference only as that mix: then the mix goes left and the right stays silent; otherwise
    // each channel holds one call's recording (its party and what it hears).
    LinphoneCall *first = running ? d->engine->callById(call_a) : nullptr;
    const bool mixed = first && linphone_call_get_conference(first);
    if (mixed)
        LOG(QStringLiteral("Recording calls ") + QString::number(call_a) + QLatin1Char(' ')
            + QString::number(call_b)
            + QStringLiteral(" as one mix on the left: the stack mixes bridged calls"));
    for (auto [side, id] : {std::pair {&d->left, call_a}, std::pair {&d->right, call_b}}) {
        LOG(QStringLiteral("Creating recorder"));
        side->source = mixed && side == &d->right ? Private::Source::Silence : Private::Source::Library;
        if (side->source == Private::Source::Silence)
            continue;
        LinphoneCall *call = running ? d->connectCall(*side, id) : nullptr;
        if (call && hasMedia(linphone_call_get_state(call)))
            d->startLibraryRecording(*side);
    }
}

CallRecorder::~CallRecorder()
{
    d->stop();
}

void CallRecorder::stop()
{
    d->stop();
}

QString CallRecorder::filePath() const
{
    return d->path;
}

void CallRecorder::microphoneMuted(const SipDialer *dialer, bool muted)
{
    std::lock_guard lock(tapMutex());
    for (const auto &sink : tapSinks()) {
        if (sink->dialer == dialer && sink->direction == FileSoundCard::Direction::Captured)
            sink->muted = muted;
    }
}

void CallRecorder::watchCalls(SipDialer *dialer)
{
    SipDialer::Private *engine = dialer ? dialer->d.get() : nullptr;
    if (!engine || !engine->core)
        return;
    LinphoneCoreCbs *cbs = linphone_factory_create_core_cbs(linphone_factory_get());
    linphone_core_cbs_set_user_data(cbs, engine);
    linphone_core_cbs_set_call_state_changed(cbs, cb_recorder_core_call_state_changed);
    linphone_core_add_callbacks(engine->core.get(), cbs);
    linphone_core_cbs_unref(cbs);
}

void CallRecorder::logLeftovers(const Settings &settings)
{
    const QString directory = settings.getSetting(Settings::UserDir);
    if (directory.isEmpty())
        return;
    for (const QString &file : leftoverRecordingFiles(directory))
        LOG(QStringLiteral("Unfinished recording file ") + file);
}
