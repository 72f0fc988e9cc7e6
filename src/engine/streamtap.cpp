#include "engine/streamtap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include <linphone/core.h>
#include <mediastreamer2/mediastream.h>
#include <mediastreamer2/msfilter.h>
#include <mediastreamer2/msticker.h>

// Exported by the library, declared only in its private headers: the media stream of a call.
extern "C" MediaStream *linphone_call_get_stream(LinphoneCall *call, LinphoneStreamType type);

namespace streamtap {
namespace {

// What the hook does on one filter.
struct Route
{
    Point point = Point::FarEnd;
    bool tapped = false; // point in use (else the filter only carries a tone)
    int pin = 0; // the input whose blocks are tapped
    int rate = 8000;
    int channels = 1;
    std::map<const void *, Sink> sinks;
    // A DTMF digit being mixed into the filter's input (the encoder's).
    double low = 0.0;
    double high = 0.0;
    size_t toneAt = 0;
    size_t toneLength = 0;
};

std::mutex &routeMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<const MSFilter *, Route> &routes()
{
    static std::map<const MSFilter *, Route> map;
    return map;
}

// The hooked copies of filter descriptions, kept for the life of the process (filters point at
// them), by original and by copy.
std::map<const MSFilterDesc *, std::unique_ptr<MSFilterDesc>> &copies()
{
    static std::map<const MSFilterDesc *, std::unique_ptr<MSFilterDesc>> map;
    return map;
}

std::map<const MSFilterDesc *, const MSFilterDesc *> &originals()
{
    static std::map<const MSFilterDesc *, const MSFilterDesc *> map;
    return map;
}

void deliver(const Route &route, const mblk_t *m)
{
    const auto *samples = reinterpret_cast<const int16_t *>(m->b_rptr);
    const int channels = std::max(route.channels, 1);
    const size_t frames = size_t(m->b_wptr - m->b_rptr) / (2 * size_t(channels));
    if (frames == 0)
        return;
    std::vector<int16_t> mono;
    if (channels > 1) {
        mono.resize(frames);
        for (size_t i = 0; i < frames; ++i) {
            int sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += samples[i * size_t(channels) + size_t(c)];
            mono[i] = int16_t(sum / channels);
        }
        samples = mono.data();
    }
    for (const auto &[owner, sink] : route.sinks)
        sink(samples, frames, route.rate);
}

// Mixes the pending digit into the blocks waiting on the queue; a block shared with another
// reader is copied first.
void mixTone(MSQueue *queue, Route &route)
{
    MSQueue mixed;
    ms_queue_init(&mixed);
    while (mblk_t *m = ms_queue_get(queue)) {
        if (route.toneAt < route.toneLength) {
            if (dblk_ref_value(m->b_datap) > 1) {
                mblk_t *own = copymsg(m);
                freemsg(m);
                m = own;
            }
            auto *samples = reinterpret_cast<int16_t *>(m->b_rptr);
            const int channels = std::max(route.channels, 1);
            const size_t frames = size_t(m->b_wptr - m->b_rptr) / (2 * size_t(channels));
            for (size_t i = 0; i < frames && route.toneAt < route.toneLength; ++i, ++route.toneAt) {
                const double t = double(route.toneAt) / route.rate;
                const double value
                    = 8000.0 * (std::sin(2 * M_PI * route.low * t) + std::sin(2 * M_PI * route.high * t));
                for (int c = 0; c < channels; ++c) {
                    int16_t &s = samples[i * size_t(channels) + size_t(c)];
                    s = int16_t(std::clamp(int(s) + int(std::lround(value)), -32768, 32767));
                }
            }
        }
        ms_queue_put(&mixed, m);
    }
    while (mblk_t *m = ms_queue_get(&mixed))
        ms_queue_put(queue, m);
}

// Runs on the media thread in place of the filter's own process; the filter's own process runs
// outside the lock, so that the calls' media threads wait for each other only while samples are
// handed on.
void hookedProcess(MSFilter *f)
{
    const MSFilterDesc *original = nullptr;
    {
        std::lock_guard lock(routeMutex());
        const auto known = originals().find(f->desc);
        if (known == originals().end())
            return;
        original = known->second;
        const auto it = routes().find(f);
        MSQueue *in = it != routes().end() && f->inputs ? f->inputs[it->second.pin] : nullptr;
        if (in) {
            Route &route = it->second;
            if (route.toneAt < route.toneLength)
                mixTone(in, route);
            if (route.tapped) {
                for (mblk_t *m = ms_queue_peek_first(in); !ms_queue_end(in, m); m = ms_queue_next(in, m))
                    deliver(route, m);
            }
        }
    }
    original->process(f);
}

// Gives the filter the hooked copy of its description (under its ticker's lock, so that no
// process runs meanwhile).
void hook(MSFilter *f)
{
    MSFilterDesc *copy = nullptr;
    {
        std::lock_guard lock(routeMutex());
        if (originals().count(f->desc))
            return;
        auto &entry = copies()[f->desc];
        if (!entry) {
            entry = std::make_unique<MSFilterDesc>(*f->desc);
            entry->process = hookedProcess;
            originals()[entry.get()] = f->desc;
        }
        copy = entry.get();
    }
    MSTicker *ticker = f->ticker;
    if (ticker)
        ms_mutex_lock(&ticker->lock);
    f->desc = copy;
    if (ticker)
        ms_mutex_unlock(&ticker->lock);
}

AudioStream *runningStream(LinphoneCall *call)
{
    auto *stream = reinterpret_cast<AudioStream *>(
        call ? linphone_call_get_stream(call, LinphoneStreamTypeAudio) : nullptr);
    return stream && media_stream_get_state(&stream->ms) == MSStreamStarted ? stream : nullptr;
}

// The far end where it enters the local tone generator (or, without one, the speaker's volume);
// the microphone where it enters the echo canceller (whose output carries traces of what the
// speaker plays), or without one, the microphone's volume. The filter and its input pin.
std::pair<MSFilter *, int> pointOf(AudioStream *stream, Point point)
{
    if (point == Point::FarEnd)
        return {stream->dtmfgen ? stream->dtmfgen : stream->volrecv, 0};
    return stream->ec ? std::pair {stream->ec, 1} : std::pair {stream->volsend, 0};
}

// Drops the sinks of `owner` at `point` except on `keep`, and the routes left with nothing to do.
void dropSinks(const void *owner, const Point *point, const MSFilter *keep)
{
    for (auto it = routes().begin(); it != routes().end();) {
        Route &route = it->second;
        if (it->first != keep && (!point || (route.tapped && route.point == *point)))
            route.sinks.erase(owner);
        route.tapped = route.tapped && !route.sinks.empty();
        if (!route.tapped && route.toneAt >= route.toneLength)
            it = routes().erase(it);
        else
            ++it;
    }
}

// Streams rebuilt by the stack (a re-INVITE, a join) free their filters without telling us, and
// a new filter may get a freed one's address: a route kept for an address whose filter is not
// hooked belongs to a filter that is gone. Called with routeMutex() held.
void forgetIfUnhooked(MSFilter *f)
{
    if (!originals().count(f->desc))
        routes().erase(f);
}

} // namespace

bool attach(LinphoneCall *call, Point point, const void *owner, Sink sink)
{
    AudioStream *stream = runningStream(call);
    const auto [f, pin] = stream ? pointOf(stream, point) : std::pair<MSFilter *, int> {nullptr, 0};
    std::unique_lock lock(routeMutex());
    dropSinks(owner, &point, f);
    if (!f)
        return false;
    forgetIfUnhooked(f);
    const auto existing = routes().find(f);
    if (existing != routes().end() && existing->second.tapped && existing->second.sinks.count(owner))
        return true;
    Route &route = routes()[f];
    route.point = point;
    route.tapped = true;
    route.pin = pin;
    route.rate = stream->sample_rate > 0 ? stream->sample_rate : 8000;
    route.channels = std::max(stream->nchannels, 1);
    route.sinks[owner] = std::move(sink);
    lock.unlock();
    hook(f);
    return true;
}

void detach(const void *owner)
{
    std::lock_guard lock(routeMutex());
    dropSinks(owner, nullptr, nullptr);
}

bool sendInband(LinphoneCall *call, char digit)
{
    static const char keys[] = "123A456B789C*0#D";
    static const double rows[] = {697, 770, 852, 941};
    static const double columns[] = {1209, 1336, 1477, 1633};
    const char *key = digit ? std::strchr(keys, digit) : nullptr;
    AudioStream *stream = runningStream(call);
    MSFilter *encoder = stream ? stream->ms.encoder : nullptr;
    if (!key || !encoder)
        return false;
    int rate = stream->sample_rate;
    if (ms_filter_has_method(encoder, MS_FILTER_GET_SAMPLE_RATE))
        ms_filter_call_method(encoder, MS_FILTER_GET_SAMPLE_RATE, &rate);
    {
        std::lock_guard lock(routeMutex());
        dropSinks(nullptr, nullptr, nullptr);
        forgetIfUnhooked(encoder);
        Route &route = routes()[encoder];
        route.rate = rate > 0 ? rate : 8000;
        route.channels = std::max(stream->nchannels, 1);
        route.low = rows[(key - keys) / 4];
        route.high = columns[(key - keys) % 4];
        route.toneAt = 0;
        route.toneLength = size_t(route.rate) / 10;
    }
    hook(encoder);
    return true;
}

} // namespace streamtap
