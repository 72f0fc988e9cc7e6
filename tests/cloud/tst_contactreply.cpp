// Caller number and party id taken from hostile party texts, and contact and tenant replies read
// from hostile JSON.
#include <QTest>

#include "cloud/contactreply.h"

class TestContactReply final : public QObject
{
    Q_OBJECT

private slots:

    void extraction_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("called");
        QTest::addColumn<QString>("party");

        QTest::newRow("display name and URI") << "\"Bob Smith\" <sip:1002@127.0.0.1:5070>"
                                              << "1002"
                                              << "<sip:2001@127.0.0.1>"
                                              << "2001";
        QTest::newRow("digits only") << "0301234567"
                                     << "0301234567"
                                     << "sip:2001@host"
                                     << "2001";
        QTest::newRow("bracketed number") << "Anon <0815>"
                                          << "0815"
                                          << ""
                                          << "";
        QTest::newRow("URI without user part") << "\"X\" <sip:127.0.0.1:5070>"
                                               << ""
                                               << "<sip:127.0.0.1>"
                                               << "";
        QTest::newRow("user part not digits") << "<sip:+49%2030@host>"
                                              << "+49%2030"
                                              << "<sip:sales@host>"
                                              << "";
        QTest::newRow("digits with trailing text") << "1002 "
                                                   << ""
                                                   << "sip:20a1@host"
                                                   << "";
        QTest::newRow("user part before a second @") << "<sip:a@b@host>"
                                                     << "a@b"
                                                     << "sip:@host"
                                                     << "";
        QTest::newRow("empty") << ""
                               << ""
                               << ""
                               << "";
        QTest::newRow("non-ASCII display name") << "\"Jürgen Müller ☎\" <sip:1004@host>"
                                                << "1004"
                                                << "\"Ω\" <sip:3001@host;user=phone>"
                                                << "3001";
        QTest::newRow("URI first wins over later digits") << "<sip:99@host> <1234>"
                                                          << "99"
                                                          << "sip:1@x sip:2@y"
                                                          << "1";
    }

    void extraction()
    {
        QFETCH(QString, remote);
        QFETCH(QString, number);
        QFETCH(QString, called);
        QFETCH(QString, party);
        QCOMPARE(callerNumber(remote), number);
        QCOMPARE(partyId(called), party);
    }

    void contactResults()
    {
        QString error;
        const auto full = readContactResults(
            R"([{"Kvcontact":{"formofaddress":"Herr","contactname":"Jürgen Müller","phonenumber":1004,
                 "phonenumber2":null,"firstname2":"Jürgen","secondname2":true,"emailaddr":{"a":1}},
                 "Kvclient":{"clientname":"Müller & Söhne","clientname2":[1],"redmineprojectid":7}},
                {"Kvcontact":{"contactname":"Second"},"Kvclient":{}}])",
            &error);
        QVERIFY(full);
        QCOMPARE(full->size(), 2);
        const ContactDetails &c = full->first();
        QVERIFY(c.valid);
        QCOMPARE(c.contactName, QStringLiteral("Jürgen Müller"));
        QCOMPARE(c.phoneNumber, QStringLiteral("1004")); // a number shows as its digits
        QCOMPARE(c.phoneNumber2, QString()); // null is empty
        QCOMPARE(c.altSecondName, QStringLiteral("true"));
        QCOMPARE(c.emailAddress, QStringLiteral("object"));
        QCOMPARE(c.clientName, QStringLiteral("Müller & Söhne"));
        QCOMPARE(c.altClientName, QStringLiteral("array"));
        QCOMPARE(c.issueProject, QStringLiteral("7"));
        QVERIFY(full->at(1).valid);
        QCOMPARE(full->at(1).formOfAddress, QString()); // missing is empty
        QCOMPARE(full->at(1).issueProject, QString());

        // The text "null" itself reads as empty too.
        const auto nullText
            = readContactResults(R"([{"Kvcontact":{"contactname":"null"},"Kvclient":{}}])", &error);
        QVERIFY(nullText && nullText->first().contactName.isEmpty());

        // Results that are not an object holding both objects are there but not valid.
        const auto hostile = readContactResults(
            R"([42, "x", null, {"Kvcontact":{"contactname":"No client"}},
                {"Kvcontact":"text","Kvclient":{}}, {"Kvcontact":{},"Kvclient":[]}])",
            &error);
        QVERIFY(hostile);
        QCOMPARE(hostile->size(), 6);
        for (const ContactDetails &d : *hostile) {
            QVERIFY(!d.valid);
            QVERIFY(d.contactName.isEmpty());
        }

        QVERIFY(readContactResults("[]", &error)->isEmpty());
        for (const QByteArray &body : {QByteArray(R"({"Error":"Refused"})"), QByteArray("<html>"),
                 QByteArray(), QByteArray("[1,"), QByteArray("\"text\"")}) {
            error.clear();
            QVERIFY2(!readContactResults(body, &error), body.constData());
            QVERIFY(!error.isEmpty());
        }
    }

    void tenantGreeting()
    {
        using O = TenantGreeting::Outcome;
        TenantGreeting g = readTenantGreeting(R"({"Popupaction":{"shortgreeting":"Acme Hôtel"}})");
        QCOMPARE(g.outcome, O::Greeting);
        QCOMPARE(g.text, QStringLiteral("Acme Hôtel"));
        g = readTenantGreeting(R"({"Popupaction":{"shortgreeting":42}})");
        QCOMPARE(g.outcome, O::Greeting);
        QVERIFY(g.text.isEmpty());
        g = readTenantGreeting(R"({"Popupaction":"text"})");
        QCOMPARE(g.outcome, O::Greeting);
        QVERIFY(g.text.isEmpty());
        QCOMPARE(readTenantGreeting("{}").outcome, O::NoPopupaction);
        for (const QByteArray &body : {QByteArray("[]"), QByteArray("<html>"), QByteArray()}) {
            g = readTenantGreeting(body);
            QCOMPARE(g.outcome, O::NotAnObject);
            QVERIFY(!g.error.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestContactReply)
#include "tst_contactreply.moc"
