#pragma once

#include <functional>

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "engine/callquality.h"

// The running figures of one call's audio, built from successive samples of the stack's
// statistics. The stack reports the jitter and round trip of the moment; the extremes over the
// call are kept here. Values are microseconds and packet counts.
struct QualityTrack
{
    qint64 sentLost = 0; // estimated: packets sent in each interval times the far end's loss rate
    qint64 receivedLost = 0;
    qint64 sentJitterMax = 0, sentJitterMin = 0;
    qint64 receivedJitterMax = 0, receivedJitterMin = 0;
    qint64 roundTripNow = 0, roundTripMax = 0, roundTripMin = 0;
    double rating = -1; // the stack's 0..5 rating, negative when it has none
    quint64 lastPacketsSent = 0;
    int samples = 0;

    // Takes one sample in; an unavailable sample changes nothing.
    void add(const CallQuality &quality);
};

// One line of the call quality logger for a call's track, stamped with `when`.
QString formatQualityLine(const QDateTime &when, const QualityTrack &track);

// Samples the audio statistics of every answered call on a timer (five seconds) and emits one line
// per call and sample. Calls whose statistics are not available (media not started, call gone)
// give no line; the track of a call that is no longer answered is dropped.
class QualitySampler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QualitySampler)

public:
    static constexpr int DefaultIntervalMs = 5000;

    using CallList = std::function<QList<int>()>;
    using Reader = std::function<CallQuality(int callId)>;

    // answeredCalls lists the engine ids of the calls to sample; read gives a call's statistics.
    QualitySampler(CallList answeredCalls, Reader read, QObject *parent = nullptr);
    ~QualitySampler() override;

    void setInterval(int ms);

    bool isRunning() const { return m_timer.isActive(); }

    void start();
    void stop();
    // One round of sampling now (the timer's time-out).
    void sample();

    // The running figures of a call, or null when it has none.
    const QualityTrack *track(int callId) const;

signals:
    void line(const QString &text);

private:
    CallList m_answeredCalls;
    Reader m_read;
    QTimer m_timer;
    QHash<int, QualityTrack> m_tracks;
};
