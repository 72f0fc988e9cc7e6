// The SIP log's scrollback: capture on and off, the limit, and lines no window should choke on.
#include <QElapsedTimer>
#include <QTest>

#include "diagnostics/siplogbuffer.h"

class TestSipLogBuffer final : public QObject
{
    Q_OBJECT

private slots:
    void linesBeforeCaptureAreNeverKept();
    void limitKeepsTheNewestLines_data();
    void limitKeepsTheNewestLines();
    void takeNewGivesOnlyWhatIsStillKept();
    void hostileLines_data();
    void hostileLines();
    void floodStaysBoundedAndFast();
};

void TestSipLogBuffer::linesBeforeCaptureAreNeverKept()
{
    SipLogBuffer buffer;
    QVERIFY(!buffer.append(QStringLiteral("early")));
    buffer.setCapturing(true);
    QVERIFY(buffer.append(QStringLiteral("during")));
    buffer.setCapturing(false);
    QVERIFY(!buffer.append(QStringLiteral("after")));
    QCOMPARE(buffer.lines(), QStringList {QStringLiteral("during")});
}

void TestSipLogBuffer::limitKeepsTheNewestLines_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("kept");
    QStringList lines;
    for (int i = 1; i <= 201; ++i)
        lines << QString::number(i);
    QTest::newRow("201st pushes out the first") << 200 << lines << lines.mid(1);
    QTest::newRow("limit 0 keeps nothing") << 0 << lines << QStringList();
    // A SIP message is one entry of many lines: each line counts.
    QTest::newRow("entry split into lines")
        << 3
        << QStringList {QStringLiteral("a\nb"),
               QStringLiteral("INVITE sip:1@x SIP/2.0\r\nVia: y\r\nTo: z\r\n")}
        << QStringList {
               QStringLiteral("INVITE sip:1@x SIP/2.0"), QStringLiteral("Via: y"), QStringLiteral("To: z")};
    QTest::newRow("entry longer than the limit") << 2 << QStringList {QStringLiteral("1\n2\n3\n4\n5")}
                                                 << QStringList {QStringLiteral("4"), QStringLiteral("5")};
    QTest::newRow("empty lines count")
        << 2 << QStringList {QStringLiteral("\n\n\n")} << QStringList {QString(), QString()};
    QTest::newRow("above the maximum is the maximum") << 5000 << lines << lines;
}

void TestSipLogBuffer::limitKeepsTheNewestLines()
{
    QFETCH(int, limit);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, kept);
    SipLogBuffer buffer;
    buffer.setLimit(limit);
    buffer.setCapturing(true);
    for (const QString &entry : entries)
        buffer.append(entry);
    QCOMPARE(buffer.lines(), kept);
}

void TestSipLogBuffer::takeNewGivesOnlyWhatIsStillKept()
{
    SipLogBuffer buffer;
    buffer.setLimit(3);
    buffer.setCapturing(true);
    buffer.append(QStringLiteral("a\nb"));
    QCOMPARE(buffer.takeNew(), (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    QVERIFY(!buffer.hasNew());
    buffer.append(QStringLiteral("c\nd\ne\nf"));
    // Four new lines, of which the limit keeps three; none of the old ones is handed out again.
    QCOMPARE(buffer.takeNew(), (QStringList {QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")}));
    buffer.append(QStringLiteral("g"));
    buffer.setLimit(0);
    QCOMPARE(buffer.takeNew(), QStringList());
    QVERIFY(buffer.isEmpty());
}

void TestSipLogBuffer::hostileLines_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    const QChar bad = QChar::ReplacementCharacter;
    QTest::newRow("binary body") << QString::fromLatin1(QByteArray("a\x00\x01\x1b[2Jb\x7f",
        9)) << QString(QLatin1Char('a') + bad + bad + bad + QStringLiteral("[2Jb") + bad);
    QTest::newRow("tab kept") << QStringLiteral("Via:\tx") << QStringLiteral("Via:\tx");
    QTest::newRow("C1 control") << QString(QChar(0x85)) << QString(bad);
    QTest::newRow("64 KB line is cut") << QString(65536, QLatin1Char('x'))
                                       << QString(SipLogBuffer::MaxLineLength, QLatin1Char('x'))
            + QStringLiteral(" [... %1 more characters]").arg(65536 - SipLogBuffer::MaxLineLength);
    QString pair = QString(SipLogBuffer::MaxLineLength - 1, QLatin1Char('x'));
    pair += QChar(0xd83d);
    pair += QChar(0xde00);
    QTest::newRow("cut inside a surrogate pair") << pair
                                                 << QString(SipLogBuffer::MaxLineLength - 1, QLatin1Char('x'))
            + bad + QStringLiteral(" [... 1 more characters]");
    QTest::newRow("UTF-8 text kept") << QStringLiteral("From: \"Zoë Ünal\" <sip:1@x>")
                                     << QStringLiteral("From: \"Zoë Ünal\" <sip:1@x>");
}

void TestSipLogBuffer::hostileLines()
{
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    SipLogBuffer buffer;
    buffer.setCapturing(true);
    buffer.append(entry);
    QCOMPARE(buffer.lines(), QStringList {shown});
}

void TestSipLogBuffer::floodStaysBoundedAndFast()
{
    // Ten thousand lines of a second, each a 64 KB message: kept bounded, well within a second.
    SipLogBuffer buffer;
    buffer.setLimit(SipLogBuffer::MaxLimit);
    buffer.setCapturing(true);
    const QString message = QStringLiteral("SIP/2.0 200 OK\r\n") + QString(65536, QLatin1Char('y'));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 10000; ++i)
        buffer.append(message);
    QCOMPARE(buffer.lineCount(), SipLogBuffer::MaxLimit);
    QCOMPARE(buffer.takeNew().size(), SipLogBuffer::MaxLimit);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestSipLogBuffer)
#include "tst_siplogbuffer.moc"
