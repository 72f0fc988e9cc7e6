// The issue tracker's list reply read from hostile JSON, and the address it is asked at.
#include <QTest>

#include "cloud/issuelist.h"
#include "cloud/redmine.h"

class TestIssueList final : public QObject
{
    Q_OBJECT

private slots:

    void rows()
    {
        QString error;
        const auto rows = readIssueList(R"({"issues":[
            {"id":12,"updated_on":"2024-05-02T08:15:00Z","status":{"name":"In Bearbeitung"},"subject":"Größe ändern ✓"},
            {"id":1234567,"updated_on":"2024-05-02 08:15:00","status":"open","subject":7},
            {"updated_on":null},
            "not an issue"],"total_count":4})",
            &error);
        QVERIFY(rows);
        QCOMPARE(rows->size(), 4);
        const IssueRow &first = rows->at(0);
        QCOMPARE(first.id, QStringLiteral("12"));
        QCOMPARE(first.updatedOn, QStringLiteral("2024-05-02 08:15:00"));
        QCOMPARE(first.status, QStringLiteral("In Bearbeitung"));
        QCOMPARE(first.subject, QStringLiteral("Größe ändern ✓"));
        // Long ids in full; a time in another format and a status that is no object show empty.
        QCOMPARE(rows->at(1).id, QStringLiteral("1234567"));
        QVERIFY(rows->at(1).updatedOn.isEmpty());
        QVERIFY(rows->at(1).status.isEmpty());
        QVERIFY(rows->at(1).subject.isEmpty());
        QCOMPARE(rows->at(2).id, QStringLiteral("0"));
        QCOMPARE(rows->at(3).id, QStringLiteral("0"));

        // Error objects and other shapes give no rows; what is not JSON gives the parser's message.
        for (const QByteArray &body : {QByteArray(R"({"errors":["Invalid key"]})"), QByteArray("[1,2]"),
                 QByteArray(R"({"issues":{"id":1}})")})
            QVERIFY2(readIssueList(body, &error)->isEmpty(), body.constData());
        for (const QByteArray &body : {QByteArray(""), QByteArray("<html>Unauthorized</html>")}) {
            error.clear();
            QVERIFY(!readIssueList(body, &error));
            QVERIFY(!error.isEmpty());
        }
    }

    void address()
    {
        QCOMPARE(issueListAddress(QStringLiteral("tracker.example/redmine"), 7),
            QStringLiteral("https://tracker.example/redmine/issues.json?project_id=7&sort=updated_on"));
        // The scheme is not taken off, and an empty address still gives a request.
        QCOMPARE(issueListAddress(QStringLiteral("https://t"), 0),
            QStringLiteral("https://https://t/issues.json?project_id=0&sort=updated_on"));
        QCOMPARE(issueListAddress(QString(), 3),
            QStringLiteral("https:///issues.json?project_id=3&sort=updated_on"));
    }
};

QTEST_GUILESS_MAIN(TestIssueList)
#include "tst_issuelist.moc"
