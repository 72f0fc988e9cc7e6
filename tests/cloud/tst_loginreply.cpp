// Reading the login reply without trusting it: wrong shapes, wrong member types, nulls, numbers,
// non-ASCII text and a very long device list.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "cloud/loginreply.h"

class TestLoginReply final : public QObject
{
    Q_OBJECT

private slots:

    void reply_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("hasDevices");
        QTest::addColumn<QStringList>("labels");

        const QStringList none;
        QTest::newRow("empty body") << QByteArray() << false << QString() << QString() << QString() << false
                                    << none;
        QTest::newRow("garbage") << QByteArray("<html>502</html>") << false << QString() << QString()
                                 << QString() << false << none;
        QTest::newRow("array, not an object") << QByteArray("[{\"devices\": []}]") << false << QString()
                                              << QString() << QString() << false << none;
        QTest::newRow("text, not an object")
            << QByteArray("\"Hello\"") << false << QString() << QString() << QString() << false << none;
        QTest::newRow("no devices member: login completes, directory still handed on")
            << QByteArray("{\"user\": {\"company\": \"Orvalo Demo\", \"user\": \"operator\"}}") << true
            << QStringLiteral("Orvalo Demo") << QStringLiteral("operator") << QString() << false << none;
        QTest::newRow("empty device list")
            << QByteArray("{\"devices\": []}") << true << QString() << QString() << QString() << true << none;
        QTest::newRow("user of the wrong type, devices not a list")
            << QByteArray("{\"user\": \"operator\", \"devices\": {\"deviceref\": 1}}") << true << QString()
            << QString() << QString() << true << none;
        QTest::newRow("names as sent (null stays \"null\"), null token is no token")
            << QByteArray("{\"user\": {\"company\": null, \"user\": 7, \"token\": null}}") << true
            << QStringLiteral("null") << QStringLiteral("7") << QString() << false << none;
        QTest::newRow("session token")
            << QByteArray("{\"user\": {\"company\": \"C\", \"user\": \"U\", \"token\": \"tok-1\"}}") << true
            << QStringLiteral("C") << QStringLiteral("U") << QStringLiteral("tok-1") << false << none;
        QTest::newRow("devices that are not objects are skipped; numbers in JSON spelling")
            << QByteArray(
                   "{\"devices\": [1, null, \"x\", {\"deviceref\": 1001, \"devicename\": \"Front desk\"}, "
                   "[], {\"deviceref\": \"1003\", \"devicename\": null}]}")
            << true << QString() << QString() << QString() << true
            << QStringList {QStringLiteral("1001 Front desk"), QStringLiteral("1003 ")};
        QTest::newRow("non-ASCII") << QStringLiteral(
            "{\"user\": {\"company\": \"Ωmega Κέντρο\", \"user\": \"山田\"}, \"devices\": "
            "[{\"deviceref\": \"Réception\", \"devicename\": \"受付 📞\"}]}")
                                          .toUtf8()
                                   << true << QStringLiteral("Ωmega Κέντρο") << QStringLiteral("山田")
                                   << QString() << true << QStringList {QStringLiteral("Réception 受付 📞")};
    }

    void reply()
    {
        QFETCH(QByteArray, body);
        const LoginReply r = readLoginReply(body);
        QTEST(r.valid, "valid");
        QCOMPARE(r.parseError.isEmpty(), r.valid);
        QTEST(r.company, "company");
        QTEST(r.user, "user");
        QTEST(r.token, "token");
        QTEST(r.hasDevices, "hasDevices");
        QStringList labels;
        for (const OfferedDevice &d : r.devices)
            labels << d.label;
        QTEST(labels, "labels");
        QCOMPARE(r.text, QString::fromUtf8(body));
    }

    // One device object into the account it becomes: missing, null and "null" are empty, numbers
    // and booleans keep their JSON spelling, the constants are set.
    void device()
    {
        const QJsonObject device = QJsonDocument::fromJson(R"({
            "deviceref": "1001", "devicename": "Front desk", "linelabel": "Front desk",
            "serveripaddress": "127.0.0.1:5070", "extensionnumber": 1001, "transport": null,
            "username": "1001", "secret": "s3cr\u00e9t", "port": 5070.5, "allow": "null",
            "callerid": true, "voicemailaccessnum": {"a": 1}})")
                                       .object();
        const Extension e = deviceExtension(device);
        QCOMPARE(e.accountname, QStringLiteral("Front desk"));
        QCOMPARE(e.status, QStringLiteral("active"));
        QCOMPARE(e.domain, QStringLiteral("127.0.0.1:5070"));
        QCOMPARE(e.sipserveraddress, e.domain);
        QCOMPARE(e.extension, QStringLiteral("1001"));
        QCOMPARE(e.siptransport, QString());
        QCOMPARE(e.rtptransport, QStringLiteral("reg"));
        QCOMPARE(e.password, QStringLiteral("s3crét"));
        QCOMPARE(e.sipport, QStringLiteral("5070.5"));
        QCOMPARE(e.audiocodecs, QString());
        QCOMPARE(e.callerid, QStringLiteral("true"));
        QCOMPARE(e.voicemail, QStringLiteral("{\"a\":1}"));
        QCOMPARE(e.departmentid, -1);
        QVERIFY(
            e.proxyserveraddress.isEmpty() && e.stunserveraddress.isEmpty() && e.registrationtime.isEmpty());
        QCOMPARE(deviceExtension(QJsonObject()).extension, QString());
    }

    void tenThousandDevices()
    {
        QJsonArray devices;
        for (int i = 0; i < 10000; ++i)
            devices.append(QJsonObject {{QStringLiteral("deviceref"), i},
                {QStringLiteral("extensionnumber"), QString::number(20000 + i)}});
        const QByteArray body = QJsonDocument(QJsonObject {{QStringLiteral("devices"), devices}}).toJson();
        QElapsedTimer timer;
        timer.start();
        const LoginReply r = readLoginReply(body);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(int(r.devices.size()), 10000);
        QCOMPARE(r.devices.back().extension.extension, QStringLiteral("29999"));
        QCOMPARE(r.devices.back().label, QStringLiteral("9999 "));
    }
};

QTEST_GUILESS_MAIN(TestLoginReply)
#include "tst_loginreply.moc"
