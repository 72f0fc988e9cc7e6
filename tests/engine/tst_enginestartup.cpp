// Engine start-up and shutdown on loopback: port choice and fallback, files left behind, restart.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "support/testbed.h"

namespace {

// A socket of the test holding the port, bound the way a second copy of the panel would.
int holdPort(int type, quint16 port, bool reuse)
{
    const int fd = ::socket(AF_INET, type, 0);
    const int on = 1;
    if (reuse)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    if (type == SOCK_STREAM)
        ::listen(fd, 1);
    return fd;
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_EngineStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startsOnTheChosenPort();
    void fallsBackWhenThePortIsHeld_data();
    void fallsBackWhenThePortIsHeld();
    void restartsAfterShutdown();
    void cutShortDatagramDoesNotDeafen_data();
    void cutShortDatagramDoesNotDeafen();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    QString m_log;
};

void tst_EngineStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<Settings>(m_dir->path());
    m_log = m_dir->filePath(QStringLiteral("log"));
    Log::set_output_file(m_log);
}

void tst_EngineStartup::startsOnTheChosenPort()
{
    const quint16 port = testbed::freePort();
    QVERIFY(port > 0);
    SipDialer engine(*m_settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(port);
    QSignalSpy errors(&engine, &SipDialer::onErrorState);
    QSignalSpy lines(&engine, &SipDialer::log);
    QVERIFY(engine.init());
    QVERIFY(engine.isRunning());
    QCOMPARE(engine.sipPort(), int(port));
    QCOMPARE(errors.count(), 0);
    QVERIFY(lines.count() > 0);

    // The library's lines reach the application log too; "sip_log" is only created, empty.
    const QString log = readAll(m_log);
    QVERIFY(log.contains(lines.first().first().toString()));
    QVERIFY(!log.contains(QStringLiteral("Already bound")));
    const QString sipLog = m_dir->filePath(QStringLiteral("sip_log"));
    QVERIFY(QFile::exists(sipLog));
    QCOMPARE(QFile(sipLog).size(), 0);
}

void tst_EngineStartup::fallsBackWhenThePortIsHeld_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("reuse");
    QTest::newRow("udp") << int(SOCK_DGRAM) << false;
    QTest::newRow("udp, another copy with SO_REUSEADDR") << int(SOCK_DGRAM) << true;
    QTest::newRow("tcp listener") << int(SOCK_STREAM) << false;
}

void tst_EngineStartup::fallsBackWhenThePortIsHeld()
{
    QFETCH(int, type);
    QFETCH(bool, reuse);
    const quint16 port = testbed::freePort();
    const int fd = holdPort(type, port, reuse);
    QVERIFY(fd >= 0);

    SipDialer engine(*m_settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(port);
    QSignalSpy errors(&engine, &SipDialer::onErrorState);
    QVERIFY(engine.init());
    ::close(fd);
    QCOMPARE(errors.count(), 0);
    QVERIFY(engine.sipPort() > 0);
    QVERIFY(engine.sipPort() != int(port));
    QVERIFY(readAll(m_log).contains(QStringLiteral("Already bound to ") + QString::number(port)));
}

void tst_EngineStartup::restartsAfterShutdown()
{
    const quint16 port = testbed::freePort();
    SipDialer engine(*m_settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(port);
    QVERIFY(engine.init());
    // A second init() while running starts nothing new.
    QSignalSpy errors(&engine, &SipDialer::onErrorState);
    QVERIFY(engine.init());
    QCOMPARE(engine.sipPort(), int(port));
    QCOMPARE(errors.count(), 0);
    engine.shutdown();
    QVERIFY(!engine.isRunning());
    // The port is released: a plain bind succeeds, and a second start gets the same port.
    const int fd = holdPort(SOCK_DGRAM, port, false);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(engine.init());
    QCOMPARE(engine.sipPort(), int(port));
}

void tst_EngineStartup::cutShortDatagramDoesNotDeafen_data()
{
    const QByteArray start = "OPTIONS sip:1001@127.0.0.1 SIP/2.0\r\n"
                             "Via: SIP/2.0/UDP 127.0.0.1:%1;branch=z9hG4bK-forged\r\n"
                             "From: <sip:forger@127.0.0.1>;tag=f1\r\nTo: <sip:1001@127.0.0.1>\r\n"
                             "Call-ID: forged@127.0.0.1\r\nCSeq: 1 OPTIONS\r\nMax-Forwards: 70\r\n";
    QTest::addColumn<QByteArray>("forged");
    QTest::newRow("body shorter than its Content-Length")
        << start + "Content-Type: text/plain\r\nContent-Length: 4000\r\n\r\nabc";
    QTest::newRow("Content-Length beyond any size")
        << start + "Content-Length: 99999999999999999999999\r\n\r\n";
    QTest::newRow("header block cut short") << start;
    QTest::newRow("NUL byte in the header block")
        << start + QByteArrayLiteral("X-A: \0\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("second message cut short")
        << start + "Content-Length: 0\r\n\r\n" + start + "Content-Length: 10\r\n\r\n";
}

// On UDP a datagram is a whole message: one that is not must not make the engine take the
// sender's next datagrams as the rest of it.
void tst_EngineStartup::cutShortDatagramDoesNotDeafen()
{
    QFETCH(QByteArray, forged);
    SipDialer engine(*m_settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    engine.setSipPort(testbed::freePort());
    QVERIFY(engine.init());
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    const QByteArray port = QByteArray::number(peer.localPort());
    peer.writeDatagram(
        QByteArray(forged).replace("%1", port), QHostAddress::LocalHost, quint16(engine.sipPort()));
    const QByteArray options = "OPTIONS sip:1001@127.0.0.1 SIP/2.0\r\n"
                               "Via: SIP/2.0/UDP 127.0.0.1:"
        + port
        + ";branch=z9hG4bK-real\r\n"
          "From: <sip:peer@127.0.0.1>;tag=r1\r\nTo: <sip:1001@127.0.0.1>\r\n"
          "Call-ID: real@127.0.0.1\r\nCSeq: 1 OPTIONS\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n";
    peer.writeDatagram(options, QHostAddress::LocalHost, quint16(engine.sipPort()));
    QByteArray reply;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (peer.hasPendingDatagrams()) {
                QByteArray datagram(int(peer.pendingDatagramSize()), '\0');
                peer.readDatagram(datagram.data(), datagram.size());
                if (datagram.contains("real@127.0.0.1"))
                    reply = datagram;
            }
            return !reply.isEmpty();
        }(),
        5000);
    QVERIFY2(reply.startsWith("SIP/2.0 200"), reply.constData());
    QVERIFY(readAll(m_log).contains(
        QStringLiteral("Dropped a datagram from 127.0.0.1:") + QString::fromLatin1(port)));
}

QTEST_GUILESS_MAIN(tst_EngineStartup)
#include "tst_enginestartup.moc"
