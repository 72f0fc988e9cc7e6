#include "support/testbed.h"

#include <arpa/inet.h>
#include <cmath>
#include <csignal>
#include <netinet/in.h>
#include <random>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

namespace testbed {

void dieWithTest(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

namespace {

// Binds a socket of the given type to 127.0.0.1:port without SO_REUSEADDR; returns the bound
// port (0 on failure). The socket is closed again.
quint16 probe(int type, quint16 port)
{
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    quint16 bound = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
        socklen_t len = sizeof addr;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            bound = ntohs(addr.sin_port);
    }
    ::close(fd);
    return bound;
}

void putLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void putLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

quint16 freePort()
{
    // Ephemeral ports from the kernel for UDP, checked for TCP; random high ports as a fallback.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const quint16 port = probe(SOCK_DGRAM, 0);
        if (port != 0 && probe(SOCK_STREAM, port) == port)
            return port;
    }
    std::mt19937 rng(std::random_device {}());
    std::uniform_int_distribution<int> dist(20000, 59999);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(dist(rng));
        if (probe(SOCK_DGRAM, port) == port && probe(SOCK_STREAM, port) == port)
            return port;
    }
    return 0;
}

QString findProgram(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path.isEmpty() ? name : path;
}

QString scenarioPath(const QString &name)
{
    if (QFileInfo(name).isAbsolute())
        return name;
    QString file = name;
    if (!file.endsWith(QLatin1String(".xml")))
        file += QLatin1String(".xml");
    return QStringLiteral(ORVALO_SOURCE_DIR "/tools/sipp/") + file;
}

QString testPassword(const QString &user)
{
    return QLatin1String("pw") + user;
}

bool writeWav(const QString &path, const QVector<qint16> &samples, int sampleRate)
{
    const quint32 dataBytes = quint32(samples.size()) * 2;
    QByteArray out;
    out.reserve(int(44 + dataBytes));
    out.append("RIFF");
    putLe32(out, 36 + dataBytes);
    out.append("WAVEfmt ");
    putLe32(out, 16);
    putLe16(out, 1); // PCM
    putLe16(out, 1); // mono
    putLe32(out, quint32(sampleRate));
    putLe32(out, quint32(sampleRate) * 2);
    putLe16(out, 2);
    putLe16(out, 16);
    out.append("data");
    putLe32(out, dataBytes);
    for (qint16 s : samples)
        putLe16(out, quint16(s));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

bool writeToneWav(const QString &path, double frequencyHz, int durationMs, int sampleRate, double amplitude)
{
    const int count = int(qint64(sampleRate) * durationMs / 1000);
    QVector<qint16> samples(count);
    for (int i = 0; i < count; ++i)
        samples[i]
            = qint16(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * frequencyHz * i / sampleRate)));
    return writeWav(path, samples, sampleRate);
}

bool readWav(const QString &path, QVector<qint16> *samples, int *sampleRate)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return false;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    qsizetype pos = 12;
    while (pos + 8 <= data.size()) {
        const QByteArray id = data.mid(pos, 4);
        const auto size = qsizetype(qFromLittleEndian<quint32>(data.constData() + pos + 4));
        const qsizetype body = pos + 8;
        if (id == "fmt " && body + 16 <= data.size()) {
            if (qFromLittleEndian<quint16>(data.constData() + body) != 1)
                return false;
            channels = qFromLittleEndian<quint16>(data.constData() + body + 2);
            rate = int(qFromLittleEndian<quint32>(data.constData() + body + 4));
            bits = qFromLittleEndian<quint16>(data.constData() + body + 14);
        } else if (id == "data") {
            if (channels < 1 || bits != 16)
                return false;
            // Recorders may leave a size larger than what was written: take what is there.
            const qsizetype end = qMin(data.size(), body + size);
            const qsizetype frame = 2 * channels;
            samples->clear();
            for (qsizetype p = body; p + frame <= end; p += frame)
                samples->append(qFromLittleEndian<qint16>(data.constData() + p));
            *sampleRate = rate;
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

double toneFraction(const QVector<qint16> &samples, int sampleRate, double frequencyHz, Meter meter)
{
    if (samples.isEmpty() || sampleRate <= 0)
        return 0.0;
    const bool narrow = meter == Meter::Narrow;
    const int block = qMax(narrow ? 2 : 1, sampleRate / (narrow ? 10 : 50));
    const double coeff = 2.0 * std::cos(2.0 * M_PI * frequencyHz / sampleRate);
    double toneEnergy = 0.0;
    double totalEnergy = 0.0;
    for (qsizetype start = 0; start + block <= samples.size(); start += block) {
        double s1 = 0.0;
        double s2 = 0.0;
        double energy = 0.0;
        for (int i = 0; i < block; ++i) {
            const double x = samples[start + i] / 32768.0;
            const double window = narrow ? 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (block - 1)) : 1.0;
            const double s0 = x * window + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
            energy += x * x;
        }
        // |X(k)|^2 of a pure sine is (N*A/2)^2 while its energy is N*A^2/2: scale by 2/N. A Hann
        // window halves the sine's amplitude in the transform: 8/N.
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        toneEnergy += (narrow ? 8.0 : 2.0) * power / block;
        totalEnergy += energy;
    }
    return totalEnergy > 0.0 ? qMin(1.0, toneEnergy / totalEnergy) : 0.0;
}

bool readStereo(const QString &path, QVector<qint16> *left, QVector<qint16> *right, int *sampleRate)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    const auto le = [&data](int at, int bytes) {
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= quint32(quint8(data.at(at + i))) << (8 * i);
        return v;
    };
    if (data.size() < 44 || !data.startsWith("RIFF") || le(22, 2) != 2 || le(34, 2) != 16
        || le(40, 4) != quint32(data.size() - 44))
        return false;
    *sampleRate = int(le(24, 4));
    for (int at = 44; at + 4 <= data.size(); at += 4) {
        left->append(qint16(le(at, 2)));
        right->append(qint16(le(at + 2, 2)));
    }
    return true;
}

double tailTone(const QString &path, double frequencyHz, int lengthMs, int skipMs)
{
    QVector<qint16> samples;
    int rate = 0;
    if (!readWav(path, &samples, &rate))
        return -1;
    const qsizetype take = qsizetype(rate) * lengthMs / 1000;
    const qsizetype skip = qsizetype(rate) * skipMs / 1000;
    if (samples.size() < take + skip)
        return -1;
    return toneFraction(samples.mid(samples.size() - skip - take, take), rate, frequencyHz);
}

bool startRegistered(SipPeer &peer, const Kamailio &registrar, const QString &user, const QStringList &extra)
{
    return peer.start(registrar.peerArgs(user) + extra)
        && peer.waitForEvent(QStringLiteral("^EVENT registration state=Ok")).hasMatch();
}

double rms(const QVector<qint16> &samples)
{
    if (samples.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (qint16 s : samples)
        sum += (s / 32768.0) * (s / 32768.0);
    return std::sqrt(sum / samples.size());
}

} // namespace testbed
