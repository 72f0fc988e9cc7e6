#pragma once

// The files of call recordings: names, the mono per-side WAV files written while a call runs, and
// the merge of the two sides into the final stereo file. No library code: testable on its own.

#include <cstdint>
#include <vector>

#include <QFile>
#include <QString>
#include <QStringList>

// n characters drawn uniformly from A..Z by one process-wide generator.
QString randomString(int n);

// Full path of a new recording in `directory`: "Orvalo-" + local date and time + "-" + six random
// capital letters + ".wav". The per-side files are this path + "-l" and + "-r".
QString recordingPath(const QString &directory);

// Interleaves path + "-l" (left) and path + "-r" (right), both mono with the same format, into the
// stereo file `path`; the shorter side is padded with silence. The result is written under a
// temporary name and renamed into place only when complete, so `path` never holds a partial file.
bool merge_audio_files(const QString &path);

// Per-side files left behind in `directory` by a recording that never finished (a crash, a failed
// merge): "-l" and "-r".
QStringList leftoverRecordingFiles(const QString &directory);

// The samples of a 16-bit PCM WAV file (channels averaged) and its rate; false when it is none.
bool readMonoWav(const QString &path, std::vector<int16_t> *samples, int *rate);

// A mono 16-bit PCM WAV file written in steps. The header is brought up to date after every
// append, so that a process ending mid-call leaves a readable file.
class MonoWavFile final
{
public:
    MonoWavFile() = default;
    MonoWavFile(const MonoWavFile &) = delete;
    MonoWavFile &operator=(const MonoWavFile &) = delete;

    // Creates (truncates) the file with a header and no samples.
    bool open(const QString &path, int rate);
    bool append(const int16_t *samples, size_t count);
    void close();

    bool isOpen() const { return m_file.isOpen(); }

    size_t samples() const { return m_samples; }

    int rate() const { return m_rate; }

    QString errorString() const { return m_file.errorString(); }

private:
    bool writeHeader();

    QFile m_file;
    int m_rate = 0;
    size_t m_samples = 0;
};
