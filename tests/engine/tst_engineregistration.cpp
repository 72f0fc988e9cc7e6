// Registration outcomes, unregistering and IPv6, against Kamailio and SIPp on loopback.

#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"

class tst_EngineRegistration : public QObject
{
    Q_OBJECT

private slots:
    void registrationOutcome_data();
    void registrationOutcome();
    void unregisterIsSilent();
    void registersOverIpv6_data();
    void registersOverIpv6();
};

void tst_EngineRegistration::registrationOutcome_data()
{
    QTest::addColumn<QString>("registrar"); // kamailio, sipp403, closedtcp
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("hasAddress");
    QTest::addColumn<int>("waitMs");
    QTest::newRow("accepted") << "kamailio" << testbed::testPassword(QStringLiteral("1001")) << 200 << "OK"
                              << true << 10000;
    // Kamailio refuses a wrong password at once with 403.
    QTest::newRow("wrong password") << "kamailio"
                                    << "not-the-password" << 403 << "Forbidden" << true << 15000;
    QTest::newRow("refused by the registrar") << "sipp403"
                                              << "secret-403" << 403 << "Forbidden" << true << 10000;
    // A registrar that never answers takes the same path (no response, no address) after the UDP
    // transaction's 32 s; the refused TCP connection gets there at once.
    QTest::newRow("TCP connection refused") << "closedtcp"
                                            << "secret-503" << 503 << "Service Unavailable" << false << 10000;
}

void tst_EngineRegistration::registrationOutcome()
{
    QFETCH(QString, registrar);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, statusText);
    QFETCH(bool, hasAddress);
    QFETCH(int, waitMs);

    testbed::Kamailio kamailio;
    testbed::Sipp sipp;
    QString hostPort;
    if (registrar == QLatin1String("kamailio")) {
        QVERIFY2(kamailio.start(true), qPrintable(kamailio.log()));
        hostPort = kamailio.hostPort();
    } else if (registrar == QLatin1String("sipp403")) {
        QVERIFY(sipp.start(testbed::scenarioPath(QStringLiteral("uas-register-403")), QString(), {}, waitMs));
        hostPort = sipp.hostPort();
    } else {
        hostPort = QStringLiteral("127.0.0.1:") + QString::number(testbed::freePort());
    }

    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy changes(f.engine.get(), &SipDialer::onRegistrationChanged);
    sip_acc_msg msg = EngineFixture::account(QStringLiteral("1001"), hostPort, password);
    if (registrar == QLatin1String("closedtcp"))
        msg.reg_uri += QStringLiteral(";transport=tcp");
    const int id = f.engine->registerAccount(msg);
    QCOMPARE(id, 0);
    QTRY_VERIFY_WITH_TIMEOUT(changes.count() > 0, waitMs);

    const auto info = changes.first().first().value<orvalo_acc_msg>();
    QCOMPARE(info.acc_id, id);
    QCOMPARE(info.status, status);
    QCOMPARE(info.status_text, statusText);
    QCOMPARE(info.registrar_address, hasAddress ? QStringLiteral("127.0.0.1") : QString());
    QVERIFY(info.has_registration);
    QVERIFY(info.is_default);
    QVERIFY(info.acc_uri.contains(QStringLiteral("sip:1001@127.0.0.1")));
    QCOMPARE(info.expires > 0, status == 200);
    // The password never reaches the log.
    QVERIFY(!f.log().contains(password));
}

void tst_EngineRegistration::unregisterIsSilent()
{
    testbed::Kamailio kamailio;
    QVERIFY2(kamailio.start(false), qPrintable(kamailio.log()));
    EngineFixture f;
    QVERIFY(f.engine->init());
    QSignalSpy changes(f.engine.get(), &SipDialer::onRegistrationChanged);
    const int first
        = f.engine->registerAccount(EngineFixture::account(QStringLiteral("1001"), kamailio.hostPort(), {}));
    const int second
        = f.engine->registerAccount(EngineFixture::account(QStringLiteral("1002"), kamailio.hostPort(), {}));
    QCOMPARE(second, first + 1);
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, 10000);
    f.engine->unregisterAccount(first);
    QTest::qWait(1000);
    QCOMPARE(changes.count(), 2);
    // The freed id is given to the next account.
    QCOMPARE(
        f.engine->registerAccount(EngineFixture::account(QStringLiteral("1003"), kamailio.hostPort(), {})),
        first);
}

void tst_EngineRegistration::registersOverIpv6_data()
{
    QTest::addColumn<QString>("transport");
    QTest::newRow("udp") << QString();
    QTest::newRow("tcp") << QStringLiteral(";transport=tcp");
}

// Kamailio listens on ::1 too; an engine bound to ::1 registers there.
void tst_EngineRegistration::registersOverIpv6()
{
    QFETCH(QString, transport);
    testbed::Kamailio kamailio;
    QVERIFY2(kamailio.start(false), qPrintable(kamailio.log()));
    EngineFixture f;
    f.engine->setBindAddress(QStringLiteral("::1"));
    QVERIFY(f.engine->init());
    QSignalSpy changes(f.engine.get(), &SipDialer::onRegistrationChanged);
    const QString registrar = QStringLiteral("[::1]:") + QString::number(kamailio.port());
    sip_acc_msg msg = EngineFixture::account(QStringLiteral("1001"), registrar, {});
    msg.reg_uri += transport;
    msg.use_ipv6 = true;
    QCOMPARE(f.engine->registerAccount(msg), 0);
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, 10000);
    const auto info = changes.first().first().value<orvalo_acc_msg>();
    QCOMPARE(info.status, 200);
    QCOMPARE(info.registrar_address, QStringLiteral("::1"));
}

QTEST_GUILESS_MAIN(tst_EngineRegistration)
#include "tst_engineregistration.moc"
