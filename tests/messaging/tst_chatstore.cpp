// The chat log line format and the chat log files, with hostile message bodies and names.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "messaging/chatline.h"
#include "messaging/chatstore.h"

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ChatStore final : public QObject
{
    Q_OBJECT

private slots:
    void hostileBodies_data();
    void hostileBodies();
    void linesOfOlderLogs();
    void safeFileNames_data();
    void safeFileNames();
    void truncatedLogKeepsLinesWhole();
    void unreadableLog();
    void tailOfLongLog();
};

void tst_ChatStore::hostileBodies_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown"); // what a window shows after the round trip
    QTest::newRow("plain") << QStringLiteral("Call me") << QStringLiteral("Call me");
    QTest::newRow("line feeds") << QStringLiteral("one\ntwo\n") << QStringLiteral("one\ntwo\n");
    QTest::newRow("CR LF and lone CR") << QStringLiteral("a\r\nb\rc") << QStringLiteral("a\nb\nc");
    QTest::newRow("the log's own bytes") << QStringLiteral("x\x1Fy\x0Ez\x0Fw\x0Cv")
                                         << QString(QStringLiteral("x") + QChar(0x241F) + QStringLiteral("y")
                                                + QChar(0x240E) + QStringLiteral("z") + QChar(0x240F)
                                                + QStringLiteral("w") + QChar(0x240C) + QStringLiteral("v"));
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))
                         << QString(QStringLiteral("a") + QChar(0x2400) + QStringLiteral("b"));
    QTest::newRow("invalid UTF-8 as decoded")
        << QString::fromUtf8("caf\xE9 \xC3\x28 ok") << QString::fromUtf8("caf\xE9 \xC3\x28 ok");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("scripts and emoji") << QStringLiteral("Ευχαριστώ ありがとう 🙂")
                                       << QStringLiteral("Ευχαριστώ ありがとう 🙂");
    QString big;
    for (int i = 0; big.size() < 1024 * 1024; ++i)
        big += QStringLiteral("line %1\x1F\n").arg(i);
    QString bigShown = big;
    bigShown.replace(QChar(0x1F), QChar(0x241F));
    QTest::newRow("1 MB with separators and line feeds") << big << bigShown;
}

// Whatever the body holds, it is one line with exactly two separators, and reads back as shown.
void tst_ChatStore::hostileBodies()
{
    QFETCH(QString, body);
    QFETCH(QString, shown);
    const QByteArray line
        = ChatLine::encode(ChatLine::Direction::Received, QStringLiteral("2024/05/01 10:00:00"), body);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    QCOMPARE(line.count(ChatLine::FieldSeparator), 2);
    QCOMPARE(line.at(0), ChatLine::ReceivedMarker);
    const std::optional<ChatLine::Entry> entry = ChatLine::decode(line);
    QVERIFY(entry);
    QCOMPARE(entry->direction, ChatLine::Direction::Received);
    QCOMPARE(entry->time, QStringLiteral("2024/05/01 10:00:00"));
    QCOMPARE(entry->body, shown);
}

void tst_ChatStore::linesOfOlderLogs()
{
    const auto sent = ChatLine::decode(QByteArray("\x0E\x1Fhello\x0Cthere"));
    QVERIFY(sent);
    QCOMPARE(sent->direction, ChatLine::Direction::Sent);
    QVERIFY(sent->time.isEmpty());
    QCOMPARE(sent->body, QStringLiteral("hello\nthere"));
    // Anything but the sent marker reads as received; a line without a separator is no message.
    QCOMPARE(ChatLine::decode(QByteArray("?\x1Ft\x1F"
                                         "b"))
                 ->direction,
        ChatLine::Direction::Received);
    QVERIFY(!ChatLine::decode(QByteArray("just text")));
    QVERIFY(!ChatLine::decode(QByteArray()));
}

void tst_ChatStore::safeFileNames_data()
{
    QTest::addColumn<QString>("peer");
    QTest::newRow("extension") << QStringLiteral("1002");
    QTest::newRow("telephone") << QStringLiteral("+44-20-7946-0000");
    QTest::newRow("slash") << QStringLiteral("a/b");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("climbing") << QStringLiteral("../../etc/passwd");
    QTest::newRow("backslash and colon") << QStringLiteral("..\\x:y*?\"<>|");
    QTest::newRow("empty") << QString();
    QTest::newRow("unicode") << QStringLiteral("Zoë 🙂");
    QTest::newRow("control bytes") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("\n\x1F"));
    QTest::newRow("very long") << QString(3000, QLatin1Char('x'));
}

// Every peer name gives a file directly inside the folder, and listing finds it under its own
// extension with the name it came with (long names come back shortened).
void tst_ChatStore::safeFileNames()
{
    QFETCH(QString, peer);
    QTemporaryDir dir;
    const ChatStore store(dir.filePath(QStringLiteral("chatlogs")));
    QVERIFY(store.append(QStringLiteral("201"), peer, "\x0F\x1Ft\x1Fhi\n"));
    const QFileInfo written(store.path(QStringLiteral("201"), peer));
    QVERIFY(written.exists());
    QCOMPARE(written.absolutePath(), QDir(store.folder()).absolutePath());
    QVERIFY(written.fileName().size() < 200);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList {"chatlogs"});
    const QStringList files = store.conversations(QStringLiteral("201"));
    QCOMPARE(files.size(), 1);
    QString own;
    QString back;
    QVERIFY(ChatStore::splitFileName(files.first(), &own, &back));
    QCOMPARE(own, QStringLiteral("201"));
    if (peer.size() < 50)
        QCOMPARE(back, peer);
    QCOMPARE(store.lines(QStringLiteral("201"), peer).size(), 1);
    // Another extension's conversations do not list it.
    QVERIFY(store.conversations(QStringLiteral("20")).isEmpty());
}

// A log cut in the middle of its last line: the next message still gets a line of its own, and
// the lines before stay as they were.
void tst_ChatStore::truncatedLogKeepsLinesWhole()
{
    QTemporaryDir dir;
    const ChatStore store(dir.path());
    const QByteArray first
        = ChatLine::encode(ChatLine::Direction::Sent, QStringLiteral("t1"), QStringLiteral("first"));
    QVERIFY(store.append(QStringLiteral("201"), QStringLiteral("305"), first));
    {
        QFile file(store.path(QStringLiteral("201"), QStringLiteral("305")));
        QVERIFY(file.open(QIODevice::Append));
        file.write("\x0F\x1Ft2\x1F"
                   "cut sho");
    }
    const QByteArray third
        = ChatLine::encode(ChatLine::Direction::Received, QStringLiteral("t3"), QStringLiteral("third"));
    QVERIFY(store.append(QStringLiteral("201"), QStringLiteral("305"), third));
    QCOMPARE(fileBytes(store.path(QStringLiteral("201"), QStringLiteral("305"))),
        first
            + QByteArray("\x0F\x1Ft2\x1F"
                         "cut sho\n")
            + third);
    const QList<QByteArray> lines = store.lines(QStringLiteral("201"), QStringLiteral("305"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(ChatLine::decode(lines.at(2))->body, QStringLiteral("third"));
}

void tst_ChatStore::unreadableLog()
{
    QTemporaryDir dir;
    const ChatStore store(dir.path());
    // A folder where the log should be: neither readable as a log nor writable.
    QVERIFY(QDir().mkpath(store.path(QStringLiteral("201"), QStringLiteral("305"))));
    QVERIFY(store.lines(QStringLiteral("201"), QStringLiteral("305")).isEmpty());
    QVERIFY(!store.append(QStringLiteral("201"), QStringLiteral("305"), "\x0F\x1Ft\x1Fx\n"));
    // A missing log reads as an empty history.
    QVERIFY(store.lines(QStringLiteral("201"), QStringLiteral("999")).isEmpty());
}

// The tail of a log that has grown large: the newest lines, none cut by the byte limit.
void tst_ChatStore::tailOfLongLog()
{
    QTemporaryDir dir;
    const ChatStore store(dir.path());
    QFile file(store.path(QStringLiteral("201"), QStringLiteral("305")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray chunk;
    for (int i = 0; i < 200000; ++i)
        chunk += ChatLine::encode(ChatLine::Direction::Received, QStringLiteral("t"), QString::number(i));
    QVERIFY(file.write(chunk) == chunk.size());
    file.close();
    const QList<QByteArray> last = store.tail(QStringLiteral("201"), QStringLiteral("305"), 500, 64 * 1024);
    QCOMPARE(last.size(), 500);
    QCOMPARE(ChatLine::decode(last.last())->body, QStringLiteral("199999"));
    QCOMPARE(ChatLine::decode(last.first())->body, QStringLiteral("199500"));
    const QList<QByteArray> few = store.tail(QStringLiteral("201"), QStringLiteral("305"), 500, 100);
    QVERIFY(!few.isEmpty());
    for (const QByteArray &line : few)
        QVERIFY(ChatLine::decode(line));
}

QTEST_GUILESS_MAIN(tst_ChatStore)
#include "tst_chatstore.moc"
