#pragma once

// Test recordings for the benchmark: a speech-like signal as 16-bit WAV, or as 8 kHz mu-law for
// SIPp's RTP stream.

#include <QByteArray>
#include <QString>

namespace bench {

// A canonical WAV header for `dataBytes` of samples.
QByteArray wavHeader(int format, int rate, int bits, quint32 dataBytes);
// A speech-like test signal: two tones whose loudness varies, with a little noise.
qint16 testSample(qint64 i, int rate, double pitch);
bool writeMonoWav(const QString &path, int rate, qint64 samples, double pitch);
// 8 kHz mu-law WAV for SIPp's rtp_stream (payload type 0).
bool writeUlawWav(const QString &path, int seconds);

} // namespace bench
