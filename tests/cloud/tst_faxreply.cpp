// The fax readers and checks: reference, details part, progress and error replies, the document.
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include "cloud/faxjob.h"

class TestFaxReply final : public QObject
{
    Q_OBJECT

private slots:
    void extrefTakesFourCharactersOfTheExtension_data();
    void extrefTakesFourCharactersOfTheExtension();
    void detailsPart();
    void progress_data();
    void progress();
    void errorText_data();
    void errorText();
    void document_data();
    void document();
};

void TestFaxReply::extrefTakesFourCharactersOfTheExtension_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("extref");
    QTest::newRow("two digits") << QStringLiteral("42") << QStringLiteral("20240305-070809-42");
    QTest::newRow("six digits") << QStringLiteral("123456") << QStringLiteral("20240305-070809-1234");
    QTest::newRow("empty") << QString() << QStringLiteral("20240305-070809-");
}

void TestFaxReply::extrefTakesFourCharactersOfTheExtension()
{
    QFETCH(QString, extension);
    QFETCH(QString, extref);
    QCOMPARE(faxExtref(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)), extension), extref);
}

void TestFaxReply::detailsPart()
{
    const QJsonObject details
        = faxDetails(QStringLiteral("R-1"), QStringLiteral(" 555 "), FaxResolution::Fine);
    QCOMPARE(QJsonDocument(details).toJson(QJsonDocument::Compact),
        QByteArray(
            "{\"batchextref\":\"R-1\",\"coverpage\":\"N\",\"coverpagecontent\":\"\",\"coverpagetitle\":\"\","
            "\"destinations\":[{\"callextref\":\"R-1\",\"destination\":\" 555 \"}],\"numdestinations\":1,"
            "\"resolution\":\"fine\"}"));
    QCOMPARE(
        faxDetails({}, {}, FaxResolution::None).value(QLatin1String("resolution")).toString(), QString());
}

void TestFaxReply::progress_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("status");
    QTest::newRow("array, ours") << QByteArray(R"([{"callextref":"R-1","statusmessage":"Dialling"}])") << true
                                 << QStringLiteral("Dialling");
    QTest::newRow("array, reference with a suffix")
        << QByteArray(R"([{"callextref":"R-1-a","statusmessage":"Sent"}])") << true << QStringLiteral("Sent");
    QTest::newRow("array, another fax")
        << QByteArray(R"([{"callextref":"R-2","statusmessage":"Sent"}])") << false << QString();
    QTest::newRow("array, wrong case")
        << QByteArray(R"([{"callextref":"r-1","statusmessage":"Sent"}])") << false << QString();
    QTest::newRow("array, empty") << QByteArray("[]") << false << QString();
    QTest::newRow("array of numbers") << QByteArray("[1,\"R-1\"]") << false << QString();
    QTest::newRow("status not text") << QByteArray(R"([{"callextref":"R-1","statusmessage":7}])") << false
                                     << QString();
    QTest::newRow("results for the destination")
        << QByteArray(R"({"results":{"555":"Queued","556":"Sent"}})") << true << QStringLiteral("Queued");
    QTest::newRow("results without it") << QByteArray(R"({"results":{"556":"Sent"}})") << true << QString();
    QTest::newRow("results not an object") << QByteArray(R"({"results":["Sent"]})") << false << QString();
    QTest::newRow("garbage") << QByteArray("<html>busy</html>") << false << QString();
    QTest::newRow("empty body") << QByteArray() << false << QString();
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4) << false << QString();
}

void TestFaxReply::progress()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, known);
    QFETCH(QString, status);
    const FaxProgress p = readFaxProgress(body, QStringLiteral("R-1"), QStringLiteral("555"));
    QCOMPARE(p.known, known);
    QCOMPARE(p.status, status);
}

void TestFaxReply::errorText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("error object") << QByteArray(R"({"Error":"No destination set"})")
                                  << QStringLiteral("No destination set");
    QTest::newRow("error not text") << QByteArray(R"({"Error":{"code":1}})") << QString();
    QTest::newRow("garbage") << QByteArray("Internal Server Error") << QString();
    QTest::newRow("array") << QByteArray(R"(["Error"])") << QString();
}

void TestFaxReply::errorText()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QCOMPARE(readFaxError(body), text);
}

void TestFaxReply::document_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<qint64>("size"); // > 0: a sparse file of that size starting with content
    QTest::addColumn<QString>("problem");
    QTest::newRow("PDF") << QByteArray("%PDF-1.4\n") << qint64(0) << QString();
    QTest::newRow("TIFF little-endian") << QByteArray("II*\0rest", 8) << qint64(0) << QString();
    QTest::newRow("TIFF big-endian") << QByteArray("MM\0*rest", 8) << qint64(0) << QString();
    QTest::newRow("missing") << QByteArray() << qint64(0) << QStringLiteral("The file does not exist");
    QTest::newRow("empty") << QByteArray("") << qint64(0) << QStringLiteral("The file is empty");
    QTest::newRow("not a document") << QByteArray("hello") << qint64(0)
                                    << QStringLiteral("The file is not a PDF or TIFF document");
    QTest::newRow("200 MB") << QByteArray("%PDF-1.4\n") << qint64(200) * 1024 * 1024
                            << QStringLiteral("The file is larger than 20 MB");
}

void TestFaxReply::document()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, size);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc"));
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        if (size > 0)
            QVERIFY(file.resize(size));
    }
    QCOMPARE(checkFaxFile(path), problem);
    QCOMPARE(checkFaxFile(QString()), QStringLiteral("No file selected"));
}

QTEST_GUILESS_MAIN(TestFaxReply)
#include "tst_faxreply.moc"
