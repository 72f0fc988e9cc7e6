// The loopback test bed itself: Kamailio (plain and with digest auth), sippeer and the SIPp
// scenarios of tools/sipp, checked against each other before engine tests rely on them.

#include <memory>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "support/testbed.h"

using testbed::Kamailio;
using testbed::Sipp;
using testbed::SipPeer;

namespace {

const QString registered = QStringLiteral("^EVENT registration state=(Ok|Failed) code=(\\d+)");

QStringList strings(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromLatin1(item);
    return list;
}

} // namespace

class TestBed final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void toneDetection();
    void registration_data();
    void registration();
    void callCarriesAudio_data();
    void callCarriesAudio();
    void identityHeadersFromSipp_data();
    void identityHeadersFromSipp();
    void malformedSipIsSurvived();
    void messageBetweenPeers();
    void takenPortIsReported();
    void declineCodes_data();
    void declineCodes();
    void dtmf_data();
    void dtmf();
    void holdResumeAndBlindTransfer();
    void presence();

private:
    // A peer registered at the plain or auth proxy; fails the test when it does not register.
    bool startRegistered(
        SipPeer &peer, const Kamailio &proxy, const QString &user, const QStringList &extra = {});

    QTemporaryDir m_dir;
    QString m_tone;
    std::unique_ptr<Kamailio> m_plain;
    std::unique_ptr<Kamailio> m_auth;
};

void TestBed::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo::exists(testbed::sippeerPath()), qPrintable(testbed::sippeerPath()));
    m_tone = m_dir.filePath(QStringLiteral("tone1000.wav"));
    QVERIFY(testbed::writeToneWav(m_tone, 1000.0, 6000, 8000, 0.5));

    m_plain = std::make_unique<Kamailio>();
    QVERIFY2(m_plain->start(false), qPrintable(m_plain->log()));
    m_auth = std::make_unique<Kamailio>();
    QVERIFY2(m_auth->start(true), qPrintable(m_auth->log()));
    QVERIFY(m_plain->port() != m_auth->port());
}

bool TestBed::startRegistered(
    SipPeer &peer, const Kamailio &proxy, const QString &user, const QStringList &extra)
{
    if (!peer.start(proxy.peerArgs(user) + extra)) {
        qWarning().noquote() << peer.output();
        return false;
    }
    const QRegularExpressionMatch match = peer.waitForEvent(registered, 5000);
    if (match.captured(1) != QLatin1String("Ok")) {
        qWarning().noquote() << peer.output();
        return false;
    }
    return true;
}

// The audio check of the call test must tell a tone from silence and from another tone.
void TestBed::toneDetection()
{
    const QString other = m_dir.filePath(QStringLiteral("tone1500.wav"));
    QVERIFY(testbed::writeToneWav(other, 1500.0, 500, 16000, 0.25));
    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(m_tone, &samples, &rate));
    QCOMPARE(rate, 8000);
    QCOMPARE(samples.size(), 48000);
    QVERIFY(testbed::toneFraction(samples, rate, 1000.0) > 0.99);
    QVERIFY(testbed::toneFraction(samples, rate, 1500.0) < 0.01);
    QVERIFY(qAbs(testbed::rms(samples) - 0.5 / std::sqrt(2.0)) < 0.01);

    QVERIFY(testbed::readWav(other, &samples, &rate));
    QCOMPARE(rate, 16000);
    QVERIFY(testbed::toneFraction(samples, rate, 1000.0) < 0.01);

    // a recorder that left the header's data size too large: the samples that are there count
    QFile file(other);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes.chop(1000);
    file.resize(0);
    file.write(bytes);
    file.close();
    QVERIFY(testbed::readWav(other, &samples, &rate));
    QCOMPARE(samples.size(), 8000 - 500);
}

void TestBed::registration_data()
{
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("code");

    QTest::newRow("plain udp") << false << strings({"--user", "1001"}) << "Ok" << 200;
    QTest::newRow("plain tcp") << false << strings({"--user", "1001", "--transport", "tcp"}) << "Ok" << 200;
    QTest::newRow("plain udp ::1") << false << strings({"--user", "1001", "--ipv6", "--bind", "::1", "--v6"})
                                   << "Ok" << 200;
    QTest::newRow("auth udp") << true << strings({"--user", "1001", "--password", "pw1001"}) << "Ok" << 200;
    QTest::newRow("auth tcp") << true
                              << strings({"--user", "1016", "--password", "pw1016", "--transport", "tcp"})
                              << "Ok" << 200;
    QTest::newRow("auth wrong password")
        << true << strings({"--user", "1002", "--password", "pw1003"}) << "Failed" << 403;
    QTest::newRow("auth unknown user")
        << true << strings({"--user", "1017", "--password", "pw1017"}) << "Failed" << 403;
}

void TestBed::registration()
{
    QFETCH(bool, auth);
    QFETCH(QStringList, args);
    QFETCH(QString, state);
    QFETCH(int, code);

    const Kamailio &proxy = auth ? *m_auth : *m_plain;
    QString registrar = proxy.hostPort();
    if (args.removeOne(QStringLiteral("--v6")))
        registrar = QStringLiteral("[::1]:") + QString::number(proxy.port());
    SipPeer peer;
    QVERIFY2(peer.start(args << QStringLiteral("--registrar") << registrar), qPrintable(peer.output()));
    const QRegularExpressionMatch match = peer.waitForEvent(registered, 5000);
    QVERIFY2(match.hasMatch(), qPrintable(peer.output()));
    QCOMPARE(match.captured(1), state);
    QCOMPARE(match.captured(2).toInt(), code);
}

// 1012 calls 1011 through the auth proxy and plays a 1000 Hz tone; 1011 answers and records.
void TestBed::callCarriesAudio_data()
{
    QTest::addColumn<QString>("callerTransport");
    QTest::addColumn<QString>("calleeTransport");

    QTest::newRow("udp") << "udp"
                         << "udp";
    QTest::newRow("tcp to udp") << "tcp"
                                << "udp";
    QTest::newRow("udp to tcp") << "udp"
                                << "tcp";
}

void TestBed::callCarriesAudio()
{
    QFETCH(QString, callerTransport);
    QFETCH(QString, calleeTransport);

    const QString heard = m_dir.filePath(QStringLiteral("heard-%1.wav").arg(QTest::currentDataTag()));
    SipPeer callee;
    QVERIFY(startRegistered(callee, *m_auth, QStringLiteral("1011"),
        strings({"--auto-answer", "200", "--transport"})
            << calleeTransport << QStringLiteral("--record") << heard));
    SipPeer caller;
    QVERIFY(startRegistered(caller, *m_auth, QStringLiteral("1012"),
        strings({"--call", "sip:1011@127.0.0.1", "--hangup-after", "2500", "--header",
            "P-Asserted-Identity: <sip:1012@127.0.0.1>", "--transport"})
            << callerTransport << QStringLiteral("--play") << m_tone));

    const QRegularExpressionMatch incoming
        = callee.waitForEvent(QStringLiteral("^EVENT call id=1 state=IncomingReceived .*"));
    QVERIFY2(incoming.hasMatch(), qPrintable(callee.output()));
    QCOMPARE(
        SipPeer::value(incoming.captured(0), QStringLiteral("from")), QStringLiteral("sip:1012@127.0.0.1"));
    QVERIFY(caller.waitForEvent(QStringLiteral("^EVENT call id=1 state=StreamsRunning")).hasMatch());
    QVERIFY2(callee.waitForEvent(QStringLiteral("^EVENT call id=1 state=StreamsRunning")).hasMatch(),
        qPrintable(callee.output()));
    QVERIFY(caller.waitForEvent(QStringLiteral("^EVENT call id=1 state=End")).hasMatch());
    QVERIFY2(callee.waitForEvent(QStringLiteral("^EVENT call id=1 state=End"), 5000).hasMatch(),
        qPrintable(callee.output()));
    QVERIFY(callee.waitForEvent(QStringLiteral("^EVENT call id=1 state=Released")).hasMatch());
    QVERIFY2(m_auth->log().contains(QLatin1String("relay BYE sip:1011@")), qPrintable(m_auth->log()));

    QVector<qint16> samples;
    int rate = 0;
    QVERIFY(testbed::readWav(heard, &samples, &rate));
    // about two seconds heard; skip the first half second (jitter buffer, codec start)
    QVERIFY2(samples.size() > rate, qPrintable(QString::number(samples.size())));
    samples = samples.mid(rate / 2);
    const double fraction = testbed::toneFraction(samples, rate, 1000.0);
    QVERIFY2(fraction > 0.8, qPrintable(QString::number(fraction)));
    QVERIFY2(testbed::rms(samples) > 0.05, qPrintable(QString::number(testbed::rms(samples))));
}

void TestBed::identityHeadersFromSipp_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("endState");

    QTest::newRow("cancelled while ringing") << "uac-invite-cancel"
                                             << "End";
    QTest::newRow("answered, then BYE") << "uac-invite-answer"
                                        << "End";
}

// SIPp calls a registered sippeer through the plain proxy; the headers arrive unchanged.
void TestBed::identityHeadersFromSipp()
{
    QFETCH(QString, scenario);
    QFETCH(QString, endState);

    const bool answer = scenario.endsWith(QLatin1String("answer"));
    SipPeer peer;
    QVERIFY(startRegistered(
        peer, *m_plain, QStringLiteral("1005"), answer ? strings({"--auto-answer", "100"}) : QStringList()));
    const QString pai = QStringLiteral("\"Alice Example\" <sip:1001@127.0.0.1>");
    const QString cpi = QStringLiteral("<sip:1005@127.0.0.1>");
    Sipp sipp;
    QVERIFY(sipp.start(scenario, m_plain->hostPort(),
        {QStringLiteral("-s"), QStringLiteral("1005"), QStringLiteral("-m"), QStringLiteral("1"),
            QStringLiteral("-d"), QStringLiteral("500"), QStringLiteral("-key"), QStringLiteral("pai"), pai,
            QStringLiteral("-key"), QStringLiteral("cpi"), cpi},
        10000));
    const QRegularExpressionMatch incoming
        = peer.waitForEvent(QStringLiteral("^EVENT call id=1 state=IncomingReceived.*"));
    QVERIFY2(incoming.hasMatch(), qPrintable(peer.output() + sipp.messages()));
    QCOMPARE(SipPeer::value(incoming.captured(0), QStringLiteral("header.P-Asserted-Identity")), pai);
    QCOMPARE(SipPeer::value(incoming.captured(0), QStringLiteral("header.P-Called-Party-ID")), cpi);
    QVERIFY(sipp.waitForFinished(10000));
    QVERIFY2(sipp.exitCode() == 0, qPrintable(sipp.output() + sipp.messages()));
    QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT call id=1 state=") + endState).hasMatch());
}

// Broken SIP neither stops the peer nor the proxy: each still serves a NOTIFY afterwards.
void TestBed::malformedSipIsSurvived()
{
    SipPeer peer;
    QVERIFY(startRegistered(peer, *m_plain, QStringLiteral("1007")));
    const QString direct = QStringLiteral("127.0.0.1:") + QString::number(peer.sipPort());
    for (const QString &target : {direct, m_plain->hostPort()}) {
        Sipp bad;
        QVERIFY(bad.start(QStringLiteral("malformed"), target, strings({"-s", "1007", "-m", "1"}), 5000));
        QVERIFY(bad.waitForFinished(5000));
        QVERIFY(bad.exitCode() >= 0);
    }
    QVERIFY(peer.isRunning());
    QVERIFY(m_plain->isRunning());
    Sipp check;
    QVERIFY2(check.run(
                 QStringLiteral("notify-mwi"), m_plain->hostPort(), strings({"-s", "1007", "-m", "1"}), 5000),
        qPrintable(check.messages()));
    QVERIFY(peer.waitForEvent(QStringLiteral("^EVENT notify event=message-summary")).hasMatch());
}

void TestBed::messageBetweenPeers()
{
    SipPeer bob;
    QVERIFY(startRegistered(bob, *m_auth, QStringLiteral("1014")));
    SipPeer alice;
    QVERIFY(startRegistered(alice, *m_auth, QStringLiteral("1013"),
        {QStringLiteral("--message"), QStringLiteral("sip:1014@127.0.0.1"), QStringLiteral("--message-text"),
            QStringLiteral("hello \"bob\"\nsecond line")}));
    const QRegularExpressionMatch message = bob.waitForEvent(QStringLiteral("^EVENT message .*"));
    QVERIFY2(message.hasMatch(), qPrintable(bob.output() + alice.output()));
    QCOMPARE(
        SipPeer::value(message.captured(0), QStringLiteral("from")), QStringLiteral("sip:1013@127.0.0.1"));
    QCOMPARE(SipPeer::value(message.captured(0), QStringLiteral("body")),
        QStringLiteral("hello \"bob\"\nsecond line"));
    QVERIFY2(alice.waitForEvent(QStringLiteral("^EVENT message-state .*state=Delivered")).hasMatch(),
        qPrintable(alice.events().join(QLatin1Char('\n'))));
}

// The library would share a port held with SO_REUSEADDR without a word; sippeer refuses it.
void TestBed::takenPortIsReported()
{
    SipPeer first;
    QVERIFY(first.start({}));
    SipPeer second;
    QVERIFY(!second.start({QStringLiteral("--port"), QString::number(first.sipPort())}));
    QVERIFY2(second.hasEvent(QStringLiteral("^EVENT error what=start ")), qPrintable(second.output()));
    QTRY_COMPARE(second.exitCode(), 1);
}

void TestBed::declineCodes_data()
{
    QTest::addColumn<int>("code");

    for (int code : {480, 603, 404})
        QTest::newRow(qPrintable(QString::number(code))) << code;
}

// A declining peer sends the code it was given; the caller's peer reports it.
void TestBed::declineCodes()
{
    QFETCH(int, code);

    SipPeer callee;
    QVERIFY(callee.start(strings({"--decline-after", "100", "--decline"}) << QString::number(code)));
    SipPeer caller;
    QVERIFY(caller.start({QStringLiteral("--call"), callee.directUri()}));
    QVERIFY(caller.waitForEvent(QStringLiteral("^EVENT call id=1 state=OutgoingRinging ")).hasMatch());
    const QRegularExpressionMatch end
        = caller.waitForEvent(QStringLiteral("^EVENT call id=1 state=(Error|End) .*"));
    QVERIFY2(end.hasMatch(), qPrintable(caller.events().join(QLatin1Char('\n'))));
    QCOMPARE(SipPeer::value(end.captured(0), QStringLiteral("code")).toInt(), code);
}

void TestBed::dtmf_data()
{
    QTest::addColumn<QString>("method");

    QTest::newRow("RFC 2833") << "rfc2833";
    QTest::newRow("SIP INFO") << "info";
}

void TestBed::dtmf()
{
    QFETCH(QString, method);

    SipPeer callee;
    QVERIFY(startRegistered(callee, *m_plain, QStringLiteral("1021"), strings({"--auto-answer", "0"})));
    SipPeer caller;
    QVERIFY(startRegistered(caller, *m_plain, QStringLiteral("1022"),
        strings({"--call", "sip:1021@127.0.0.1", "--dtmf", "19#", "--dtmf-delay", "200", "--hangup-after",
            "2000", "--dtmf-method"})
            << method));
    for (const char *digit : {"1", "9", "#"}) {
        QVERIFY2(callee
                     .waitForEvent(QStringLiteral("^EVENT dtmf id=1 digit=")
                         + QRegularExpression::escape(QLatin1String(digit)) + QLatin1Char('$'))
                     .hasMatch(),
            qPrintable(callee.events().join(QLatin1Char('\n'))));
    }
    QVERIFY(callee.waitForEvent(QStringLiteral("^EVENT call id=1 state=End")).hasMatch());
}

// 1023 calls 1024, holds and resumes, then transfers 1024 to 1025.
void TestBed::holdResumeAndBlindTransfer()
{
    SipPeer target;
    QVERIFY(startRegistered(target, *m_plain, QStringLiteral("1025"), strings({"--auto-answer", "0"})));
    SipPeer transferee;
    QVERIFY(startRegistered(transferee, *m_plain, QStringLiteral("1024"), strings({"--auto-answer", "0"})));
    SipPeer transferor;
    QVERIFY(startRegistered(transferor, *m_plain, QStringLiteral("1023"),
        strings({"--call", "sip:1024@127.0.0.1", "--hold-after", "300", "--resume-after", "300",
            "--transfer-to", "sip:1025@127.0.0.1", "--transfer-after", "1500"})));

    QVERIFY(transferor.waitForEvent(QStringLiteral("^EVENT call id=1 state=Paused ")).hasMatch());
    QVERIFY(transferee.waitForEvent(QStringLiteral("^EVENT call id=1 state=PausedByRemote ")).hasMatch());
    QVERIFY(transferor.waitForEvent(QStringLiteral("^EVENT call id=1 state=Resuming ")).hasMatch());
    QVERIFY(transferor.waitForEvent(QStringLiteral("^EVENT call id=1 state=StreamsRunning ")).hasMatch());
    QVERIFY2(transferee.waitForEvent(QStringLiteral("^EVENT call id=1 state=Refered ")).hasMatch(),
        qPrintable(transferee.events().join(QLatin1Char('\n'))));
    QVERIFY(transferee
                .waitForEvent(
                    QStringLiteral("^EVENT call id=2 state=OutgoingInit dir=out to=sip:1025@127.0.0.1$"))
                .hasMatch());
    QVERIFY(target
                .waitForEvent(
                    QStringLiteral("^EVENT call id=1 state=IncomingReceived dir=in from=sip:1024@127.0.0.1 "))
                .hasMatch());
    QVERIFY(transferee.waitForEvent(QStringLiteral("^EVENT call id=2 state=StreamsRunning ")).hasMatch());
    QVERIFY(transferor.waitForEvent(QStringLiteral("^EVENT transfer id=1 state=Connected$")).hasMatch());
    QVERIFY(transferor.waitForEvent(QStringLiteral("^EVENT call id=1 state=End ")).hasMatch());
}

// Presence without a presence server: PUBLISH is absorbed by the proxy, the watcher's
// SUBSCRIBE reaches the watched peer, which notifies it (digest auth on the way).
void TestBed::presence()
{
    SipPeer watched;
    QVERIFY(startRegistered(watched, *m_auth, QStringLiteral("1008"), strings({"--presence", "busy"})));
    SipPeer watcher;
    QVERIFY(startRegistered(
        watcher, *m_auth, QStringLiteral("1009"), strings({"--subscribe", "sip:1008@127.0.0.1"})));
    QVERIFY2(watcher.waitForEvent(QStringLiteral("^EVENT presence from=sip:1008@127.0.0.1 status=busy$"))
                 .hasMatch(),
        qPrintable(watcher.events().join(QLatin1Char('\n'))));
    for (const char *status : {"online", "busy", "offline"}) {
        watched.command(QLatin1String("presence ") + QLatin1String(status));
        const QString expected = QStringLiteral("^EVENT presence from=sip:1008@127.0.0.1 status=")
            + QLatin1String(status) + QLatin1Char('$');
        QVERIFY2(
            watcher.waitForEvent(expected).hasMatch(), qPrintable(watcher.events().join(QLatin1Char('\n'))));
    }
}

QTEST_GUILESS_MAIN(TestBed)
#include "tst_testbed.moc"
