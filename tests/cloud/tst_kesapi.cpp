#include <array>
#include <memory>

#include <QFile>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "cloud/contract.h"
#include "cloud/kesapi.h"
#include "core/log.h"
#include "core/settings.h"
#include "support/cloudsim.h"

namespace {
constexpr int Wait = 10000;
const QByteArray TokenAuth("Basic dG9rLW9wZXJhdG9yOg=="); // base64 of "tok-operator:"
using Request = testbed::CloudSim::Request;
} // namespace

// The client against the cloud simulator: what goes on the wire (address, headers and their
// order, credentials, cookies, bodies) as the simulator received it, and how replies reach the
// handlers.
class TestKesapi final : public QObject
{
    Q_OBJECT

    testbed::CloudSim m_cloud;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;

    // Issues one request, waits for its handler and returns the request as the simulator saw it.
    template <typename Issue> Request roundTrip(Issue issue, QByteArray *body = nullptr)
    {
        const qsizetype before = m_cloud.requests().size();
        bool done = false;
        issue([&done, body](QNetworkReply *reply) {
            done = true;
            if (body)
                *body = reply->readAll();
        });
        if (!QTest::qWaitFor([&done] { return done; }, Wait))
            return {};
        return requestAfter(before);
    }

    Request requestAfter(qsizetype before)
    {
        QList<Request> all;
        (void)QTest::qWaitFor(
            [&] {
                all = m_cloud.requests();
                return all.size() > before;
            },
            Wait);
        return all.value(before);
    }

    Request login(Kesapi &api)
    {
        return roundTrip([&api](ReplyHandler h) { api.post(Contract::LoginDeviceDetails, std::move(h)); });
    }

    static QByteArray logText()
    {
        QFile file(Log::output_file());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static qsizetype indexOf(const Request &r, const QByteArray &name)
    {
        for (qsizetype i = 0; i < r.headers.size(); ++i) {
            if (r.headers[i].first.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

private slots:

    void initTestCase() { QVERIFY2(m_cloud.start(), qPrintable(m_cloud.log())); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(m_dir->filePath(QStringLiteral("t.db")));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral("CREATE TABLE orvalooptions (id INTEGER PRIMARY KEY, name text, value text)")));
        Log::set_output_file(m_dir->filePath(QStringLiteral("log")));
        m_settings = std::make_unique<Settings>(m_dir->path());
        m_settings->setSetting(Settings::BriskoCloudApiUrl, m_cloud.baseUrl());
        QVERIFY(m_cloud.command(QStringLiteral("clear")));
    }

    void cleanup()
    {
        m_settings.reset();
        QSqlDatabase::database().close();
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
        Log::set_output_file(QString());
        m_dir.reset();
    }

    // The address is a plain concatenation below an https base, whatever scheme the base had and
    // whether it came from the store or later; the fixed headers come in order, the body as sent.
    void addressAndHeaders_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("fax");
        QTest::addColumn<QString>("path");
        QTest::newRow("stored base with path and slash")
            << "https://%1/briskogui/" << true << false
            << "/briskogui//cloudapi/kvusers/v1/get_contacts_by_name";
        QTest::newRow("http base set later")
            << "http://%1" << false << false << "/cloudapi/kvusers/v1/get_contacts_by_name";
        QTest::newRow("fax family") << "https://%1" << false << true
                                    << "/faxapi/faxcdrs/v1/view?callextref=R1";
    }

    void addressAndHeaders()
    {
        QFETCH(QString, base);
        QFETCH(bool, stored);
        QFETCH(bool, fax);
        QFETCH(QString, path);
        base = base.arg(m_cloud.hostPort());
        if (stored)
            m_settings->setSetting(Settings::BriskoCloudApiUrl, base);
        Kesapi api(*m_settings);
        if (!stored)
            api.setBriskoCloudApiUrl(base);
        api.setLogin(QStringLiteral("tok-operator"));
        const QJsonObject body {{QStringLiteral("name"), QStringLiteral("zoë")}};
        QByteArray reply;
        const Request r = roundTrip(
            [&](ReplyHandler h) {
                if (fax)
                    api.faxpost(Contract::FaxViewPrefix + QStringLiteral("R1"), body, std::move(h));
                else
                    api.post(Contract::ContactsByName, body, std::move(h));
            },
            &reply);
        QVERIFY2(r.valid(), qPrintable(m_cloud.log()));
        QCOMPARE(r.method, QStringLiteral("POST"));
        QCOMPARE(r.path, path);
        QCOMPARE(r.header("User-Agent"), QByteArray("Orvalo"));
        QCOMPARE(r.header("X-Custom-User-Agent"), QByteArray("Orvalo"));
        QCOMPARE(r.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(r.header("Authorization"), TokenAuth);
        QVERIFY(indexOf(r, "User-Agent") < indexOf(r, "X-Custom-User-Agent"));
        QVERIFY(indexOf(r, "X-Custom-User-Agent") < indexOf(r, "Content-Type"));
        QVERIFY(indexOf(r, "Content-Type") < indexOf(r, "Authorization"));
        if (!fax) { // the UTF-8 name reached the service: it found the contact
            const QJsonArray found = QJsonDocument::fromJson(reply).array();
            QCOMPARE(found.size(), 1);
            QCOMPARE(found[0][QLatin1String("Kvcontact")][QLatin1String("contactname")].toString(),
                QStringLiteral("Zoë Ångström"));
        }
        QVERIFY(
            logText().contains(QByteArray("Calling https://" + m_cloud.hostPort().toUtf8() + path.toUtf8())));
    }

    // Both credential forms: the value sent, the value a restart reuses, and nothing of either in
    // the log (nor a password written into the base address).
    void credentials_data()
    {
        QTest::addColumn<QStringList>("login");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("status");
        QTest::newRow("token") << QStringList {QStringLiteral("tok-operator")} << TokenAuth << 200;
        QTest::newRow("company, user, password")
            << QStringList {QStringLiteral("demo"), QStringLiteral("operator"), QStringLiteral("operator-pw")}
            << QByteArray("Basic b3BlcmF0b3JAZGVtbzpvcGVyYXRvci1wdw==") << 200;
        QTest::newRow("non-ASCII password in UTF-8")
            << QStringList {QStringLiteral("ACME"), QStringLiteral("anna"), QStringLiteral("pässwörd")}
            << QByteArray("Basic YW5uYUBBQ01FOnDDpHNzd8O2cmQ=") << 401; // "anna@ACME:pässwörd"
    }

    void credentials()
    {
        QFETCH(QStringList, login);
        QFETCH(QByteArray, expected);
        QFETCH(int, status);
        {
            Kesapi api(*m_settings);
            api.setBriskoCloudApiUrl(
                QStringLiteral("https://op:hunter2@%1/briskogui/").arg(m_cloud.hostPort()));
            if (login.size() == 1)
                api.setLogin(login[0]);
            else
                api.setLogin(login[0], login[1], login[2]);
            const Request r = this->login(api);
            QCOMPARE(r.header("Authorization"), expected);
            QCOMPARE(r.status, status);
        }
        QCOMPARE(m_settings->getSetting(Settings::SessionToken).toUtf8(), expected);
        Kesapi restarted(*m_settings);
        const Request again = this->login(restarted);
        QCOMPARE(again.header("Authorization"), expected);
        QCOMPARE(again.status, status);

        const QByteArray log = logText();
        QVERIFY(log.contains("Calling https://"));
        for (const QString &secret : {login.last(), QStringLiteral("hunter2")})
            QVERIFY2(!log.contains(secret.toUtf8()), qPrintable(secret));
        QVERIFY(!log.contains(expected.mid(6)));
    }

    // The session cookie of the login goes back with every later request, until logout.
    void cookiesUntilLogout()
    {
        Kesapi api(*m_settings);
        api.setLogin(QStringLiteral("tok-operator"));
        QCOMPARE(login(api).status, 200);
        const Request next
            = roundTrip([&api](ReplyHandler h) { api.post(Contract::CompanyDevices, std::move(h)); });
        QCOMPARE(next.cookies.size(), 1);
        QVERIFY2(
            next.cookies[0].startsWith(QLatin1String("cloudsession=sess-")), qPrintable(next.cookies[0]));
        api.logout();
        const Request after = roundTrip([&api](ReplyHandler h) { api.post(Contract::Hello, std::move(h)); });
        QVERIFY(after.valid());
        QVERIFY(after.cookies.isEmpty());
        QCOMPARE(after.header("Cookie"), QByteArray());
        QCOMPARE(after.header("Authorization"), TokenAuth);
    }

    // Requests in flight together, answered, refused, cut off and multipart: each handler runs
    // once on this thread with a readable reply; reply and multipart body are released after.
    void eachHandlerOnceThenReleased()
    {
        QVERIFY(m_cloud.command(QStringLiteral("fail kvusers/v1/get_company_devices refuse")));
        QVERIFY(m_cloud.command(QStringLiteral("fail kvusers/v1/get_contacts_by_name close")));
        Kesapi api(*m_settings);
        api.setLogin(QStringLiteral("tok-operator"));
        auto *multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        QHttpPart details;
        details.setHeader(QNetworkRequest::ContentDispositionHeader,
            QStringLiteral("form-data; name=\"details\"; filename=\"details\""));
        details.setBody(
            R"({"batchextref":"B7","destinations":[{"callextref":"B7","destination":"0301234"}]})");
        QHttpPart fax;
        fax.setHeader(QNetworkRequest::ContentDispositionHeader,
            QStringLiteral("form-data; name=\"fax\"; filename=\"page.pdf\""));
        fax.setBody("%PDF-1.4 page");
        multipart->append(details);
        multipart->append(fax);
        const QPointer<QHttpMultiPart> multipartAlive(multipart);

        struct Outcome
        {
            int calls = 0;
            QVariant status;
            QByteArray body;
            QPointer<QNetworkReply> reply;
        };

        std::array<Outcome, 4> out;
        auto handler = [&](int i) {
            return [&, i](QNetworkReply *reply) {
                QCOMPARE(QThread::currentThread(), thread());
                out[i] = {out[i].calls + 1, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute),
                    reply->readAll(), reply};
            };
        };
        api.post(Contract::Hello, handler(0));
        api.post(Contract::CompanyDevices, handler(1));
        api.post(Contract::ContactsByName, handler(2));
        api.faxpost(Contract::SendFax, multipart, handler(3));

        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(out.cbegin(), out.cend(), [](const Outcome &o) { return o.calls > 0; }), Wait);
        QTest::qWait(300);
        for (const Outcome &o : out) {
            QCOMPARE(o.calls, 1);
            QVERIFY(o.reply.isNull());
        }
        QVERIFY(multipartAlive.isNull());
        QCOMPARE(out[0].status.toInt(), 200);
        QCOMPARE(out[0].body, QByteArray("Hello"));
        QCOMPARE(out[1].status.toInt(), 401);
        QVERIFY(!out[2].status.isValid());
        QCOMPARE(out[3].status.toInt(), 200);

        // Both parts arrived whole, the file under its name.
        const QJsonObject sent = QJsonDocument::fromJson(out[3].body).object();
        QCOMPARE(sent[QLatin1String("filename")].toString(), QStringLiteral("page.pdf"));
        QCOMPARE(sent[QLatin1String("bytes")].toInt(), 13);
        QCOMPARE(
            sent[QLatin1String("results")][QLatin1String("0301234")].toString(), QStringLiteral("Queued"));
        const Request r
            = m_cloud.waitForRequest(QRegularExpression(QStringLiteral("/faxapi/faxcdrs/v1/sendfax$")));
        QVERIFY(r.header("Content-Type").startsWith("multipart/form-data; boundary="));
        QCOMPARE(r.header("Authorization"), TokenAuth);
    }

    // A request the service never answers is dropped with the client: its handler never runs.
    void unansweredDroppedOnDestruction()
    {
        QVERIFY(m_cloud.command(QStringLiteral("fail kvusers/v1/hello never")));
        int calls = 0;
        {
            Kesapi api(*m_settings);
            const qsizetype before = m_cloud.requests().size();
            api.post(Contract::Hello, [&calls](QNetworkReply *) { ++calls; });
            const Request r = requestAfter(before);
            QCOMPARE(r.status, -1);
        }
        QTest::qWait(300);
        QCOMPARE(calls, 0);
    }
};

QTEST_GUILESS_MAIN(TestKesapi)
#include "tst_kesapi.moc"
