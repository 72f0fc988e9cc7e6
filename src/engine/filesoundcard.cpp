#include "engine/filesoundcard.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include <QFile>

#include <mediastreamer2/msfactory.h>
#include <mediastreamer2/msfilter.h>
#include <mediastreamer2/mssndcard.h>
#include <mediastreamer2/msticker.h>

#include "core/log.h"
#include "engine/recordingfiles.h"

const char *const FileSoundCard::DriverName = "OrvaloFile";
const char *const FileSoundCard::CardName = "File";

namespace {

std::mutex registryMutex;

std::map<MSFactory *, FileSoundCard *> &registry()
{
    static std::map<MSFactory *, FileSoundCard *> cards;
    return cards;
}

uint64_t steadyMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void putLe32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xff));
}

void putLe16(QByteArray &out, uint16_t v)
{
    out.append(static_cast<char>(v & 0xff));
    out.append(static_cast<char>(v >> 8));
}

FileSoundCard *cardOf(MSFilter *f)
{
    return static_cast<FileSoundCard *>(f->data ? *static_cast<FileSoundCard **>(f->data) : nullptr);
}

// ---- writer: mixes what it gets into the card's time line ----

struct WriterState
{
    FileSoundCard *card = nullptr; // first member: see cardOf()
    uint64_t position = 0;
    bool started = false;
};

void writerInit(MSFilter *f)
{
    f->data = new WriterState;
}

void writerUninit(MSFilter *f)
{
    delete static_cast<WriterState *>(f->data);
}

void writerProcess(MSFilter *f)
{
    auto *state = static_cast<WriterState *>(f->data);
    while (mblk_t *m = ms_queue_get(f->inputs[0])) {
        if (state->card) {
            if (!state->started) {
                state->position = state->card->elapsedMs() * FileSoundCard::OutputRate / 1000;
                state->started = true;
            }
            const size_t count = static_cast<size_t>(m->b_wptr - m->b_rptr) / 2;
            state->card->addPlayed(state->position, reinterpret_cast<const int16_t *>(m->b_rptr), count);
            state->position += count;
        }
        freemsg(m);
    }
}

void writerPostprocess(MSFilter *f)
{
    if (FileSoundCard *card = cardOf(f))
        card->flush();
}

int fixedRateSet(MSFilter *, void *arg)
{
    return *static_cast<int *>(arg) == FileSoundCard::OutputRate ? 0 : -1;
}

int fixedRateGet(MSFilter *, void *arg)
{
    *static_cast<int *>(arg) = FileSoundCard::OutputRate;
    return 0;
}

int monoSet(MSFilter *, void *arg)
{
    return *static_cast<int *>(arg) == 1 ? 0 : -1;
}

int monoGet(MSFilter *, void *arg)
{
    *static_cast<int *>(arg) = 1;
    return 0;
}

MSFilterMethod writerMethods[] = {
    {MS_FILTER_SET_SAMPLE_RATE, fixedRateSet},
    {MS_FILTER_GET_SAMPLE_RATE, fixedRateGet},
    {MS_FILTER_SET_NCHANNELS, monoSet},
    {MS_FILTER_GET_NCHANNELS, monoGet},
    {0, nullptr},
};

MSFilterDesc writerDesc
    = {MS_FILTER_PLUGIN_ID, "OrvaloFileWrite", "Writes what it plays to a WAV file", MS_FILTER_OTHER, nullptr,
        1, 0, writerInit, nullptr, writerProcess, writerPostprocess, writerUninit, writerMethods, 0};

// ---- reader: the input file at the ticker's pace ----

struct ReaderState
{
    FileSoundCard *card = nullptr; // first member: see cardOf()
    uint64_t startTime = 0;
    size_t produced = 0;
    bool started = false;
};

void readerInit(MSFilter *f)
{
    f->data = new ReaderState;
}

void readerUninit(MSFilter *f)
{
    delete static_cast<ReaderState *>(f->data);
}

void readerProcess(MSFilter *f)
{
    auto *state = static_cast<ReaderState *>(f->data);
    const int rate = state->card ? state->card->inputRate() : FileSoundCard::OutputRate;
    if (!state->started) {
        state->startTime = f->ticker->time;
        state->started = true;
    }
    const uint64_t elapsed = f->ticker->time - state->startTime;
    const size_t target = static_cast<size_t>((elapsed * rate) / 1000 + rate / 100);
    if (target <= state->produced)
        return;
    const size_t count = target - state->produced;
    mblk_t *m = allocb(static_cast<int>(count * 2), 0);
    auto *out = reinterpret_cast<int16_t *>(m->b_wptr);
    if (state->card) {
        state->card->readCaptured(state->produced, out, count);
    } else {
        std::memset(out, 0, count * 2);
    }
    m->b_wptr += count * 2;
    state->produced = target;
    ms_queue_put(f->outputs[0], m);
}

int readerRateSet(MSFilter *f, void *arg)
{
    const FileSoundCard *card = cardOf(f);
    return *static_cast<int *>(arg) == (card ? card->inputRate() : FileSoundCard::OutputRate) ? 0 : -1;
}

int readerRateGet(MSFilter *f, void *arg)
{
    const FileSoundCard *card = cardOf(f);
    *static_cast<int *>(arg) = card ? card->inputRate() : FileSoundCard::OutputRate;
    return 0;
}

MSFilterMethod readerMethods[] = {
    {MS_FILTER_SET_SAMPLE_RATE, readerRateSet},
    {MS_FILTER_GET_SAMPLE_RATE, readerRateGet},
    {MS_FILTER_SET_NCHANNELS, monoSet},
    {MS_FILTER_GET_NCHANNELS, monoGet},
    {0, nullptr},
};

MSFilterDesc readerDesc
    = {MS_FILTER_PLUGIN_ID, "OrvaloFileRead", "Plays a WAV file as microphone", MS_FILTER_OTHER, nullptr, 0,
        1, readerInit, nullptr, readerProcess, nullptr, readerUninit, readerMethods, 0};

// ---- the card ----

MSFilter *createReader(MSSndCard *card)
{
    MSFilter *f = ms_factory_create_filter_from_desc(ms_snd_card_get_factory(card), &readerDesc);
    static_cast<ReaderState *>(f->data)->card = static_cast<FileSoundCard *>(card->data);
    return f;
}

MSFilter *createWriter(MSSndCard *card)
{
    MSFilter *f = ms_factory_create_filter_from_desc(ms_snd_card_get_factory(card), &writerDesc);
    static_cast<WriterState *>(f->data)->card = static_cast<FileSoundCard *>(card->data);
    return f;
}

MSSndCard *duplicateCard(MSSndCard *card);

MSSndCardDesc cardDesc = {
    FileSoundCard::DriverName, FileSoundCard::detect,
    nullptr, // init
    nullptr, // set_level
    nullptr, // get_level
    nullptr, // set_capture
    nullptr, // set_control
    nullptr, // get_control
    createReader, createWriter,
    nullptr, // uninit: the data belongs to the FileSoundCard object
    duplicateCard,
    nullptr, // unload
    nullptr, // usage_hint
    nullptr, // audio_session_activated
    nullptr, // callkit_enabled
    nullptr, // audio_route_changed
    nullptr, // configure
    nullptr, // reload_requested
};

MSSndCard *newCard(FileSoundCard *owner)
{
    MSSndCard *card = ms_snd_card_new_with_name(&cardDesc, FileSoundCard::CardName);
    card->capabilities = MS_SND_CARD_CAP_CAPTURE | MS_SND_CARD_CAP_PLAYBACK;
    card->latency = 0;
    card->data = owner;
    return card;
}

MSSndCard *duplicateCard(MSSndCard *card)
{
    return newCard(static_cast<FileSoundCard *>(card->data));
}

} // namespace

FileSoundCard::FileSoundCard(const QString &inputWav, const QString &outputWav)
    : m_outputPath(outputWav)
    , m_epochMs(steadyMs())
{
    if (!inputWav.isEmpty() && !readMonoWav(inputWav, &m_input, &m_inputRate)) {
        LOG(QStringLiteral("File sound card: cannot read ") + inputWav);
        m_input.clear();
        m_inputRate = OutputRate;
    }
}

FileSoundCard::~FileSoundCard()
{
    unregister();
    flush();
}

void FileSoundCard::registerOn(MSFactory *factory)
{
    {
        std::lock_guard lock(registryMutex);
        registry()[factory] = this;
    }
    m_factory = factory;
    ms_snd_card_manager_register_desc(ms_factory_get_snd_card_manager(factory), &cardDesc);
}

void FileSoundCard::unregister()
{
    std::lock_guard lock(registryMutex);
    if (m_factory)
        registry().erase(m_factory);
    m_factory = nullptr;
}

void FileSoundCard::detect(MSSndCardManager *manager)
{
    FileSoundCard *owner = nullptr;
    {
        std::lock_guard lock(registryMutex);
        const auto it = registry().find(manager->factory);
        if (it != registry().end())
            owner = it->second;
    }
    // Another core's factory: this card belongs to the engine that registered it.
    if (owner)
        ms_snd_card_manager_add_card(manager, newCard(owner));
}

uint64_t FileSoundCard::elapsedMs() const
{
    return steadyMs() - m_epochMs;
}

void FileSoundCard::addPlayed(uint64_t position, const int16_t *samples, size_t count)
{
    std::lock_guard lock(m_mutex);
    if (m_played.size() < position + count)
        m_played.resize(position + count, 0);
    for (size_t i = 0; i < count; ++i) {
        const int sum = m_played[position + i] + samples[i];
        m_played[position + i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
    }
}

size_t FileSoundCard::readCaptured(size_t offset, int16_t *out, size_t count)
{
    size_t copied = 0;
    if (offset < m_input.size()) {
        copied = std::min(count, m_input.size() - offset);
        std::memcpy(out, m_input.data() + offset, copied * 2);
    }
    std::memset(out + copied, 0, (count - copied) * 2);
    return copied;
}

void FileSoundCard::flush()
{
    if (m_outputPath.isEmpty())
        return;
    QByteArray out;
    {
        std::lock_guard lock(m_mutex);
        const auto bytes = static_cast<uint32_t>(m_played.size() * 2);
        out.reserve(44 + static_cast<qsizetype>(bytes));
        out.append("RIFF");
        putLe32(out, 36 + bytes);
        out.append("WAVEfmt ");
        putLe32(out, 16);
        putLe16(out, 1);
        putLe16(out, 1);
        putLe32(out, OutputRate);
        putLe32(out, OutputRate * 2);
        putLe16(out, 2);
        putLe16(out, 16);
        out.append("data");
        putLe32(out, bytes);
        out.append(reinterpret_cast<const char *>(m_played.data()), static_cast<qsizetype>(bytes));
    }
    QFile file(m_outputPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        LOG(QStringLiteral("File sound card: cannot write ") + m_outputPath);
}
