// Instant messages and presence against Kamailio and the scripted peer.

#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

namespace {

// And a peer registered as 1002.
struct Pair : RegisteredEngine
{
    bool start(const QStringList &peerOptions = {})
    {
        return RegisteredEngine::start({}, false) && startPeer(peer, QStringLiteral("1002"), peerOptions);
    }

    testbed::SipPeer peer;
};

QString longText()
{
    QString text;
    const QStringList words = {QStringLiteral("Ευχαριστώ"), QStringLiteral("ありがとう"),
        QStringLiteral("спасибо"), QStringLiteral("🙂"), QStringLiteral("שלום"), QStringLiteral("merci")};
    for (int i = 0; text.size() < 6000; ++i)
        text += words.at(i % words.size()) + QLatin1Char(' ') + QString::number(i) + QLatin1Char(' ');
    return text.trimmed();
}

} // namespace

class tst_EngineMessages : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void emptyIncomingMessage();
    void buddyPresence();
    void buddyWithBadUri();
};

void tst_EngineMessages::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("latin") << QStringLiteral("Call me back, please");
    // Greek, Japanese, Cyrillic, Hebrew and emoji travel in the long text.
    QTest::newRow("emoji") << QStringLiteral("☎️ → 👩🏽‍💼 ✅");
    QTest::newRow("long mixed scripts") << longText();
}

// Sent to "10-02" (dashes dropped) and back from the peer, byte for byte.
void tst_EngineMessages::roundTrip()
{
    QFETCH(QString, text);
    Pair p;
    QVERIFY2(p.start(), qPrintable(p.kamailio.log() + p.peer.output()));
    QSignalSpy errors(p.f.engine.get(), &SipDialer::onErrorState);

    p.f.engine->sendMessage(p.to(QStringLiteral("10-02")), text);
    const QRegularExpressionMatch received = p.peer.waitForEvent(QStringLiteral("^EVENT message .*"));
    QVERIFY2(received.hasMatch(), qPrintable(p.peer.output()));
    QCOMPARE(testbed::SipPeer::value(received.captured(0), QStringLiteral("body")), text);
    QVERIFY(testbed::SipPeer::value(received.captured(0), QStringLiteral("from"))
                .contains(QStringLiteral("sip:1001@")));
    QCOMPARE(errors.count(), 0);

    QSignalSpy pager(p.f.engine.get(), &SipDialer::onPager);
    p.peer.command(
        QStringLiteral("message ") + p.kamailio.uri(QStringLiteral("1001")) + QLatin1Char(' ') + text);
    QVERIFY(pager.wait(10000));
    const QList<QVariant> args = pager.first();
    QCOMPARE(args.at(0).toString(), QStringLiteral("<sip:1002@127.0.0.1>"));
    QVERIFY2(args.at(1).toString().startsWith(QStringLiteral("<sip:1001@127.0.0.1")),
        qPrintable(args.at(1).toString()));
    QCOMPARE(args.at(3).toString(), text);
}

// A MESSAGE without a body still reaches the panel, with the sender's display name and contact.
void tst_EngineMessages::emptyIncomingMessage()
{
    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy pager(f.engine.get(), &SipDialer::onPager);
    testbed::Sipp sipp;
    QVERIFY(sipp.start(
        EngineFixture::scenario("uac_message_empty.xml"), f.hostPort(), EngineFixture::sippCalls(), 10000));
    QTRY_COMPARE_WITH_TIMEOUT(pager.count(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!sipp.isRunning(), 10000);
    QVERIFY2(sipp.exitCode() == 0, qPrintable(sipp.messages()));
    const QList<QVariant> args = pager.first();
    const QString sipp_ = sipp.hostPort();
    QCOMPARE(args.at(0).toString(), QStringLiteral("\"Front Desk\" <sip:2002@") + sipp_ + QLatin1Char('>'));
    QCOMPARE(args.at(1).toString(), QStringLiteral("<sip:1001@") + f.hostPort() + QLatin1Char('>'));
    QCOMPARE(args.at(2).toString(), QStringLiteral("<sip:2002@") + sipp_ + QLatin1Char('>'));
    QVERIFY(args.at(3).toString().isEmpty());
}

// The peer's presence as it changes, our own presence as the peer sees it, and silence after
// the buddy is removed.
void tst_EngineMessages::buddyPresence()
{
    Pair p;
    QVERIFY2(p.start({QStringLiteral("--presence"), QStringLiteral("online")}),
        qPrintable(p.kamailio.log() + p.peer.output()));
    QSignalSpy states(p.f.engine.get(), &SipDialer::onBuddyState);
    const int buddy = p.f.engine->add_buddy(QStringLiteral("sip:1002@") + p.kamailio.hostPort());
    QVERIFY(buddy >= 0);
    QVERIFY(p.f.log().contains(QStringLiteral("Add buddy sip:1002@") + p.kamailio.hostPort()
        + QStringLiteral(" id ") + QString::number(buddy)));

    const auto waitFor = [&](const QString &text, unsigned status) -> bool {
        return QTest::qWaitFor(
            [&] {
                return !states.isEmpty() && states.last().at(1).toString() == text
                    && states.last().at(2).toUInt() == status;
            },
            10000);
    };
    QVERIFY2(waitFor(QStringLiteral("Online"), 1), qPrintable(p.peer.output()));
    QCOMPARE(states.last().at(0).toUInt(), unsigned(buddy));
    p.peer.command(QStringLiteral("presence busy"));
    QVERIFY(waitFor(QStringLiteral("Busy"), 1));
    p.peer.command(QStringLiteral("presence offline"));
    QVERIFY(waitFor(QStringLiteral("Offline"), 2));
    p.peer.command(QStringLiteral("presence online"));
    QVERIFY(waitFor(QStringLiteral("Online"), 1));

    // Anyone may watch us: we are online.
    p.peer.command(QStringLiteral("subscribe ") + p.kamailio.uri(QStringLiteral("1001")));
    QVERIFY2(
        p.peer.waitForEvent(QStringLiteral("^EVENT presence from=\\S*1001\\S* status=online")).hasMatch(),
        qPrintable(p.peer.output()));

    p.f.engine->remove_buddy(buddy);
    QVERIFY(p.f.log().contains(QStringLiteral("Remove buddy ") + QString::number(buddy)));
    const qsizetype before = states.count();
    p.peer.command(QStringLiteral("presence busy"));
    QTest::qWait(1500);
    QCOMPARE(states.count(), before);
    QCOMPARE(p.f.engine->add_buddy(QStringLiteral("sip:1002@") + p.kamailio.hostPort()), buddy);
}

void tst_EngineMessages::buddyWithBadUri()
{
    EngineFixture f;
    QVERIFY(f.engine->init());
    QCOMPARE(f.engine->add_buddy(QStringLiteral("sip:<1002>@")), -1);
    QVERIFY(f.log().contains(QStringLiteral("Failed to add buddy sip:<1002>@")));
    // Removing an id that was never given out changes nothing.
    f.engine->remove_buddy(7);
    QVERIFY(f.log().contains(QStringLiteral("Remove buddy 7")));
}

QTEST_GUILESS_MAIN(tst_EngineMessages)
#include "tst_enginemessages.moc"
