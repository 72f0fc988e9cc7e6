#include <memory>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QTest>

#include "cloud/contract.h"
#include "support/cloudsim.h"

namespace {
constexpr int Wait = 10000;

struct Answer
{
    bool done = false;
    QVariant status;
    QByteArray body;
    qint64 elapsedMs = 0;
};
} // namespace

// The simulator itself, where a fault would make client tests pass for the wrong reason: its
// failure modes, credentials, a large directory and the registrar rewrite.
class TestCloudSim final : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_network;

    // Posts body to path below the simulator's base with the given credentials ("user:password").
    std::shared_ptr<Answer> post(const testbed::CloudSim &cloud, const QString &path,
        const QByteArray &credentials, const QByteArray &body = "{}")
    {
        QNetworkRequest request(QUrl(cloud.baseUrl() + Contract::CloudApi + path));
        request.setRawHeader("Content-Type", "application/json");
        if (!credentials.isNull())
            request.setRawHeader("Authorization", "Basic " + credentials.toBase64());
        QNetworkReply *reply = m_network.post(request, body);
        reply->ignoreSslErrors();
        auto answer = std::make_shared<Answer>();
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        connect(reply, &QNetworkReply::finished, this, [reply, answer, timer] {
            *answer = {true, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute), reply->readAll(),
                timer->elapsed()};
            reply->deleteLater();
        });
        return answer;
    }

    static bool wait(const std::shared_ptr<Answer> &answer, int ms = Wait)
    {
        return QTest::qWaitFor([&answer] { return answer->done; }, ms);
    }

private slots:

    // Each mode as the client meets it, set at run time and cleared again; the login is the
    // target, a hello beside it must not wait for a slow answer.
    void failureModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("status"); // 0: no HTTP answer
        QTest::newRow("refuse") << "refuse" << 401;
        QTest::newRow("garbage") << "garbage" << 200;
        QTest::newRow("empty") << "empty" << 200;
        QTest::newRow("wrongshape") << "wrongshape" << 200;
        QTest::newRow("slow") << "slow:1500" << 200;
        QTest::newRow("close") << "close" << 0;
        QTest::newRow("never") << "never" << -1;
    }

    void failureModes()
    {
        QFETCH(QString, mode);
        QFETCH(int, status);
        testbed::CloudSim cloud;
        QVERIFY2(cloud.start(), qPrintable(cloud.log()));
        QVERIFY(cloud.command(QStringLiteral("fail kvusers/v1/get_orvalo_login_device_details ") + mode));
        QVERIFY(!cloud.command(QStringLiteral("fail kvusers/v1/hello sometimes")));

        const auto login = post(cloud, Contract::LoginDeviceDetails, "tok-operator:");
        const auto hello = post(cloud, Contract::Hello, {});
        QVERIFY(wait(hello));
        QCOMPARE(hello->body, QByteArray("Hello"));
        if (status < 0) {
            QVERIFY(!wait(login, 1500));
            QCOMPARE(cloud.waitForRequest(QRegularExpression(QStringLiteral("details$"))).status, -1);
        } else {
            QVERIFY(wait(login));
            QCOMPARE(login->status.toInt(), status);
        }
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(login->body, &error);
        if (mode == QLatin1String("refuse"))
            QVERIFY(document.object().contains(QLatin1String("Error")));
        else if (mode == QLatin1String("garbage"))
            QVERIFY(!login->body.isEmpty() && error.error != QJsonParseError::NoError);
        else if (mode == QLatin1String("empty"))
            QVERIFY(login->body.isEmpty());
        else if (mode == QLatin1String("wrongshape"))
            QVERIFY(!document.object().value(Contract::Login::Devices).isArray()
                && !document.object().value(Contract::Login::User).isObject());
        else if (mode.startsWith(QLatin1String("slow"))) {
            QVERIFY(login->elapsedMs >= 1400);
            QVERIFY(hello->elapsedMs < 1000);
            QCOMPARE(document.object().value(Contract::Login::Devices).toArray().size(), 2);
        }

        QVERIFY(cloud.command(QStringLiteral("clear")));
        const auto again = post(cloud, Contract::LoginDeviceDetails, "tok-operator:");
        QVERIFY(wait(again));
        QCOMPARE(again->status.toInt(), 200);
    }

    // Only the fixture's credentials, or a session token of a login, open the credentialed
    // endpoints; the token check answers 200 with "Yes" or "No".
    void credentials()
    {
        testbed::CloudSim cloud;
        QVERIFY2(cloud.start(), qPrintable(cloud.log()));
        const QList<QByteArray> refused {"operator@demo:wrong", "operator@other:operator-pw", "nobody@demo:x",
            "tok-unknown:", "sess-0:", "operator-pw:", "tok-operator:x"};
        for (const QByteArray &credentials : refused) {
            const auto answer = post(cloud, Contract::CompanyDevices, credentials);
            QVERIFY(wait(answer));
            QVERIFY2(answer->status.toInt() == 401, credentials.constData());
        }
        const auto none = post(cloud, Contract::CompanyDevices, {});
        QVERIFY(wait(none));
        QCOMPARE(none->status.toInt(), 401);

        const auto login = post(cloud, Contract::LoginDeviceDetails, "second@demo:second-pw");
        QVERIFY(wait(login));
        QCOMPARE(login->status.toInt(), 200);
        const QJsonObject user
            = QJsonDocument::fromJson(login->body).object().value(Contract::Login::User).toObject();
        const QByteArray session = user.value(Contract::Login::Token).toString().toUtf8();
        QVERIFY(session.startsWith("sess-"));
        const QList<QPair<QByteArray, QByteArray>> checks {{session + ':', "Yes"}, {"tok-second:", "Yes"},
            {"tok-nobody:", "No"}, {"second@demo:second-pw", "No"}};
        for (const auto &[credentials, expected] : checks) {
            const auto answer = post(cloud, Contract::CheckToken, credentials);
            QVERIFY(wait(answer));
            QCOMPARE(answer->status.toInt(), 200);
            QCOMPARE(answer->body, expected);
        }
    }

    // A hundred thousand entries in 20 departments, sorted as asked, all pointed at the registrar
    // given on the command line.
    void largeDirectoryAtAnotherRegistrar()
    {
        testbed::CloudSim cloud;
        QVERIFY2(cloud.start({QStringLiteral("--directory-size"), QStringLiteral("100000"),
                     QStringLiteral("--sip-server"), QStringLiteral("127.0.0.1:5999")}),
            qPrintable(cloud.log()));
        const auto answer = post(cloud, Contract::LoginDeviceDetails, "operator@demo:operator-pw",
            R"({"sortby":"username","internal_directory":true})");
        QVERIFY(wait(answer, 60000));
        QCOMPARE(answer->status.toInt(), 200);
        const QJsonObject reply = QJsonDocument::fromJson(answer->body).object();
        const QJsonArray entries = reply.value(Contract::Login::CompanyDevices).toArray();
        QCOMPARE(entries.size(), 100000);
        QSet<QString> departments;
        for (const QJsonValue &entry : entries) {
            departments.insert(entry[Contract::Directory::TabHeading].toString());
            QCOMPARE(entry[Contract::Device::Port].toString(), QStringLiteral("5999"));
        }
        QCOMPARE(departments.size(), 20);
        const auto name
            = [&entries](int i) { return entries[i][Contract::Directory::SecondName].toString(); };
        QVERIFY(name(0) < name(1) && name(1) < name(99999));

        const QJsonArray devices = reply.value(Contract::Login::Devices).toArray();
        QCOMPARE(devices.size(), 2);
        QCOMPARE(devices[0][Contract::Device::ServerIpAddress].toString(), QStringLiteral("127.0.0.1:5999"));
        QCOMPARE(devices[0][Contract::Device::Port].toInt(), 5999);
    }
};

QTEST_GUILESS_MAIN(TestCloudSim)
#include "tst_cloudsim.moc"
