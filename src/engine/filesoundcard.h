#pragma once

// Engine-private: a sound card backed by WAV files, for tests and demos without audio hardware.

#include <cstdint>
#include <mutex>
#include <vector>

#include <QString>

struct _MSFactory;
struct _MSFilter;
struct _MSSndCard;
struct _MSSndCardManager;

// Its microphone plays a WAV file once (then silence); what it would play (ringer, ringback, call
// audio, every writer mixed on one time line) is written to a mono 16 kHz WAV file.
class FileSoundCard final
{
public:
    static constexpr int OutputRate = 16000;
    static const char *const DriverName;
    static const char *const CardName;

    FileSoundCard(const QString &inputWav, const QString &outputWav);
    ~FileSoundCard();
    FileSoundCard(const FileSoundCard &) = delete;
    FileSoundCard &operator=(const FileSoundCard &) = delete;

    // Makes the card known to the factory's sound card manager; the core lists it only after
    // linphone_core_reload_sound_devices(). Unregister before the factory goes away.
    void registerOn(_MSFactory *factory);
    void unregister();

    // Writes everything played so far to the output file (also done when a writer closes).
    void flush();

    const QString &outputPath() const { return m_outputPath; }

    // Used by the card's filters.
    static void detect(_MSSndCardManager *manager);
    void addPlayed(uint64_t position, const int16_t *samples, size_t count);
    size_t readCaptured(size_t offset, int16_t *out, size_t count);

    int inputRate() const { return m_inputRate; }

    // Milliseconds since the card was created: the time line the writers share.
    uint64_t elapsedMs() const;

private:
    QString m_outputPath;
    std::vector<int16_t> m_input;
    int m_inputRate = OutputRate;
    _MSFactory *m_factory = nullptr;
    uint64_t m_epochMs = 0;

    mutable std::mutex m_mutex;
    std::vector<int16_t> m_played;
};
