#pragma once

// The loopback SIP test bed: a registrar/proxy (Kamailio), scripted SIP peers (sippeer) and SIPp
// scenarios, all on 127.0.0.1 with ports chosen at run time. Tests that use it run in a private
// loopback-only network namespace (app_add_test(... NETNS)).
//
// Typical use:
//     testbed::Kamailio proxy;
//     QVERIFY2(proxy.start(), qPrintable(proxy.log()));
//     testbed::SipPeer bob;
//     QVERIFY(bob.start(proxy.peerArgs(QStringLiteral("1002")) << QStringLiteral("--auto-answer=200")));
//     QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT registration state=Ok")).hasMatch());

#include <QProcess>
#include <QString>
#include <QVector>

#include "support/kamailio.h"
#include "support/sipp.h"
#include "support/sippeer.h"

namespace testbed {

// Starts the peer registering as user at the registrar and waits until it is registered.
bool startRegistered(
    SipPeer &peer, const Kamailio &registrar, const QString &user, const QStringList &extra = {});

// A port that is free for both UDP and TCP on 127.0.0.1 at the time of the call (0 when none was
// found). The port is released before returning; the caller binds it soon after.
quint16 freePort();

// Makes a child process end when the test process ends, however it ends (a crashed test must not
// leave a registrar or a peer running).
void dieWithTest(QProcess &process);

// A program on PATH, then in /usr/sbin and /sbin (the name itself when not found).
QString findProgram(const QString &name);
QString scenarioPath(const QString &name); // tools/sipp/<name> (".xml" appended when missing)

// Password of a fixed test user of the auth variant of the registrar: "pw" + user
// (users 1001..1016).
QString testPassword(const QString &user);

// Mono 16-bit PCM WAV helpers for audio checks: a canonical file of the samples, a sine tone.
bool writeWav(const QString &path, const QVector<qint16> &samples, int sampleRate);
bool writeToneWav(
    const QString &path, double frequencyHz, int durationMs, int sampleRate = 8000, double amplitude = 0.5);
// Reads a 16-bit PCM WAV (first channel when there are more). Tolerates a data-chunk size larger
// than the file. Returns false when the file is not a PCM WAV.
bool readWav(const QString &path, QVector<qint16> *samples, int *sampleRate);
// Both channels of a canonical 16-bit stereo WAV (44-byte header, data size = the rest of the file),
// as the call recorder writes it. False for anything else.
bool readStereo(const QString &path, QVector<qint16> *left, QVector<qint16> *right, int *sampleRate);
// Share of the signal's energy at the given frequency, 0..1: Goertzel over 20 ms blocks, or for
// tones close to others over Hann-windowed 100 ms blocks (a tone 36 Hz away from a pure one
// measures below 10^-4 there, ~0.1 in 20 ms blocks).
enum class Meter
{
    Blocks20ms,
    Narrow
};
double toneFraction(
    const QVector<qint16> &samples, int sampleRate, double frequencyHz, Meter meter = Meter::Blocks20ms);
// toneFraction over lengthMs of a WAV file that end skipMs before its end (a call's last moment
// may be cut short); -1 when the file is unreadable or shorter.
double tailTone(const QString &path, double frequencyHz, int lengthMs, int skipMs = 0);
// Root mean square of the samples, full scale = 32768.
double rms(const QVector<qint16> &samples);

} // namespace testbed
