// The stored codec list: reading and writing it back unchanged, the editor's toggles, the engine
// identifiers, and what this build cannot offer; the DTMF method text.
#include <QTest>

#include "panel/codeclist.h"
#include "panel/dtmfmethod.h"

class TestCodecList final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void toggle_data();
    void toggle();
    void availability_data();
    void availability();
    void dtmf_data();
    void dtmf();
};

void TestCodecList::roundTrip_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("items");

    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("new account") << ",ulaw" << 2;
    QTest::newRow("empty items inside and at the end") << "g722,,ulaw," << 4;
    QTest::newRow("only commas") << ",," << 3;
    QTest::newRow("unknown and mixed case") << "ULAW,mp3" << 2;
}

void TestCodecList::roundTrip()
{
    QFETCH(QString, stored);
    QFETCH(int, items);
    const CodecList list(stored);
    QCOMPARE(list.items().size(), items);
    QCOMPARE(list.toString(), stored);
    QCOMPARE(list.engineIdentifiers().size(), items);
    QCOMPARE(CodecList(list.toString()).items(), list.items());
}

void TestCodecList::toggle_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QString>("result");

    // clang-format off
    QTest::newRow("enable appends") << "ulaw" << "opus" << true << "ulaw,opus";
    QTest::newRow("enable on empty") << QString() << "gsm" << true << "gsm";
    QTest::newRow("enable keeps the leading empty item") << "," << "alaw" << true << ",,alaw";
    QTest::newRow("re-enabling moves to the end") << "ulaw,alaw" << "ulaw" << true << "ulaw,alaw,ulaw";
    QTest::newRow("disable removes every occurrence") << "ulaw,gsm,ulaw" << "ulaw" << false << "gsm";
    QTest::newRow("disable keeps empty items") << ",ulaw,alaw" << "ulaw" << false << ",alaw";
    QTest::newRow("disable what is absent") << "alaw" << "opus" << false << "alaw";
    // clang-format on
}

void TestCodecList::toggle()
{
    QFETCH(QString, stored);
    QFETCH(QString, key);
    QFETCH(bool, enable);
    QFETCH(QString, result);
    CodecList list(stored);
    list.setEnabled(key, enable);
    QCOMPARE(list.toString(), result);
}

void TestCodecList::availability_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("identifiers");
    QTest::addColumn<QStringList>("unknown");
    QTest::addColumn<QStringList>("unavailable");

    QTest::newRow("all built") << "ulaw,alaw,g722,gsm,speexwideband"
                               << QStringList {"PCMU/8000/1", "PCMA/8000/1", "G722/16000/1", "GSM/8000/1",
                                      "speex/16000/1"}
                               << QStringList() << QStringList();
    QTest::newRow("other built codecs") << "opus,speexnarrowband,speexultrawideband,g729,g726,l16"
                                        << QStringList {"opus/48000/2", "speex/8000/1", "speex/32000/1",
                                               "G729/8000/1", "G726-32/8000/1", "L16/44100/1"}
                                        << QStringList() << QStringList();
    QTest::newRow("not in this build")
        << "ilbc,silk,amr,ilbc" << QStringList {"iLBC/8000/1", "SILK/16000/1", "AMR/8000/1", "iLBC/8000/1"}
        << QStringList() << QStringList {"iLBC", "SILK", "AMR"};
    QTest::newRow("unknown names pass through") << ",Opus,mp3, " << QStringList {"", "Opus", "mp3", " "}
                                                << QStringList {"Opus", "mp3"} << QStringList();
}

void TestCodecList::availability()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, identifiers);
    QFETCH(QStringList, unknown);
    QFETCH(QStringList, unavailable);
    const CodecList list(stored);
    QCOMPARE(list.engineIdentifiers(), identifiers);
    QCOMPARE(list.unknownItems(), unknown);
    QCOMPARE(list.unavailableCodecs(), unavailable);
}

void TestCodecList::dtmf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("written");

    QTest::newRow("In-band") << "In-band" << int(DTMF_INBAND) << "In-band";
    QTest::newRow("RFC2833") << "RFC2833" << int(DTMF_RFC2833) << "RFC2833";
    QTest::newRow("SIP INFO") << "SIP INFO" << int(DTMF_SIPINFO) << "SIP INFO";
    // Names are matched exactly: anything else falls back to RFC 2833.
    QTest::newRow("In-Band with a capital B falls back") << "In-Band" << int(DTMF_RFC2833) << "RFC2833";
}

void TestCodecList::dtmf()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, written);
    QCOMPARE(int(DtmfMethod::fromText(text)), type);
    QCOMPARE(DtmfMethod::toText(DtmfMethod::fromText(text)), written);
    QVERIFY(DtmfMethod::texts().contains(written));
}

QTEST_GUILESS_MAIN(TestCodecList)
#include "tst_codeclist.moc"
