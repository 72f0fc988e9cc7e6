#include "engine/recordingfiles.h"

#include <algorithm>
#include <mutex>
#include <random>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 HeaderSize = 44;

uint32_t le32(const char *p)
{
    return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16
        | uint32_t(uint8_t(p[3])) << 24;
}

uint16_t le16(const char *p)
{
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}

void setLe32(char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}

void setLe16(char *p, uint16_t v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}

QByteArray canonicalHeader(int channels, int rate, uint32_t dataBytes)
{
    QByteArray header(HeaderSize, '\0');
    char *h = header.data();
    memcpy(h, "RIFF", 4);
    setLe32(h + 4, 36 + dataBytes);
    memcpy(h + 8, "WAVEfmt ", 8);
    setLe32(h + 16, 16);
    setLe16(h + 20, 1);
    setLe16(h + 22, uint16_t(channels));
    setLe32(h + 24, uint32_t(rate));
    setLe32(h + 28, uint32_t(rate * channels * 2));
    setLe16(h + 32, uint16_t(channels * 2));
    setLe16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    setLe32(h + 40, dataBytes);
    return header;
}

struct PcmWav
{
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> mono;
};

// A 16-bit PCM WAV file of any channel count, channels averaged. A data size of 0 or beyond the end
// of the file (a writer that never finished its header) reads to the end of the file.
bool readPcmWav(const QString &path, PcmWav *wav, bool withSamples)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return false;
    int bits = 0;
    qsizetype pos = 12;
    while (pos + 8 <= data.size()) {
        const QByteArray id = data.mid(pos, 4);
        qsizetype size = qsizetype(le32(data.constData() + pos + 4));
        const qsizetype body = pos + 8;
        if (id == "fmt " && body + 16 <= data.size()) {
            wav->channels = le16(data.constData() + body + 2);
            wav->rate = int(le32(data.constData() + body + 4));
            bits = le16(data.constData() + body + 14);
        } else if (id == "data") {
            if (wav->channels <= 0 || wav->rate <= 0 || bits != 16)
                return false;
            if (size == 0 || body + size > data.size())
                size = data.size() - body;
            if (!withSamples)
                return true;
            const qsizetype frame = 2 * wav->channels;
            for (qsizetype p = body; p + frame <= body + size; p += frame) {
                int sum = 0;
                for (int c = 0; c < wav->channels; ++c)
                    sum += int16_t(le16(data.constData() + p + 2 * c));
                wav->mono.push_back(int16_t(sum / wav->channels));
            }
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

} // namespace

QString randomString(int n)
{
    static std::mutex mutex;
    static std::mt19937 generator {std::random_device {}()};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::uniform_int_distribution<int> index(0, 25);
    std::lock_guard lock(mutex);
    QString text;
    text.reserve(n);
    for (int i = 0; i < n; ++i)
        text.append(QLatin1Char(letters[index(generator)]));
    return text;
}

QString recordingPath(const QString &directory)
{
    return directory + QStringLiteral("/Orvalo-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")) + QLatin1Char('-')
        + randomString(6) + QStringLiteral(".wav");
}

bool merge_audio_files(const QString &path)
{
    QFile left(path + QStringLiteral("-l"));
    QFile right(path + QStringLiteral("-r"));
    QFile out(path + QStringLiteral(".part"));
    if (!left.open(QIODevice::ReadOnly) || !right.open(QIODevice::ReadOnly))
        return false;
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto fail = [&out] {
        out.close();
        out.remove();
        return false;
    };

    QByteArray header = left.read(HeaderSize);
    const QByteArray rightHeader = right.read(HeaderSize);
    if (header.size() != HeaderSize || rightHeader.size() != HeaderSize)
        return fail();
    const char *l = header.constData();
    const char *r = rightHeader.constData();
    const uint16_t bits = le16(l + 34);
    if (le16(l + 22) != 1 || le16(r + 22) != 1 || le32(l + 24) != le32(r + 24) || bits != le16(r + 34)
        || bits == 0 || bits % 8 != 0)
        return fail();

    char *h = header.data();
    setLe16(h + 22, 2);
    setLe32(h + 28, le32(l + 24) * bits / 4);
    setLe16(h + 32, uint16_t(bits / 4));
    setLe32(h + 40, 0);
    if (out.write(header) != HeaderSize)
        return fail();

    // Sample by sample, in blocks: one sample of each side per frame, silence where a side has
    // ended, and one final frame of silence after both have.
    const qint64 sample = bits / 8;
    constexpr qint64 BlockFrames = 8192;
    uint64_t dataBytes = 0;
    QByteArray frames;
    while (true) {
        const QByteArray a = left.read(BlockFrames * sample);
        const QByteArray b = right.read(BlockFrames * sample);
        const qint64 aCount = a.size() / sample;
        const qint64 bCount = b.size() / sample;
        const qint64 count = std::max(aCount, bCount);
        const bool last = count < BlockFrames;
        const qint64 written = last ? count + 1 : count;
        frames.fill('\0', written * 2 * sample);
        for (qint64 i = 0; i < aCount; ++i)
            memcpy(frames.data() + i * 2 * sample, a.constData() + i * sample, size_t(sample));
        for (qint64 i = 0; i < bCount; ++i)
            memcpy(frames.data() + i * 2 * sample + sample, b.constData() + i * sample, size_t(sample));
        if (out.write(frames) != frames.size())
            return fail();
        dataBytes += uint64_t(frames.size());
        if (last)
            break;
    }
    if (dataBytes > 0xffffffffULL - 36)
        return fail();

    setLe32(h + 4, uint32_t(dataBytes + 36));
    setLe32(h + 40, uint32_t(dataBytes));
    if (!out.seek(0) || out.write(header) != HeaderSize || !out.flush())
        return fail();
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail();
    QFile::remove(path);
    if (!out.rename(path)) {
        out.remove();
        return false;
    }
    return true;
}

QStringList leftoverRecordingFiles(const QString &directory)
{
    QStringList found;
    const QDir dir(directory);
    const QStringList names = dir.entryList(
        {QStringLiteral("Orvalo-*.wav-l"), QStringLiteral("Orvalo-*.wav-r")}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        found.append(dir.filePath(name));
    return found;
}

// ---- MonoWavFile ----

bool MonoWavFile::open(const QString &path, int rate)
{
    close();
    m_file.setFileName(path);
    m_rate = rate;
    m_samples = 0;
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    return writeHeader();
}

bool MonoWavFile::writeHeader()
{
    const qint64 end = m_file.pos();
    const QByteArray header = canonicalHeader(1, m_rate, uint32_t(m_samples * 2));
    if (!m_file.seek(0) || m_file.write(header) != header.size())
        return false;
    return m_file.seek(std::max(end, HeaderSize)) && m_file.flush();
}

bool MonoWavFile::append(const int16_t *samples, size_t count)
{
    if (!m_file.isOpen())
        return false;
    if (count == 0)
        return true;
    const qint64 bytes = qint64(count * 2);
    if (m_file.write(reinterpret_cast<const char *>(samples), bytes) != bytes)
        return false;
    m_samples += count;
    return writeHeader();
}

void MonoWavFile::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool readMonoWav(const QString &path, std::vector<int16_t> *samples, int *rate)
{
    PcmWav wav;
    if (!readPcmWav(path, &wav, true))
        return false;
    *samples = std::move(wav.mono);
    *rate = wav.rate;
    return true;
}
