// The message handler against Kamailio, the scripted peer and SIPp on loopback: messages both
// ways with the chat log's bytes, unread counts, two extensions with one peer, hostile messages.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "../engine/enginefixture.h"
#include "core/dbmgr.h"
#include "messaging/chatline.h"
#include "messaging/imhandler.h"

namespace {

const QString TimePattern = QStringLiteral("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The log's bytes with every time replaced by "T", so that they can be compared exactly.
QByteArray withoutTimes(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QRegularExpression(TimePattern), QStringLiteral("T"));
    return text.toUtf8();
}

} // namespace

class tst_MessagingEndToEnd final : public QObject
{
    Q_OBJECT

    testbed::Kamailio m_proxy;
    std::unique_ptr<EngineFixture> m_f;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<IMHandler> m_im;
    testbed::SipPeer m_peer;
    std::map<QString, int> m_ids; // own extension -> engine account

    QString log(const QString &own, const QString &peer) const { return m_im->store().path(own, peer); }

    void peerSends(const QString &to, const QString &text)
    {
        m_peer.command(QStringLiteral("message ") + m_proxy.uri(to) + QLatin1Char(' ') + text);
    }

private slots:

    void initTestCase()
    {
        QVERIFY2(m_proxy.start(), qPrintable(m_proxy.log()));
        m_f = std::make_unique<EngineFixture>();
        m_db = std::make_unique<dbmgr>(*m_f->settings);
        QVERIFY(m_db->open());
        QVERIFY(m_f->engine->init());
        m_im
            = std::make_unique<IMHandler>(*m_f->engine, *m_db, m_f->dir.filePath(QStringLiteral("chatlogs")));
        m_im->setEngineIdLookup([this](const QString &own) {
            const auto it = m_ids.find(own);
            return it == m_ids.end() ? -1 : it->second;
        });
        // 1001 and 1003 are followed for chat; 1005 is registered but not followed.
        for (const QString &user : {QStringLiteral("1001"), QStringLiteral("1003"), QStringLiteral("1005")}) {
            const int id = m_f->registerAt(m_proxy, user);
            QVERIFY(id >= 0);
            if (user != QLatin1String("1005")) {
                m_ids[user] = id;
                m_im->monitorAccount({user, user, m_proxy.hostPort()});
            }
        }
        QVERIFY2(
            testbed::startRegistered(m_peer, m_proxy, QStringLiteral("1002")), qPrintable(m_peer.output()));
    }

    void cleanupTestCase()
    {
        m_peer.stop();
        m_im.reset();
        m_f.reset();
    }

    // A message each way, and the exact bytes they leave in the chat log. The peer's body holds
    // the log's own control bytes; they cannot split the line.
    void bothWays()
    {
        QSignalSpy received(m_im.get(), &IMHandler::receivedMessage);
        peerSends(QStringLiteral("1001"), QStringLiteral("hi\x1F there\x0E\x0C!"));
        QVERIFY(received.wait(10000));
        QCOMPARE(received.first().at(0).toString(), QStringLiteral("1002"));
        QCOMPARE(received.first().at(1).toString(), QStringLiteral("1001"));
        QVERIFY(QRegularExpression(QStringLiteral("^") + TimePattern + QStringLiteral("$"))
                    .match(received.first().at(3).toString())
                    .hasMatch());

        m_im->sendMessage(QStringLiteral("1001"), QStringLiteral("1002"), QStringLiteral("Two\nlines 🙂"));
        const QRegularExpressionMatch sent = m_peer.waitForEvent(QStringLiteral("^EVENT message .*"));
        QVERIFY2(sent.hasMatch(), qPrintable(m_peer.output()));
        QCOMPARE(testbed::SipPeer::value(sent.captured(0), QStringLiteral("body")),
            QStringLiteral("Two\nlines 🙂"));

        const QByteArray expected = QByteArray("\x0F\x1FT\x1Fhi") + QString(QChar(0x241F)).toUtf8() + " there"
            + QString(QChar(0x240E)).toUtf8() + QString(QChar(0x240C)).toUtf8() + "!\n"
            + QByteArray("\x0E\x1FT\x1FTwo\x0Clines ") + QStringLiteral("🙂").toUtf8() + "\n";
        QCOMPARE(withoutTimes(fileBytes(log(QStringLiteral("1001"), QStringLiteral("1002")))), expected);
        m_im->messageRead(QStringLiteral("1001"), QStringLiteral("1002"));
    }

    // Unread counts per conversation, for two extensions that talk to the same peer; reading one
    // conversation leaves the other unread.
    void unreadPerExtension()
    {
        QSignalSpy received(m_im.get(), &IMHandler::receivedMessage);
        QSignalSpy deltas(m_im.get(), &IMHandler::unreadChanged);
        for (int i = 1; i <= 3; ++i)
            peerSends(QStringLiteral("1001"), QStringLiteral("for 1001 #%1").arg(i));
        peerSends(QStringLiteral("1003"), QStringLiteral("for 1003"));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 4, 10000);
        QCOMPARE(m_im->getUnreadCount(QStringLiteral("1001"), QStringLiteral("1002")), 3);
        QCOMPARE(m_im->getUnreadCount(QStringLiteral("1003"), QStringLiteral("1002")), 1);
        QCOMPARE(m_im->getUnread(QStringLiteral("1001")), QStringList {QStringLiteral("1002")});

        const QList<QByteArray> lines
            = m_im->getConversationHistory(QStringLiteral("1001"), QStringLiteral("1002"));
        QCOMPARE(ChatLine::decode(lines.last())->body, QStringLiteral("for 1001 #3"));
        QCOMPARE(m_im->getUnreadCount(QStringLiteral("1001"), QStringLiteral("1002")), 0);
        QCOMPARE(m_im->getUnreadCount(QStringLiteral("1003"), QStringLiteral("1002")), 1);
        QCOMPARE(deltas.last().at(0).toString(), QStringLiteral("1001"));
        QCOMPARE(deltas.last().at(1).toInt(), -3);

        const QList<QByteArray> other = m_im->store().lines(QStringLiteral("1003"), QStringLiteral("1002"));
        QCOMPARE(other.size(), 1);
        QCOMPARE(ChatLine::decode(other.first())->body, QStringLiteral("for 1003"));
        m_im->messageRead(QStringLiteral("1003"), QStringLiteral("1002"));
    }

    // A message for an extension that is registered but not followed leaves no trace.
    void unmonitoredExtension()
    {
        QSignalSpy received(m_im.get(), &IMHandler::receivedMessage);
        QSignalSpy pager(m_f->engine.get(), &SipDialer::onPager);
        peerSends(QStringLiteral("1005"), QStringLiteral("anyone?"));
        QVERIFY(pager.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_f->log().contains(QStringLiteral("Warning: Received message for unmonitored account 1005")),
            5000);
        QCOMPARE(received.size(), 0);
        QVERIFY(m_im->store().conversations(QStringLiteral("1005")).isEmpty());
    }

    // Bodies a peer would not send, straight to the engine: CR LF, a byte that is not UTF-8 and
    // markup as text/plain, the same as text/html (refused by the stack, never stored); then NUL
    // and a megabyte of text handed over as the engine would.
    // Every earlier line stays as it was and every line still reads.
    void hostileMessages()
    {
        const QString own = QStringLiteral("1003");
        const QByteArray before = fileBytes(log(own, QStringLiteral("2666")));
        QSignalSpy received(m_im.get(), &IMHandler::receivedMessage);
        testbed::Sipp sipp;
        const bool ran = sipp.run(testbed::scenarioPath(QStringLiteral("message-hostile")), m_f->hostPort(),
            {QStringLiteral("-s"), own, QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-key"),
                QStringLiteral("ctype"), QStringLiteral("text/plain")},
            15000);
        QVERIFY2(ran, qPrintable(sipp.messages()));
        testbed::Sipp html;
        QVERIFY2(html.run(testbed::scenarioPath(QStringLiteral("message-hostile")), m_f->hostPort(),
                     {QStringLiteral("-s"), own, QStringLiteral("-m"), QStringLiteral("1"),
                         QStringLiteral("-key"), QStringLiteral("ctype"), QStringLiteral("text/html")},
                     15000),
            qPrintable(html.messages()));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
        QCOMPARE(received.first().at(0).toString(), QStringLiteral("2666"));
        const QString body = received.first().at(2).toString();
        QVERIFY2(body.contains(QStringLiteral("<b>second</b>")), qPrintable(body));

        m_im->messageReceived(QStringLiteral("<sip:2666@127.0.0.1>"), QStringLiteral("<sip:1003@127.0.0.1>"),
            {}, QString(QStringLiteral("nul") + QChar(0) + QStringLiteral("byte")));
        const QString big(1024 * 1024, QLatin1Char('m'));
        m_im->messageReceived(
            QStringLiteral("<sip:2666@127.0.0.1>"), QStringLiteral("<sip:1003@127.0.0.1>"), {}, big);
        m_im->messageReceived(
            QStringLiteral("<sip:2666@127.0.0.1>"), QStringLiteral("<sip:1003@127.0.0.1>"), {}, {});

        const QByteArray after = fileBytes(log(own, QStringLiteral("2666")));
        QVERIFY(after.startsWith(before));
        const QList<QByteArray> lines = m_im->store().lines(own, QStringLiteral("2666"));
        QCOMPARE(lines.size(), 4);
        for (const QByteArray &line : lines)
            QCOMPARE(line.count(ChatLine::FieldSeparator), 2);
        const ChatLine::Entry first = *ChatLine::decode(lines.at(0));
        QCOMPARE(first.body, ChatLine::displayableBody(body));
        QVERIFY2(!first.body.contains(QLatin1Char('\r')), qPrintable(first.body));
        QCOMPARE(ChatLine::decode(lines.at(1))->body,
            QString(QStringLiteral("nul") + QChar(0x2400) + QStringLiteral("byte")));
        QCOMPARE(ChatLine::decode(lines.at(2))->body, big);
        QCOMPARE(ChatLine::decode(lines.at(3))->body, QString());
        m_im->messageRead(own, QStringLiteral("2666"));
    }

    // Sending to a number nobody has (the proxy answers 404) or to a host that never answers
    // returns at once and still keeps the message the operator saw go.
    void undeliverable()
    {
        QElapsedTimer clock;
        clock.start();
        m_im->sendMessage(QStringLiteral("1001"), QStringLiteral("9999"), QStringLiteral("nobody"));
        QCOMPARE(m_im->store().lines(QStringLiteral("1001"), QStringLiteral("9999")).size(), 1);
        QVERIFY(clock.elapsed() < 2000);
        // Not registered: nothing is sent and nothing is kept.
        m_im->sendMessage(QStringLiteral("1005"), QStringLiteral("1002"), QStringLiteral("from nowhere"));
        QVERIFY(m_im->store().conversations(QStringLiteral("1005")).isEmpty());
        QTest::qWait(500); // the engine's answer to the 404 arrives without harm
        QCOMPARE(m_im->store().lines(QStringLiteral("1001"), QStringLiteral("9999")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_MessagingEndToEnd)
#include "tst_messaging_e2e.moc"
