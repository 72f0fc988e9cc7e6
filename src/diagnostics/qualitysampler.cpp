#include "diagnostics/qualitysampler.h"

#include <algorithm>
#include <cmath>

#include <QLocale>

namespace {
// Milliseconds (possibly negative, NaN or huge from a confused report) as whole microseconds.
qint64 micros(double ms)
{
    if (!std::isfinite(ms) || ms <= 0)
        return 0;
    constexpr double limit = 1e12; // eleven days: nothing real is longer
    return qint64(std::llround(std::min(ms * 1000.0, limit)));
}

void widen(qint64 value, qint64 &min, qint64 &max, bool first)
{
    min = first ? value : std::min(min, value);
    max = first ? value : std::max(max, value);
}
} // namespace

void QualityTrack::add(const CallQuality &quality)
{
    if (!quality.available)
        return;
    const bool first = samples == 0;
    // Loss rates are of the last report interval: apply them to the packets sent since the last
    // sample. A counter that went backwards (a new stream after a re-INVITE) starts over.
    const quint64 sentNow = quality.packetsSent;
    const quint64 sentSince = sentNow >= lastPacketsSent ? sentNow - lastPacketsSent : sentNow;
    double rate = quality.sentLossRate;
    if (!std::isfinite(rate) || rate < 0)
        rate = 0;
    rate = std::min(rate, 100.0);
    sentLost += qint64(std::llround(double(sentSince) * rate / 100.0));
    lastPacketsSent = sentNow;
    receivedLost = std::max<qint64>(0, quality.receivedLost);
    widen(micros(quality.sentJitterMs), sentJitterMin, sentJitterMax, first);
    widen(micros(quality.receivedJitterMs), receivedJitterMin, receivedJitterMax, first);
    if (quality.roundTripMs > 0 && std::isfinite(quality.roundTripMs)) {
        roundTripNow = micros(quality.roundTripMs);
        // The first report sets both extremes; before it they stay 0.
        const bool firstTrip = roundTripMax == 0;
        widen(roundTripNow, roundTripMin, roundTripMax, firstTrip);
    }
    rating = std::isfinite(quality.rating) && quality.rating >= 0 ? std::min(quality.rating, 5.0) : -1;
    ++samples;
}

QString formatQualityLine(const QDateTime &when, const QualityTrack &t)
{
    const auto n = [](qint64 v) { return QString::number(v); };
    QString text = QLocale::c().toString(when, QStringLiteral("dd-MMM-yyyy HH:mm:ss"));
    text += QStringLiteral(" Local: Lost ") + n(t.sentLost) + QStringLiteral(" Maxjit ") + n(t.sentJitterMax)
        + QStringLiteral(" Minjit ") + n(t.sentJitterMin) + QStringLiteral(" ");
    text += QStringLiteral(" Remote: Lost ") + n(t.receivedLost) + QStringLiteral(" Maxjit ")
        + n(t.receivedJitterMax) + QStringLiteral(" Minjit ") + n(t.receivedJitterMin) + QStringLiteral(" ");
    text += QStringLiteral(" RTT: Now ") + n(t.roundTripNow) + QStringLiteral(" Max ") + n(t.roundTripMax)
        + QStringLiteral(" Min ") + n(t.roundTripMin) + QStringLiteral(" ");
    if (t.rating >= 0)
        text += QStringLiteral(" Quality ") + QString::number(t.rating, 'f', 1) + QStringLiteral(" ");
    text += QLatin1Char('\n');
    return text;
}

QualitySampler::QualitySampler(CallList answeredCalls, Reader read, QObject *parent)
    : QObject(parent)
    , m_answeredCalls(std::move(answeredCalls))
    , m_read(std::move(read))
{
    m_timer.setInterval(DefaultIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &QualitySampler::sample);
}

QualitySampler::~QualitySampler() = default;

void QualitySampler::setInterval(int ms)
{
    m_timer.setInterval(ms);
}

void QualitySampler::start()
{
    m_timer.start();
}

void QualitySampler::stop()
{
    m_timer.stop();
}

void QualitySampler::sample()
{
    const QList<int> calls = m_answeredCalls();
    for (auto it = m_tracks.begin(); it != m_tracks.end();) {
        if (calls.contains(it.key()))
            ++it;
        else
            it = m_tracks.erase(it);
    }
    const QDateTime now = QDateTime::currentDateTime();
    for (int id : calls) {
        if (id < 0)
            continue;
        const CallQuality quality = m_read(id);
        if (!quality.available)
            continue;
        QualityTrack &track = m_tracks[id];
        track.add(quality);
        emit line(formatQualityLine(now, track));
    }
}

const QualityTrack *QualitySampler::track(int callId) const
{
    const auto it = m_tracks.constFind(callId);
    return it == m_tracks.cend() ? nullptr : &it.value();
}
