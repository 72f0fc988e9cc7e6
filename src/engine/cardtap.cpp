#include "engine/cardtap.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include <mediastreamer2/msfactory.h>
#include <mediastreamer2/msfilter.h>
#include <mediastreamer2/mssndcard.h>

namespace {

std::atomic<cardtap::Sink> currentSink {nullptr};

struct DriverHook
{
    MSSndCardCreateReaderFunc reader = nullptr;
    MSSndCardCreateWriterFunc writer = nullptr;
};

// Per filter description: the copy whose process is routed through the tap, and the original.
struct FilterHook
{
    MSFilterDesc copy {};
    const MSFilterDesc *original = nullptr;
    bool captured = false;
};

std::mutex &hookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<const MSSndCardDesc *, DriverHook> &drivers()
{
    static std::map<const MSSndCardDesc *, DriverHook> map;
    return map;
}

// Keyed by the copy (what the filters point at) and by original + direction.
std::map<const MSFilterDesc *, std::unique_ptr<FilterHook>> &filterHooks()
{
    static std::map<const MSFilterDesc *, std::unique_ptr<FilterHook>> map;
    return map;
}

const FilterHook *hookOf(const MSFilterDesc *copy)
{
    std::lock_guard lock(hookMutex());
    const auto it = filterHooks().find(copy);
    return it == filterHooks().end() ? nullptr : it->second.get();
}

// Whether the bytes at `address` may be written (a mapping of this process with "w").
bool writable(const void *address, size_t size)
{
    FILE *maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return false;
    const auto begin = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = begin + size;
    bool ok = false;
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long from = 0;
        unsigned long to = 0;
        char perms[8] = {};
        if (std::sscanf(line, "%lx-%lx %7s", &from, &to, perms) != 3)
            continue;
        if (begin >= from && end <= to) {
            ok = perms[1] == 'w';
            break;
        }
    }
    std::fclose(maps);
    return ok;
}

void deliver(MSFilter *f, bool captured, mblk_t *m)
{
    const cardtap::Sink sink = currentSink.load();
    if (!sink || !m)
        return;
    int rate = 0;
    int channels = 1;
    ms_filter_call_method(f, MS_FILTER_GET_SAMPLE_RATE, &rate);
    ms_filter_call_method(f, MS_FILTER_GET_NCHANNELS, &channels);
    if (channels < 1)
        channels = 1;
    const auto *samples = reinterpret_cast<const int16_t *>(m->b_rptr);
    const size_t frames = size_t(m->b_wptr - m->b_rptr) / (2 * size_t(channels));
    if (channels == 1) {
        sink(f->factory, captured, samples, frames, rate);
        return;
    }
    std::unique_ptr<int16_t[]> mono(new int16_t[frames]);
    for (size_t i = 0; i < frames; ++i) {
        int sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += samples[i * size_t(channels) + size_t(c)];
        mono[i] = int16_t(sum / channels);
    }
    sink(f->factory, captured, mono.get(), frames, rate);
}

size_t queueLength(MSQueue *q)
{
    size_t n = 0;
    for (mblk_t *m = ms_queue_peek_first(q); !ms_queue_end(q, m); m = ms_queue_next(q, m))
        ++n;
    return n;
}

void tappedProcess(MSFilter *f)
{
    const FilterHook *hook = hookOf(f->desc);
    if (!hook)
        return;
    if (hook->captured) {
        MSQueue *out = f->outputs ? f->outputs[0] : nullptr;
        const size_t before = out ? queueLength(out) : 0;
        hook->original->process(f);
        if (!out)
            return;
        size_t index = 0;
        for (mblk_t *m = ms_queue_peek_first(out); !ms_queue_end(out, m); m = ms_queue_next(out, m)) {
            if (index++ >= before)
                deliver(f, true, m);
        }
        return;
    }
    if (MSQueue *in = f->inputs ? f->inputs[0] : nullptr) {
        for (mblk_t *m = ms_queue_peek_first(in); !ms_queue_end(in, m); m = ms_queue_next(in, m))
            deliver(f, false, m);
    }
    hook->original->process(f);
}

void interpose(MSFilter *f, bool captured)
{
    if (!f || !f->desc || !f->desc->process)
        return;
    std::lock_guard lock(hookMutex());
    auto &hooks = filterHooks();
    for (const auto &[copy, hook] : hooks) {
        if (hook->original == f->desc && hook->captured == captured) {
            f->desc = &hook->copy;
            return;
        }
    }
    auto hook = std::make_unique<FilterHook>();
    hook->original = f->desc;
    hook->captured = captured;
    hook->copy = *f->desc;
    hook->copy.process = tappedProcess;
    f->desc = &hook->copy;
    hooks.emplace(&hook->copy, std::move(hook));
}

DriverHook driverOf(const MSSndCard *card)
{
    std::lock_guard lock(hookMutex());
    const auto it = drivers().find(card->desc);
    return it == drivers().end() ? DriverHook {} : it->second;
}

MSFilter *tappedReader(MSSndCard *card)
{
    const DriverHook driver = driverOf(card);
    MSFilter *f = driver.reader ? driver.reader(card) : nullptr;
    interpose(f, true);
    return f;
}

MSFilter *tappedWriter(MSSndCard *card)
{
    const DriverHook driver = driverOf(card);
    MSFilter *f = driver.writer ? driver.writer(card) : nullptr;
    interpose(f, false);
    return f;
}

} // namespace

namespace cardtap {

void setSink(Sink sink)
{
    currentSink.store(sink);
}

int install(
    MSFactory *factory, const char *skip, std::vector<std::string> *tapped, std::vector<std::string> *refused)
{
    if (!factory)
        return 0;
    MSSndCardManager *manager = ms_factory_get_snd_card_manager(factory);
    for (const MSList *it = manager ? ms_snd_card_manager_get_list(manager) : nullptr; it; it = it->next) {
        auto *card = static_cast<MSSndCard *>(it->data);
        MSSndCardDesc *desc = card ? card->desc : nullptr;
        if (!desc || (skip && desc->driver_type && std::strcmp(desc->driver_type, skip) == 0))
            continue;
        std::lock_guard lock(hookMutex());
        if (drivers().count(desc))
            continue;
        const std::string name = desc->driver_type ? desc->driver_type : "";
        if (!writable(&desc->create_reader, sizeof desc->create_reader)
            || !writable(&desc->create_writer, sizeof desc->create_writer)) {
            if (refused)
                refused->push_back(name);
            continue;
        }
        if (tapped)
            tapped->push_back(name);
        DriverHook hook;
        hook.reader = desc->create_reader;
        hook.writer = desc->create_writer;
        drivers().emplace(desc, hook);
        if (hook.reader)
            desc->create_reader = tappedReader;
        if (hook.writer)
            desc->create_writer = tappedWriter;
    }
    std::lock_guard lock(hookMutex());
    return int(drivers().size());
}

} // namespace cardtap
