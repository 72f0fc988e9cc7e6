#include "benchwav.h"

#include <algorithm>
#include <cmath>

#include <QFile>

namespace bench {

namespace {

void appendLe(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

} // namespace

// A canonical WAV header for `dataBytes` of samples.
QByteArray wavHeader(int format, int rate, int bits, quint32 dataBytes)
{
    QByteArray header("RIFF");
    appendLe(header, 36 + dataBytes, 4);
    header.append("WAVEfmt ");
    appendLe(header, 16, 4);
    appendLe(header, quint32(format), 2);
    appendLe(header, 1, 2);
    appendLe(header, quint32(rate), 4);
    appendLe(header, quint32(rate * bits / 8), 4);
    appendLe(header, quint32(bits / 8), 2);
    appendLe(header, quint32(bits), 2);
    header.append("data");
    appendLe(header, dataBytes, 4);
    return header;
}

// A speech-like test signal: two tones whose loudness varies, with a little noise.
qint16 testSample(qint64 i, int rate, double pitch)
{
    const double t = double(i) / rate;
    const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 0.7 * t);
    const double noise = double((i * 1103515245 + 12345) % 2001 - 1000) / 1000.0;
    const double v
        = envelope * (0.35 * std::sin(2 * M_PI * pitch * t) + 0.15 * std::sin(2 * M_PI * 2.7 * pitch * t))
        + 0.02 * noise;
    return qint16(std::clamp(v, -1.0, 1.0) * 32767);
}

bool writeMonoWav(const QString &path, int rate, qint64 samples, double pitch)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(wavHeader(1, rate, 16, quint32(samples * 2)));
    QByteArray block;
    for (qint64 i = 0; i < samples; ++i) {
        const quint16 s = quint16(testSample(i, rate, pitch));
        block.append(char(s & 0xff)).append(char(s >> 8));
        if (block.size() >= 1 << 16 || i + 1 == samples) {
            if (file.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return true;
}

namespace {

// G.711 mu-law of a 16-bit sample.
quint8 ulaw(qint16 sample)
{
    constexpr int Bias = 0x84;
    int value = sample;
    const int sign = value < 0 ? 0x80 : 0;
    if (sign)
        value = -value;
    value = std::min(value, 32635) + Bias;
    int exponent = 7;
    for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (value >> (exponent + 3)) & 0x0f;
    return quint8(~(sign | (exponent << 4) | mantissa));
}

} // namespace

// 8 kHz mu-law WAV for SIPp's rtp_stream (payload type 0).
bool writeUlawWav(const QString &path, int seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const int samples = seconds * 8000;
    QByteArray data;
    data.reserve(samples);
    for (int i = 0; i < samples; ++i)
        data.append(char(ulaw(testSample(i, 8000, 300))));
    return file.write(wavHeader(7, 8000, 8, quint32(samples))) == 44 && file.write(data) == data.size();
}

} // namespace bench
