// The incoming-call and missed-call windows on their own: what their buttons report, when they
// close, and the rows of the missed-calls list.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "callui/calldialogs.h"
#include "callui/incomingcalldialog.h"
#include "callui/missedcallitem.h"
#include "callui/missedcallsdialog.h"
#include "callui/pacedcallwindows.h"

class TestCallDialogs final : public QObject
{
    Q_OBJECT

private slots:

    // Each offered call has its own window; a settled call closes only its own, the buttons
    // report their call and close.
    void incomingWindowsCloseWithTheirCall()
    {
        QWidget main;
        CallDialogs windows(&main);
        QSignalSpy answered(&windows, &CallWindows::answerRequested);
        QSignalSpy declined(&windows, &CallWindows::declineRequested);
        windows.openIncomingCall(4, QStringLiteral("Alice"), QStringLiteral("1001"));
        windows.openIncomingCall(7, QStringLiteral("Bob"), QStringLiteral("1003"));
        windows.openIncomingCall(9, QStringLiteral("Carol"), QStringLiteral("1001"));
        QList<IncomingCallDialog *> open = windows.incomingCallWindows();
        QCOMPARE(open.size(), 3);
        QVERIFY(open.at(0)->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(open.at(0)->windowTitle(), QStringLiteral("Incoming Call"));
        QVERIFY(open.at(1)->pos() != open.at(0)->pos()); // both can be seen

        windows.closeIncomingCall(5); // another call's id
        QCOMPARE(windows.incomingCallWindows().size(), 3);
        windows.closeIncomingCall(7);
        open = windows.incomingCallWindows();
        QCOMPARE(open.size(), 2);
        QCOMPARE(open.at(0)->callId(), 4);

        QTest::mouseClick(
            open.at(0)->findChild<QPushButton *>(QStringLiteral("button_answer")), Qt::LeftButton);
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered.first().first().toInt(), 4);
        QTest::mouseClick(
            open.at(1)->findChild<QPushButton *>(QStringLiteral("button_decline")), Qt::LeftButton);
        QCOMPARE(declined.size(), 1);
        QCOMPARE(declined.first().first().toInt(), 9);
        QVERIFY(windows.incomingCallWindows().isEmpty());
        QCOMPARE(answered.size() + declined.size(), 2); // closing reported nothing more
    }

    void missedCallsListAndCallBack()
    {
        QWidget main;
        CallDialogs windows(&main);
        QVERIFY(!windows.missedCallsWindow());
        QSignalSpy dial(&windows, &CallWindows::dialRequested);
        windows.addMissedCall(QStringLiteral("\"Alice\" <sip:201@example.com>"));
        windows.addMissedCall(QStringLiteral("<sip:305@10.0.0.1>"));
        windows.addMissedCall(QStringLiteral("anonymous"));
        MissedCallsDialog *list = windows.missedCallsWindow();
        QVERIFY(list && list->isVisible());
        QVERIFY(list->windowFlags() & Qt::WindowStaysOnTopHint);
        QList<MissedCallItem *> rows = list->items();
        QCOMPARE(rows.size(), 3);
        const QRegularExpression time(QStringLiteral(" at \\d\\d:\\d\\d:\\d\\d$"));
        QVERIFY(rows.at(0)->text().startsWith(QStringLiteral("\"Alice\"  at ")));
        QVERIFY(rows.at(0)->text().contains(time));
        QVERIFY(rows.at(1)->text().startsWith(QStringLiteral("305 at ")));
        QVERIFY(rows.at(2)->text().startsWith(QStringLiteral(" at ")));

        auto *callBack = rows.at(0)->findChild<QPushButton *>(QStringLiteral("button_call"));
        const QColor drawn
            = callBack->grab().toImage().pixelColor(callBack->width() / 2, callBack->height() / 2);
        QVERIFY2(drawn.green() > drawn.red() + 40 && drawn.green() > drawn.blue() + 20,
            qPrintable(drawn.name())); // green
        QTest::mouseClick(callBack, Qt::LeftButton);
        QCOMPARE(dial.size(), 1);
        QCOMPARE(dial.first().first().toString(), QStringLiteral("201"));

        // Closed, the list empties; the next missed call shows it again with its row only.
        list->close();
        QVERIFY(list->items().isEmpty());
        windows.addMissedCall(QStringLiteral("<sip:306@10.0.0.1>"));
        QCOMPARE(windows.missedCallsWindow(), list);
        QVERIFY(list->isVisible());
        QCOMPARE(list->items().size(), 1);
        list->close();
        windows.showMissedCalls(); // the menu entry shows it even when empty
        QVERIFY(list->isVisible());
        QVERIFY(list->items().isEmpty());
    }

    // A list left open on a busy line keeps the newest callers only; their buttons still dial.
    void missedCallsKeepTheNewest()
    {
        QWidget main;
        CallDialogs windows(&main);
        QSignalSpy dial(&windows, &CallWindows::dialRequested);
        const int calls = MissedCallsDialog::MaxRows + 5;
        for (int i = 0; i < calls; ++i)
            windows.addMissedCall(QStringLiteral("<sip:%1@10.0.0.1>").arg(1000 + i));
        const QList<MissedCallItem *> rows = windows.missedCallsWindow()->items();
        QCOMPARE(rows.size(), MissedCallsDialog::MaxRows);
        QVERIFY(rows.first()->text().startsWith(QStringLiteral("1005 at ")));
        QVERIFY(rows.last()->text().startsWith(QString::number(1000 + calls - 1) + QStringLiteral(" at ")));
        QTest::mouseClick(
            rows.first()->findChild<QPushButton *>(QStringLiteral("button_call")), Qt::LeftButton);
        QCOMPARE(dial.size(), 1);
        QCOMPARE(dial.first().first().toString(), QStringLiteral("1005"));
    }

    // The windows and rows that come and go with calls draw the panel's shared icons: an icon
    // loaded for each window would leave its rendered pixmaps in the pixmap cache with every call.
    void callWindowsShareTheirIcons()
    {
        QWidget main;
        CallDialogs windows(&main);
        const auto button = [](QWidget *window, const char *name) {
            return window->findChild<QPushButton *>(QLatin1String(name))->icon();
        };
        windows.openIncomingCall(1, QStringLiteral("Alice"), QStringLiteral("1001"));
        const QIcon answer = button(windows.incomingCallWindows().first(), "button_answer");
        const QIcon decline = button(windows.incomingCallWindows().first(), "button_decline");
        QVERIFY(answer.cacheKey() != decline.cacheKey());
        windows.closeIncomingCall(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(windows.incomingCallWindows().isEmpty());

        windows.openIncomingCall(2, QStringLiteral("Bob"), QStringLiteral("1001"));
        IncomingCallDialog *next = windows.incomingCallWindows().first();
        QCOMPARE(button(next, "button_answer").cacheKey(), answer.cacheKey());
        QCOMPARE(button(next, "button_decline").cacheKey(), decline.cacheKey());
        windows.addMissedCall(QStringLiteral("<sip:305@10.0.0.1>"));
        windows.addMissedCall(QStringLiteral("<sip:306@10.0.0.1>"));
        for (MissedCallItem *row : windows.missedCallsWindow()->items())
            QCOMPARE(button(row, "button_call").cacheKey(), answer.cacheKey()); // the same phone
    }

    // A burst of calls reported in one turn opens one window per turn, in order; a call settled
    // before its turn never shows a window; the missed calls keep their order among them.
    void pacedWindowsOpenOnePerTurn()
    {
        QWidget main;
        CallDialogs windows(&main);
        PacedCallWindows paced(windows);
        QSignalSpy answered(&paced, &CallWindows::answerRequested);
        paced.openIncomingCall(1, QStringLiteral("Alice"), QStringLiteral("1001"));
        paced.openIncomingCall(2, QStringLiteral("Bob"), QStringLiteral("1001"));
        paced.openIncomingCall(3, QStringLiteral("Carol"), QStringLiteral("1001"));
        paced.addMissedCall(QStringLiteral("<sip:305@10.0.0.1>"));
        paced.openIncomingCall(4, QStringLiteral("Dave"), QStringLiteral("1001"));
        QCOMPARE(windows.incomingCallWindows().size(), 1); // the first at once
        QCOMPARE(paced.waiting(), 4);
        paced.closeIncomingCall(3); // settled while waiting
        QCOMPARE(paced.waiting(), 3);

        const auto ids = [&windows] {
            QList<int> open;
            for (const IncomingCallDialog *window : windows.incomingCallWindows())
                open.append(window->callId());
            return open;
        };
        QCoreApplication::processEvents();
        QVERIFY(ids().size() <= 2); // one more per turn at most
        QTRY_COMPARE(ids(), (QList<int> {1, 2, 4}));
        QVERIFY(windows.missedCallsWindow() && windows.missedCallsWindow()->items().size() == 1);
        QCOMPARE(paced.waiting(), 0);

        // Quiet again: the next one opens at once; the windows' buttons still reach the panel.
        QTest::qWait(20);
        paced.openIncomingCall(5, QStringLiteral("Erin"), QStringLiteral("1001"));
        QCOMPARE(ids(), (QList<int> {1, 2, 4, 5}));
        QTest::mouseClick(
            windows.incomingCallWindows().last()->findChild<QPushButton *>(QStringLiteral("button_answer")),
            Qt::LeftButton);
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered.first().first().toInt(), 5);
    }
};

QTEST_MAIN(TestCallDialogs)
#include "tst_calldialogs.moc"
