#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTest>
#include <QToolButton>

#include "../panel/testdatabase.h"
#include "panel/calllogquery.h"
#include "panel/recentcallsitem.h"
#include "panel/recentcallslist.h"
#include "panel/recentcallsquery.h"
#include "settingsui/orvalocdrdialog.h"

namespace {
const QString Format = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Counts the style changes a widget goes through (a style sheet set on it).
struct StyleChanges final : QObject
{
    int count = 0;

    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::StyleChange ? 1 : 0;
        return false;
    }
};

void addCdr(int account, const QString &remote, const QString &start, const QString &answer,
    const QString &hangup, const QString &direction, const QString &disposition)
{
    QSqlQuery q;
    q.prepare(QStringLiteral(
        "INSERT INTO cdr (accountid, remotecli, startdatetime, answerdatetime, hangupdatetime, "
        "calldirection, disposition) VALUES (:a, :r, :s, :an, :h, :d, :p)"));
    q.bindValue(QStringLiteral(":a"), account);
    q.bindValue(QStringLiteral(":r"), remote);
    q.bindValue(QStringLiteral(":s"), start);
    q.bindValue(QStringLiteral(":an"), answer.isEmpty() ? QVariant() : QVariant(answer));
    q.bindValue(QStringLiteral(":h"), hangup.isEmpty() ? QVariant() : QVariant(hangup));
    q.bindValue(QStringLiteral(":d"), direction);
    q.bindValue(QStringLiteral(":p"), disposition);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

int rows(QSqlQueryModel *model)
{
    while (model->canFetchMore())
        model->fetchMore();
    return model->rowCount();
}
} // namespace

class TestCallLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    int m_desk = 0;
    int m_front = 0;

private slots:

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->open());
        m_desk
            = m_db->addAccount(QStringLiteral("Desk"), QStringLiteral("1001"), QStringLiteral("127.0.0.1"));
        m_front
            = m_db->addAccount(QStringLiteral("Front"), QStringLiteral("1002"), QStringLiteral("127.0.0.1"));
    }

    void cleanup() { m_db.reset(); }

    void filtersCountExactly_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("disposition");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<int>("count");
        QTest::newRow("all") << "All"
                             << "All"
                             << "All" << 6;
        QTest::newRow("account") << "Front"
                                 << "All"
                                 << "All" << 2;
        QTest::newRow("answered") << "All"
                                  << "Answered"
                                  << "All" << 3;
        QTest::newRow("no answer") << "All"
                                   << "No Answer"
                                   << "All" << 2;
        QTest::newRow("busy") << "All"
                              << "Busy"
                              << "All" << 1;
        QTest::newRow("congestion") << "All"
                                    << "Congestion"
                                    << "All" << 0;
        QTest::newRow("outbound") << "All"
                                  << "All"
                                  << "Outbound" << 2;
        QTest::newRow("inbound") << "All"
                                 << "All"
                                 << "Inbound" << 4;
        QTest::newRow("combined") << "Desk"
                                  << "Answered"
                                  << "Inbound" << 1;
    }

    // Seeded: six ended calls in the range, one still running, one before the range, two with
    // unreadable times; each filter counts exactly.
    void filtersCountExactly()
    {
        QFETCH(QString, account);
        QFETCH(QString, disposition);
        QFETCH(QString, direction);
        QFETCH(int, count);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const auto at = [&](int minutesAgo) { return now.addSecs(-60 * minutesAgo).toString(Format); };
        addCdr(m_desk, "1", at(100), at(99), at(90), "I", "Answered");
        addCdr(m_desk, "2", at(80), at(79), at(70), "O", "Answered");
        addCdr(m_desk, "3", at(60), QString(), at(59), "I", "No Answer");
        addCdr(m_desk, "4", at(50), QString(), at(49), "I", "Busy");
        addCdr(m_front, "5", at(40), at(39), at(30), "O", "Answered");
        addCdr(m_front, "6", at(20), QString(), at(19), "I", "No Answer");
        addCdr(m_desk, "running", at(5), at(4), QString(), "I", "Answered");
        addCdr(m_desk, "old", now.addDays(-9).toString(Format), QString(), now.addDays(-9).toString(Format),
            "I", "Answered");
        addCdr(m_desk, "bad", QStringLiteral("yesterday"), QString(), at(3), "I", "Answered");
        addCdr(m_desk, "bad end", at(3), QString(), QStringLiteral("2024-13-45 99:00:00"), "I", "Answered");

        Orvalocdrdialog dialog;
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("filter_account"))->count(), 3);
        dialog.findChild<QComboBox *>(QStringLiteral("filter_account"))->setCurrentText(account);
        dialog.findChild<QComboBox *>(QStringLiteral("filter_disposition"))->setCurrentText(disposition);
        dialog.findChild<QComboBox *>(QStringLiteral("filter_direction"))->setCurrentText(direction);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("filterbutton")), Qt::LeftButton);
        QCOMPARE(rows(dialog.model()), count);
        QCOMPARE(dialog.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Remote Party"));
    }

    // The end of the range takes in its whole minute; an end before the start matches nothing
    // and says so; the missed-calls view is unanswered inbound calls.
    void rangeAndMissedCalls()
    {
        const QDateTime end = QDateTime(QDate(2025, 3, 1), QTime(10, 30), Qt::UTC);
        addCdr(m_desk, "a", "2025-03-01 10:00:00", QString(), "2025-03-01 10:30:58", "I", "No Answer");
        addCdr(m_desk, "b", "2025-03-01 10:00:00", QString(), "2025-03-01 10:31:00", "I", "No Answer");
        addCdr(m_desk, "c", "2025-03-01 10:10:00", "2025-03-01 10:10:05", "2025-03-01 10:20:00", "I",
            "Answered");
        Orvalocdrdialog dialog;
        auto *startEdit = dialog.findChild<QDateTimeEdit *>(QStringLiteral("filter_startdate"));
        auto *endEdit = dialog.findChild<QDateTimeEdit *>(QStringLiteral("filter_enddate"));
        startEdit->setDateTime(end.addSecs(-3600));
        endEdit->setDateTime(end);
        dialog.reload();
        QCOMPARE(rows(dialog.model()), 2);
        dialog.showMissedCalls();
        QCOMPARE(rows(dialog.model()), 1);
        QCOMPARE(dialog.model()->index(0, 1).data().toString(), QStringLiteral("a"));

        endEdit->setDateTime(end.addSecs(-7200));
        dialog.reload();
        QCOMPARE(rows(dialog.model()), 0);
        QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("filter_status"))->text().isEmpty());
    }

    void recentCallRow_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("duration");
        QTest::newRow("display name and uri") << "\"Ann\" <sip:1234@example.com>"
                                              << "2025-03-01 10:00:00"
                                              << "I"
                                              << "1234"
                                              << "blue"
                                              << "phone-incoming.svg"
                                              << "(01:02:05)";
        QTest::newRow("bare digits outgoing") << "5678"
                                              << ""
                                              << "O"
                                              << "5678"
                                              << "green"
                                              << "phone-outgoing.svg"
                                              << "";
        QTest::newRow("no digits, missed") << "sip:anna@example.com"
                                           << ""
                                           << "I"
                                           << ""
                                           << "red"
                                           << "phone-missed.svg"
                                           << "";
        QTest::newRow("unreadable answer time") << "42"
                                                << "soon"
                                                << "I"
                                                << "42"
                                                << "blue"
                                                << "phone-incoming.svg"
                                                << "(00:00:00)";
    }

    void recentCallRow()
    {
        QFETCH(QString, remote);
        QFETCH(QString, answer);
        QFETCH(QString, direction);
        QFETCH(QString, number);
        QFETCH(QString, colour);
        QFETCH(QString, icon);
        QFETCH(QString, duration);
        const RecentCall call = RecentCallsQuery::row(remote, QStringLiteral("2025-03-01 09:59:00"), answer,
            QStringLiteral("2025-03-01 11:02:05"), direction);
        QCOMPARE(call.number, number);
        QCOMPARE(call.colour, colour);
        QVERIFY2(call.callText.startsWith(
                     QStringLiteral("<img src=\":/icons/icons/") + icon + QStringLiteral("\">")),
            qPrintable(call.callText));
        QVERIFY(call.callText.endsWith(QLatin1Char(' ') + number));
        QVERIFY(call.dateText.endsWith(duration));
    }

    // Only this run's calls (above the cutoff), newest first, within the limit; the dial button
    // dials the row's number; an empty list shows its picture.
    void recentCallsOfThisRun()
    {
        addCdr(m_desk, "9000", "2025-03-01 09:00:00", QString(), "2025-03-01 09:01:00", "I", "No Answer");
        RecentCallsList list;
        list.reload(3);
        QCOMPARE(list.count(), 0);
        QVERIFY(list.styleSheet().contains(QLatin1String("no_recent_calls.svg")));
        for (int i = 1; i <= 5; ++i)
            addCdr(m_front, QString::number(100 + i), "2025-03-01 10:00:00", QString(), "2025-03-01 10:01:00",
                "O", "No Answer");
        list.reload();
        QCOMPARE(list.count(), 3);
        auto *newest = qobject_cast<RecentCallsItem *>(list.itemWidget(list.item(0)));
        QVERIFY(newest);
        QCOMPARE(newest->number(), QStringLiteral("105"));
        QSignalSpy dialled(&list, &RecentCallsList::dial);
        QTest::mouseClick(newest->findChild<QToolButton *>(QStringLiteral("dial_button")), Qt::LeftButton);
        QCOMPARE(dialled.count(), 1);
        QCOMPARE(dialled.first().first().toString(), QStringLiteral("105"));
        // The list is reloaded after every call: its look is set again only when it changes (each
        // style sheet set costs memory for good).
        StyleChanges changes;
        list.installEventFilter(&changes);
        list.reload();
        QCOMPARE(list.count(), 3);
        QCOMPARE(changes.count, 0);
        list.clear_calls();
        list.reload();
        QCOMPARE(list.count(), 0);
        QVERIFY(list.styleSheet().contains(QLatin1String("no_recent_calls.svg")));
        QVERIFY(changes.count > 0);
    }
};

QTEST_MAIN(TestCallLog)
#include "tst_calllog.moc"
