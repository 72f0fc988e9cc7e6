// The engine's readings of SIP message text: voice-mail counts and the headers of an INVITE.

#include <QTest>

#include "engine/inviteheaders.h"
#include "engine/messagesummary.h"

using Counts = QList<QPair<int, int>>;

class tst_EngineParsing : public QObject
{
    Q_OBJECT

private slots:
    void voiceMessages_data();
    void voiceMessages();
    void inviteHeaders_data();
    void inviteHeaders();
};

void tst_EngineParsing::voiceMessages_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<Counts>("expected");
    QTest::newRow("new and old") << QStringLiteral("Messages-Waiting: yes\r\nVoice-Message: 3/5\r\n")
                                 << Counts {{3, 5}};
    QTest::newRow("urgent counts") << QStringLiteral("Voice-Message: 2/8 (0/2)\r\n") << Counts {{2, 0}};
    QTest::newRow("no blank") << QStringLiteral("Voice-Message:4/1") << Counts {{4, 1}};
    QTest::newRow("lower case name") << QStringLiteral("voice-message: 3/5\r\n") << Counts {};
    QTest::newRow("blank before colon") << QStringLiteral("Voice-Message : 3/5\r\n") << Counts {};
    QTest::newRow("no line") << QStringLiteral("Messages-Waiting: yes\r\n") << Counts {};
    QTest::newRow("only new") << QStringLiteral("Voice-Message: 7\r\n") << Counts {{7, 0}};
    QTest::newRow("words") << QStringLiteral("Voice-Message: many/few\r\n") << Counts {{0, 0}};
    QTest::newRow("two lines in order")
        << QStringLiteral("Voice-Message: 1/2\r\nFax-Message: 9/9\r\nVoice-Message: 3/4\r\n")
        << Counts {{1, 2}, {3, 4}};
}

void tst_EngineParsing::voiceMessages()
{
    QFETCH(QString, body);
    QFETCH(Counts, expected);
    Counts actual;
    for (const VoiceMessageCount &count : MessageSummary::parse(body))
        actual.append({count.newMessages, count.oldMessages});
    QCOMPARE(actual, expected);
}

void tst_EngineParsing::inviteHeaders_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("asserted");
    QTest::addColumn<QString>("called");
    const QString head
        = QStringLiteral("INVITE sip:1001@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:5070\r\n");
    QTest::newRow("both, blanks kept")
        << head
            + QStringLiteral("P-Asserted-Identity: \"Alice\" <sip:1002@127.0.0.1>\r\nP-Called-Party-ID: "
                             "<sip:100@x>\r\n\r\n")
        << QStringLiteral(" \"Alice\" <sip:1002@127.0.0.1>") << QStringLiteral(" <sip:100@x>");
    QTest::newRow("neither") << head + QStringLiteral("From: <sip:a@b>\r\n\r\n") << QString() << QString();
    QTest::newRow("later line wins") << head
            + QStringLiteral("P-Asserted-Identity: <sip:1@a>\r\nP-Asserted-Identity: <sip:2@a>\r\n\r\n")
                                     << QStringLiteral(" <sip:2@a>") << QString();
    QTest::newRow("other case is another name")
        << head + QStringLiteral("p-asserted-identity: <sip:1@a>\r\n\r\n") << QString() << QString();
    QTest::newRow("no blank after colon") << head + QStringLiteral("P-Called-Party-ID:<sip:7@a>\r\n\r\n")
                                          << QString() << QStringLiteral("<sip:7@a>");
}

void tst_EngineParsing::inviteHeaders()
{
    QFETCH(QString, message);
    QFETCH(QString, asserted);
    QFETCH(QString, called);
    const InviteHeaders headers = InviteHeaders::scan(message);
    QCOMPARE(headers.assertedIdentity(), asserted);
    QCOMPARE(headers.calledPartyId(), called);
    // The request line has a colon too and is listed like a header, as the log shows it.
    QCOMPARE(headers.lines().first().first, QStringLiteral("INVITE sip"));
}

QTEST_GUILESS_MAIN(tst_EngineParsing)
#include "tst_engineparsing.moc"
