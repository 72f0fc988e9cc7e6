// CallRecorder: the two sides of a call, each into its own mono file while the call runs, merged
// into one stereo file at the end.
//
// Both sides come from the call's own audio stream (streamtap.h): the far end as the network
// delivers it, before the stack mixes in DTMF feedback or a call-waiting tone; our side as the
// microphone gives it, after mute and before any tone we send. The ringer, a played file and
// other calls reach the sound card only, never these points. Two bridged calls: each call's far
// end on its channel.
//
// Time line: each side is placed on the recording's clock (from the moment the first side's
// audio ran): a block that arrives late, a held call or a stopped stream is filled with silence,
// so that the two sides stay aligned. Nothing that was delivered is dropped.

#include "engine/callrecorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include <QDir>
#include <QTimer>

#include <linphone/core.h>

#include "core/log.h"
#include "core/settings.h"
#include "engine/linphoneutil.h"
#include "engine/recordingfiles.h"
#include "engine/sipdialer_p.h"
#include "engine/streamtap.h"

namespace {

using lp::hasMedia;
using Clock = std::chrono::steady_clock;

// The per-side files are written at this rate, whatever the call's codec.
constexpr int FileRate = 16000;
// The media thread's samples reach the files from the UI thread at this period.
constexpr int DrainMs = 200;
// A side that delivers nothing for longer than this (a held call, a stopped stream) is filled
// with silence up to the recording's clock.
constexpr int GapSlackMs = 300;
// A block that arrives more than this behind its place on the clock is preceded by silence.
constexpr int LateMs = 60;

size_t samplesFor(Clock::duration span)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
    return ms <= 0 ? 0 : size_t(ms) * FileRate / 1000;
}

// One side, shared with the media thread that runs the tap.
struct TapSink
{
    const SipDialer *dialer = nullptr;
    bool microphone = false;
    // Guarded by tapMutex().
    bool open = false;
    bool muted = false;
    Clock::time_point start;
    std::vector<int16_t> pending;
    size_t produced = 0; // samples on the time line so far (written and pending)
    // Linear resampling to FileRate: position of the next output sample relative to the start of
    // the next input block (-1 = the last sample of the previous block), and that sample.
    double phase = 0.0;
    int16_t last = 0;
};

std::mutex &tapMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Every sink, for the engine's microphone switch.
std::vector<std::shared_ptr<TapSink>> &tapSinks()
{
    static std::vector<std::shared_ptr<TapSink>> sinks;
    return sinks;
}

void padTo(TapSink &sink, size_t target)
{
    if (sink.produced >= target)
        return;
    sink.pending.insert(sink.pending.end(), target - sink.produced, 0);
    sink.produced = target;
}

void append(TapSink &sink, const int16_t *samples, size_t count, int rate)
{
    const size_t before = sink.pending.size();
    if (rate == FileRate || rate <= 0) {
        sink.pending.insert(sink.pending.end(), samples, samples + count);
    } else {
        const double step = double(rate) / FileRate;
        const auto at = [&](long k) { return k < 0 ? sink.last : samples[k]; };
        double pos = sink.phase;
        while (pos < double(count) - 1.0) {
            const long k = long(std::floor(pos));
            const double value = at(k) + (at(k + 1) - at(k)) * (pos - double(k));
            sink.pending.push_back(int16_t(std::lround(value)));
            pos += step;
        }
        sink.phase = pos - double(count);
        sink.last = samples[count - 1];
    }
    if (sink.muted)
        std::fill(sink.pending.begin() + long(before), sink.pending.end(), int16_t(0));
    sink.produced += sink.pending.size() - before;
}

// Runs on the media thread.
void deliver(TapSink &sink, const int16_t *samples, size_t count, int rate)
{
    std::lock_guard lock(tapMutex());
    if (!sink.open || count == 0)
        return;
    const size_t length = rate > 0 ? count * FileRate / size_t(rate) : count;
    const size_t due = samplesFor(Clock::now() - sink.start);
    const size_t late = samplesFor(std::chrono::milliseconds(LateMs));
    if (sink.produced + length + late < due)
        padTo(sink, due - length);
    append(sink, samples, count, rate);
}

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

} // namespace

void cb_recorder_call_state_changed(LinphoneCall *call, LinphoneCallState state, const char *message);

struct CallRecorder::Private
{
    enum class Phase
    {
        Waiting, // no side's audio has run yet
        Running,
        Ended // the calls ended or the recording stopped: the files are complete
    };

    struct Side
    {
        QString path;
        streamtap::Point point = streamtap::Point::FarEnd;
        LinphoneCall *call = nullptr; // referenced while the side exists
        bool over = false; // its call ended
        std::shared_ptr<TapSink> sink;
        MonoWavFile file;
        bool writeFailed = false;
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
    void createSide(Side &side, streamtap::Point point, int id);
    void watch(LinphoneCall *call);
    void callStateChanged(LinphoneCall *call, LinphoneCallState state);
    void listen(Side &side, bool on);
    void begin(LinphoneCall *call);
    void end(LinphoneCall *call);
    void drain();
    void drainSide(Side &side);
    void finish();
    void destroySide(Side &side);
    void stop();

    Settings &settings;
    SipDialer *dialer;
    SipDialer::Private *engine;
    QString path;
    Side left;
    Side right;
    std::vector<Watch> watches;
    QTimer drainTimer;
    Phase phase = Phase::Waiting;
    Clock::time_point start;
    Clock::time_point endedAt;
    bool stopped = false;
};

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

// The side's file and sink, and its call (referenced and watched); a call id without a call with
// audio leaves the side silent.
void CallRecorder::Private::createSide(Side &side, streamtap::Point point, int id)
{
    LOG(QStringLiteral("Creating recorder"));
    side.point = point;
    if (!side.file.open(side.path, FileRate)) {
        LOG(QStringLiteral("Failed creating file ") + side.file.errorString());
        side.writeFailed = true;
    } else {
        LOG(QStringLiteral("Recorder created"));
    }
    side.sink = std::make_shared<TapSink>();
    side.sink->dialer = dialer;
    side.sink->microphone = point == streamtap::Point::Microphone;
    side.sink->muted = side.sink->microphone && dialer && dialer->isMuted();
    {
        std::lock_guard lock(tapMutex());
        tapSinks().push_back(side.sink);
    }
    LOG(QStringLiteral("Connecting call"));
    LinphoneCall *call = engine ? engine->callById(id) : nullptr;
    if (!call || isOver(linphone_call_get_state(call))) {
        LOG(QStringLiteral("Call has no conf port"));
        side.over = true;
        return;
    }
    side.call = linphone_call_ref(call);
    watch(call);
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
    if (stopped || phase == Phase::Ended)
        return;
    if (state == LinphoneCallStateStreamsRunning) {
        begin(call);
    } else if (isOver(state)) {
        end(call);
    } else if (!isLive(state)) {
        // Held by us or the far end: the side goes on as silence.
        for (Side *side : {&left, &right}) {
            if (side->call == call)
                listen(*side, false);
        }
    }
}

// Taps the side's point on its call's current stream (again after the stack rebuilt it), or
// stops listening.
void CallRecorder::Private::listen(Side &side, bool on)
{
    bool tapped = false;
    if (on && side.call && !side.over) {
        std::weak_ptr<TapSink> weak = side.sink;
        tapped
            = streamtap::attach(side.call, side.point, &side, [weak](const int16_t *s, size_t n, int rate) {
                  if (const auto sink = weak.lock())
                      deliver(*sink, s, n, rate);
              });
    } else {
        streamtap::detach(&side);
    }
    std::lock_guard lock(tapMutex());
    side.sink->open = tapped;
}

void CallRecorder::Private::begin(LinphoneCall *call)
{
    if (phase == Phase::Waiting) {
        phase = Phase::Running;
        start = Clock::now();
        {
            std::lock_guard lock(tapMutex());
            for (Side *side : {&left, &right})
                side->sink->start = start;
        }
        drainTimer.start();
    }
    for (Side *side : {&left, &right}) {
        if (side->call == call)
            listen(*side, isLive(linphone_call_get_state(call)));
    }
}

// The call's sides stop here; the recording ends when no side has a call left.
void CallRecorder::Private::end(LinphoneCall *call)
{
    for (Side *side : {&left, &right}) {
        if (side->call == call) {
            side->over = true;
            listen(*side, false);
        }
    }
    if (phase == Phase::Running && left.over && right.over)
        finish();
}

void CallRecorder::Private::drain()
{
    drainSide(left);
    drainSide(right);
}

// Writes what the tap collected; a side that hears nothing is kept on the recording's clock with
// silence. At the end both sides reach the recording's length; nothing delivered is cut.
void CallRecorder::Private::drainSide(Side &side)
{
    if (phase == Phase::Running && side.call && !side.over && isLive(linphone_call_get_state(side.call)))
        listen(side, true); // the stack may have rebuilt the stream
    std::vector<int16_t> samples;
    {
        std::lock_guard lock(tapMutex());
        const size_t due = samplesFor((phase == Phase::Ended ? endedAt : Clock::now()) - start);
        const size_t slack = phase == Phase::Ended ? 0 : samplesFor(std::chrono::milliseconds(GapSlackMs));
        if (due > slack)
            padTo(*side.sink, due - slack);
        samples.swap(side.sink->pending);
    }
    if (!side.file.isOpen())
        return;
    if (!side.file.append(samples.data(), samples.size()) && !side.writeFailed) {
        side.writeFailed = true;
        LOG(QStringLiteral("Failed writing ") + side.path + QLatin1Char(' ') + side.file.errorString());
    }
}

void CallRecorder::Private::finish()
{
    endedAt = Clock::now();
    for (Side *side : {&left, &right})
        listen(*side, false);
    phase = Phase::Ended;
    drainTimer.stop();
    drain();
}

void CallRecorder::Private::destroySide(Side &side)
{
    LOG(QStringLiteral("recorder destroyed"));
    streamtap::detach(&side);
    if (side.sink) {
        std::lock_guard lock(tapMutex());
        auto &sinks = tapSinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), side.sink), sinks.end());
    }
    side.sink.reset();
    side.file.close();
    if (side.call) {
        linphone_call_unref(side.call);
        side.call = nullptr;
    }
}

void CallRecorder::Private::stop()
{
    if (stopped)
        return;
    LOG(QStringLiteral("Recording ended"));
    if (phase == Phase::Running)
        finish();
    stopped = true;
    destroySide(left);
    destroySide(right);
    for (const Watch &w : watches) {
        linphone_call_remove_callbacks(w.call, w.cbs);
        linphone_call_cbs_unref(w.cbs);
        linphone_call_unref(w.call);
    }
    watches.clear();

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
    d->prepare();
    d->createSide(d->left, streamtap::Point::FarEnd, call_id);
    d->createSide(d->right, streamtap::Point::Microphone, call_id);
    if (LinphoneCall *call = d->left.call; call && hasMedia(linphone_call_get_state(call)))
        d->begin(call);
}

CallRecorder::CallRecorder(Settings &settings, SipDialer *dialer, int call_a, int call_b)
    : d(std::make_unique<Private>(settings, dialer, dialer ? dialer->d.get() : nullptr))
{
    LOG(QStringLiteral("Recording calls ") + QString::number(call_a) + QLatin1Char(' ')
        + QString::number(call_b));
    d->prepare();
    d->createSide(d->left, streamtap::Point::FarEnd, call_a);
    d->createSide(d->right, streamtap::Point::FarEnd, call_b);
    for (LinphoneCall *call : {d->left.call, d->right.call}) {
        if (call && hasMedia(linphone_call_get_state(call)))
            d->begin(call);
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
        if (sink->dialer == dialer && sink->microphone)
            sink->muted = muted;
    }
}

void CallRecorder::logLeftovers(const Settings &settings)
{
    const QString directory = settings.getSetting(Settings::UserDir);
    if (directory.isEmpty())
        return;
    for (const QString &file : leftoverRecordingFiles(directory))
        LOG(QStringLiteral("Unfinished recording file ") + file);
}
