// Transfers from the real main window against a registrar and scripted peers on loopback: the
// transfer window blind and attended (completed, cancelled, refused, the held caller clicked
// meanwhile), call labels dropped onto other calls, and what bad input leaves behind. Audio is checked by
// tone: the operator's microphone plays 700 Hz, bob 1300 Hz, carol 1500 Hz.
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>

#include "engine/sipdialer.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/panelfixture.h"
#include "transferui/transferdialog.h"
#include "transferui/transfermanager.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"
#include "widgets/directorytile.h"

namespace {
QString lastDisposition()
{
    QSqlQuery q(QStringLiteral("SELECT disposition FROM cdr ORDER BY cdrid DESC LIMIT 1"));
    return q.next() ? q.value(0).toString() : QString();
}

// Drops a payload onto a label as a drag from another label would: enter, then drop. True when
// the drop was accepted.
bool dropOnto(ClickableLabel *target, const QMimeData &data, QPointF at = QPointF(5, 5))
{
    QDragEnterEvent enter(
        at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}
} // namespace

class TestOrvaloTransfer final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;
    std::unique_ptr<TransferManager> m_transfers;

    Account &desk() { return m_panel.desk(); }

    Ui::Orvalo *ui() { return m_panel.ui(); }

    int cdrCount() const { return m_panel.count(QStringLiteral("cdr")); }

    QString tone(int hz)
    {
        const QString path = m_panel.path(QStringLiteral("voice-%1.wav").arg(hz));
        if (!QFile::exists(path))
            testbed::writeToneWav(path, hz, 60000);
        return path;
    }

    // A registered peer speaking `hz` and recording what it hears into `heard`.
    bool startPeer(testbed::SipPeer &peer, const QString &user, int hz, const QString &heard,
        const QStringList &extra = {})
    {
        return testbed::startRegistered(peer, m_proxy, user,
            QStringList {QStringLiteral("--play"), tone(hz), QStringLiteral("--record"), heard} + extra);
    }

    bool answeredCallFrom(testbed::SipPeer &bob) { return m_panel.answeredCallFrom(bob) != nullptr; }

    Transferdialog *openWindow(QPushButton *button)
    {
        button->click(); // the blind transfer button is hidden in the compact layout
        return m_transfers->dialog();
    }

    void expectTalking(
        testbed::SipPeer &bob, const QString &bobHeard, testbed::SipPeer &carol, const QString &carolHeard)
    {
        QTest::qWait(2000);
        bob.stop();
        carol.stop();
        const double bobHearsCarol = testbed::tailTone(bobHeard, 1500, 1000);
        const double carolHearsBob = testbed::tailTone(carolHeard, 1300, 1000);
        QVERIFY2(bobHearsCarol > 0.5, qPrintable(QString::number(bobHearsCarol)));
        QVERIFY2(carolHearsBob > 0.5, qPrintable(QString::number(carolHearsBob)));
    }

    void expectNoCalls()
    {
        QTRY_VERIFY_WITH_TIMEOUT(desk().getCalls().empty(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_panel.window->engine().callCount(), 0, 10000);
        QVERIFY(!desk().transfer().isRunning());
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.useFileCard(700));
        QVERIFY(m_panel.open());
        // The directory: carol's desk (1005, her phone 05 behind the outbound prefix 10) and a
        // colleague who is never available.
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("INSERT INTO department (id, partyid, name, greeting) VALUES (1, 'p1', "
                                      "'Sales', '')")));
        QVERIFY(q.exec(QStringLiteral(
            "INSERT INTO accounts (accountname, fullname, extension, phonenumber, domain, user, "
            "companydevice, departmentid) VALUES ('Carol', 'Carol', '1005', '05', '127.0.0.1', '1005', 1, "
            "1), ('Vic', 'Vic', '1009', '', '127.0.0.1', '1009', 1, 1)")));
        m_panel.settings->setSetting(Settings::OutboundDialPrefix, QStringLiteral("10"));
        QVERIFY(m_panel.show([this](Orvalo &window) {
            window.setRedialGuard(std::chrono::milliseconds(0));
            m_transfers = std::make_unique<TransferManager>(window);
            window.setTransferWindows(m_transfers.get());
        }));
    }

    void cleanupTestCase()
    {
        m_transfers.reset();
        m_panel.close();
    }

    void cleanup()
    {
        if (m_transfers->dialog())
            m_transfers->close();
        for (const auto &call : desk().getCalls())
            m_panel.window->hangupCall(desk().getPjId(), call->getCallId());
        QTRY_VERIFY_WITH_TIMEOUT(desk().getCalls().empty(), 10000);
    }

    // Transfer (blind) in the window: bob's call reaches carol, and the operator's call leaves its
    // one row. (That the two then hear each other is the engine's blindTransfer.)
    void blindTransferFromTheWindow()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        QVERIFY(testbed::startRegistered(
            carol, m_proxy, QStringLiteral("1005"), {QStringLiteral("--auto-answer=200")}));
        const int before = cdrCount();
        QVERIFY(answeredCallFrom(bob));
        QVERIFY(ui()->TransferButton->isEnabled() && ui()->WarmTransferButton->isEnabled());

        Transferdialog *window = openWindow(ui()->TransferButton);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Transfer call"));
        QTest::keyClicks(
            window->findChild<QLineEdit *>(QStringLiteral("transfer_number")), QStringLiteral("1005"));
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("transferbutton")), Qt::LeftButton);
        QTRY_VERIFY(!m_transfers->isOpen());

        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1002@"))
                    .hasMatch());
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        expectNoCalls();
        QCOMPARE(cdrCount(), before + 1);
        QCOMPARE(lastDisposition(), QStringLiteral("Answered"));
    }

    // Attended: the first Transfer calls carol and holds bob; Transfer is live once carol answers;
    // the second hands bob on. Cancel instead releases bob and ends carol's call.
    void attendedTransfer_data()
    {
        QTest::addColumn<bool>("complete");
        QTest::newRow("completed") << true;
        QTest::newRow("cancelled") << false;
    }

    void attendedTransfer()
    {
        QFETCH(bool, complete);
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        const QString bobHeard = m_panel.path(QStringLiteral("warm-bob.wav"));
        const QString carolHeard = m_panel.path(QStringLiteral("warm-carol.wav"));
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, bobHeard));
        QVERIFY(startPeer(
            carol, QStringLiteral("1005"), 1500, carolHeard, {QStringLiteral("--auto-answer=1000")}));
        const int before = cdrCount();
        QVERIFY(answeredCallFrom(bob));

        Transferdialog *window = openWindow(ui()->WarmTransferButton);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Transfer call (attended)"));
        auto *transfer = window->findChild<QPushButton *>(QStringLiteral("transferbutton"));
        QTest::keyClicks(
            window->findChild<QLineEdit *>(QStringLiteral("transfer_number")), QStringLiteral("1005"));
        QTest::mouseClick(transfer, Qt::LeftButton);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("transfer_state"))->text(),
            QStringLiteral("Attended Transfer in progress"));
        QVERIFY(!transfer->isEnabled()); // until carol answers
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=PausedByRemote")).hasMatch());
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1001@"))
                    .hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(transfer->isEnabled(), 10000);
        QCOMPARE(desk().getWarmTransferCall(), desk().transfer().consultation());
        QVERIFY(!ui()->WarmTransferButton->isEnabled()); // bob is held

        if (complete) {
            QTest::mouseClick(transfer, Qt::LeftButton);
            QTRY_VERIFY(!m_transfers->isOpen());
            QVERIFY2(
                carol.waitForEvent(QStringLiteral("^EVENT call id=2 state=IncomingReceived.*from=sip:1002@"))
                    .hasMatch(),
                qPrintable(carol.events().join(QLatin1Char('\n'))));
            QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call id=1 state=End")).hasMatch());
            expectNoCalls();
            // The consultation call has no row of its own: bob's call is the one row.
            QCOMPARE(cdrCount(), before + 1);
            return;
        }
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("cancelbutton")), Qt::LeftButton);
        QVERIFY(!m_transfers->isOpen());
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QVERIFY(!desk().transfer().isRunning());
        QTRY_VERIFY(ui()->WarmTransferButton->isEnabled());
        QCOMPARE(int(desk().getCalls().size()), 1);
        // Bob talks to the operator again (his recording is complete once he has left).
        QTest::qWait(1500);
        bob.stop();
        const double bobHearsUs = testbed::tailTone(bobHeard, 700, 1000);
        QVERIFY2(bobHearsUs > 0.5, qPrintable(QString::number(bobHearsUs)));
    }

    // Opens the attended transfer window, calls carol (1005) and waits until she has answered.
    QPushButton *consultCarol()
    {
        Transferdialog *window = openWindow(ui()->WarmTransferButton);
        if (!window)
            return nullptr;
        auto *transfer = window->findChild<QPushButton *>(QStringLiteral("transferbutton"));
        QTest::keyClicks(
            window->findChild<QLineEdit *>(QStringLiteral("transfer_number")), QStringLiteral("1005"));
        QTest::mouseClick(transfer, Qt::LeftButton);
        return QTest::qWaitFor([transfer] { return transfer->isEnabled(); }, 10000) ? transfer : nullptr;
    }

    // Carol declines the call that would replace her consultation call: the transfer is refused
    // after the second Transfer. It ends as a cancel does: the operator is told, the consultation
    // call (which has no label) is hung up, and bob, who kept his label, is released.
    void refusedAttendedTransfer()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        // Bob's phone holds his call while it places the replacing call; it resumes it after.
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("refused-bob.wav")),
            {QStringLiteral("--resume-after=200")}));
        QVERIFY(
            startPeer(carol, QStringLiteral("1005"), 1500, m_panel.path(QStringLiteral("refused-carol.wav")),
                {QStringLiteral("--auto-answer=0"), QStringLiteral("--refuse-transfer")}));
        QVERIFY(answeredCallFrom(bob));
        const int bobCall = desk().getActiveCallId();
        QSignalSpy errors(&m_panel.window->engine(), &SipDialer::onErrorState);
        QPushButton *transfer = consultCarol();
        QVERIFY(transfer);

        QTest::mouseClick(transfer, Qt::LeftButton);
        QVERIFY2(carol.waitForEvent(QStringLiteral("^EVENT call id=2 state=IncomingReceived.*replaces=1"))
                     .hasMatch(),
            qPrintable(carol.events().join(QLatin1Char('\n'))));
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call id=1 state=End")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(!desk().transfer().isRunning(), 10000);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<orvalo_error_info>().message,
            QStringLiteral("Error transfering call"));
        QVERIFY(!m_transfers->isOpen());
        QCOMPARE(int(desk().getCalls().size()), 1);
        QCOMPARE(desk().getActiveCallId(), bobCall);
        QVERIFY(desk().getActiveCall()->getLabel()->isVisible());
        // Our hold is released (bob's phone resumes its own hold, taken for the transfer, by itself).
        QTRY_VERIFY_WITH_TIMEOUT(
            m_panel.window->engine().getCallDetails(bobCall).media_status != int(MediaStatus::LocalHold),
            10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_panel.window->engine().callCount(), 1, 10000);
        QTRY_VERIFY(ui()->WarmTransferButton->isEnabled());
        QCOMPARE(ui()->HoldToggleButton->text(), QStringLiteral("Hold"));
        QVERIFY(!bob.hasEvent(QStringLiteral("^EVENT call id=1 state=End")));
    }

    // During the consultation bob is held for the transfer: a click on his label or on the Hold
    // button must not release him behind the transfer's back. The click is refused
    // with the reason in the status bar, and the transfer still completes.
    void heldCallerClickedDuringConsultation()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("click-bob.wav"))));
        QVERIFY(startPeer(carol, QStringLiteral("1005"), 1500,
            m_panel.path(QStringLiteral("click-carol.wav")), {QStringLiteral("--auto-answer=0")}));
        QVERIFY(answeredCallFrom(bob));
        Call *held = desk().getActiveCall();
        QPushButton *transfer = consultCarol();
        QVERIFY(transfer);
        QTRY_COMPARE(m_panel.window->engine().getCallDetails(held->getCallId()).media_status,
            int(MediaStatus::LocalHold));

        m_panel.window->statusBar()->clearMessage();
        QTest::mouseClick(held->getLabel(), Qt::LeftButton);
        QVERIFY2(m_panel.window->statusBar()->currentMessage().contains(
                     QStringLiteral("held for an attended transfer")),
            qPrintable(m_panel.window->statusBar()->currentMessage()));
        QVERIFY(ui()->HoldToggleButton->isEnabled());
        ui()->HoldToggleButton->click();
        QCOMPARE(ui()->HoldToggleButton->text(), QStringLiteral("Off hold"));
        QTest::qWait(700);
        QCOMPARE(m_panel.window->engine().getCallDetails(held->getCallId()).media_status,
            int(MediaStatus::LocalHold));
        QVERIFY(m_transfers->isOpen());

        QTest::mouseClick(transfer, Qt::LeftButton);
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call id=2 state=IncomingReceived.*from=sip:1002@"))
                    .hasMatch());
        expectNoCalls();
    }

    // What the transfer window does with numbers that lead nowhere: the window stays or closes,
    // bob is never left on hold, the consultation call never outlives the transfer.
    void badTargets_data()
    {
        QTest::addColumn<bool>("warm");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("error"); // shown by the engine, empty: none
        QTest::addColumn<bool>("consultationPlaced");
        QTest::newRow("attended, empty number")
            << true << QString() << QStringLiteral("No Phone number") << false;
        QTest::newRow("attended, invalid number")
            << true << QStringLiteral("55 5") << QStringLiteral("Invalid URI") << false;
        QTest::newRow("attended, unknown number (404)")
            << true << QStringLiteral("1099") << QString() << true;
        QTest::newRow("attended, busy (486)") << true << QStringLiteral("1006") << QString() << true;
        QTest::newRow("blind, empty number")
            << false << QString() << QStringLiteral("No Phone number") << false;
        QTest::newRow("blind, invalid number")
            << false << QStringLiteral("55 5") << QStringLiteral("Invalid URI") << false;
    }

    void badTargets()
    {
        QFETCH(bool, warm);
        QFETCH(QString, number);
        QFETCH(QString, error);
        QFETCH(bool, consultationPlaced);
        testbed::SipPeer bob;
        testbed::SipPeer busy;
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("bad-bob.wav"))));
        QVERIFY(testbed::startRegistered(busy, m_proxy, QStringLiteral("1006"),
            {QStringLiteral("--decline=486"), QStringLiteral("--decline-after=300")}));
        QVERIFY(answeredCallFrom(bob));
        QSignalSpy errors(&m_panel.window->engine(), &SipDialer::onErrorState);

        Transferdialog *window = openWindow(warm ? ui()->WarmTransferButton : ui()->TransferButton);
        QVERIFY(window);
        QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("transfer_number")), number);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("transferbutton")), Qt::LeftButton);
        if (!error.isEmpty()) {
            QCOMPARE(errors.count(), 1);
            QCOMPARE(errors.first().first().value<orvalo_error_info>().message, error);
        }
        if (consultationPlaced) {
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=PausedByRemote")).hasMatch());
            // The consultation fails: the transfer ends by itself and bob is released.
            QTRY_VERIFY_WITH_TIMEOUT(!desk().transfer().isRunning(), 10000);
            QTRY_VERIFY(!m_transfers->isOpen());
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        } else {
            // Attended: the window stays for another number; blind: it is gone.
            QCOMPARE(m_transfers->isOpen(), warm);
            QVERIFY(!desk().transfer().isRunning());
            QTest::qWait(300);
            QVERIFY(!bob.hasEvent(QStringLiteral("state=PausedByRemote")));
        }
        QCOMPARE(int(desk().getCalls().size()), 1);
        QTRY_COMPARE(m_panel.window->engine().getCallDetails(desk().getActiveCallId()).media_status,
            int(MediaStatus::Active));
        QTRY_COMPARE_WITH_TIMEOUT(m_panel.window->engine().callCount(), 1, 10000);
    }

    // Bob hangs up while the operator consults carol: the window says so, Transfer is dead, and
    // Cancel ends carol's call (which has no label of its own).
    void callerLeavesDuringAttendedTransfer()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("left-bob.wav"))));
        QVERIFY(startPeer(carol, QStringLiteral("1005"), 1500, m_panel.path(QStringLiteral("left-carol.wav")),
            {QStringLiteral("--auto-answer=0")}));
        QVERIFY(answeredCallFrom(bob));
        Transferdialog *window = openWindow(ui()->WarmTransferButton);
        auto *transfer = window->findChild<QPushButton *>(QStringLiteral("transferbutton"));
        QTest::keyClicks(
            window->findChild<QLineEdit *>(QStringLiteral("transfer_number")), QStringLiteral("1005"));
        QTest::mouseClick(transfer, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(transfer->isEnabled(), 10000);

        bob.command(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(desk().getCalls().empty(), 10000);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("transfer_state"))->text(),
            QStringLiteral("The caller hung up"));
        QVERIFY(!transfer->isEnabled());
        QCOMPARE(m_panel.window->engine().callCount(), 1); // carol, until the operator is done
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("cancelbutton")), Qt::LeftButton);
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        expectNoCalls();
    }

    // Bob's label dragged onto the label of a call the operator dialled to carol: the two are
    // joined and the operator leaves; each call keeps its one row.
    void dropCallOntoDialledCall()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        const QString bobHeard = m_panel.path(QStringLiteral("drop-bob.wav"));
        const QString carolHeard = m_panel.path(QStringLiteral("drop-carol.wav"));
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, bobHeard));
        QVERIFY(startPeer(
            carol, QStringLiteral("1005"), 1500, carolHeard, {QStringLiteral("--auto-answer=200")}));
        const int before = cdrCount();
        QVERIFY(answeredCallFrom(bob));
        Call *fromBob = desk().getActiveCall();
        m_panel.window->makeCall(QStringLiteral("1005"));
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_COMPARE(int(desk().getCalls().size()), 2);
        Call *toCarol = desk().getCalls().back().get();
        QTRY_VERIFY(toCarol->getCallAnswered());

        const std::unique_ptr<QMimeData> payload(ClickableLabel::mimeDataFor(fromBob->getLabel()));
        QVERIFY(dropOnto(toCarol->getLabel(), *payload));
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call id=2 state=StreamsRunning")).hasMatch());
        expectNoCalls();
        QCOMPARE(cdrCount(), before + 2);
        expectTalking(bob, bobHeard, carol, carolHeard);
    }

    // Bob's label dropped onto carol's directory tile or her phone number, by the drop options.
    void dropOntoDirectory_data()
    {
        QTest::addColumn<QString>("target"); // "tile", "phone", "unavailable"
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<bool>("attended");
        QTest::addColumn<int>("answer"); // to "What type of call transfer is required?"
        QTest::addColumn<QString>("outcome"); // "blind", "attended", "nothing", "refused"
        QTest::newRow("tile, unattended") << "tile" << true << false << 0 << "blind";
        QTest::newRow("phone number with prefix") << "phone" << true << false << 0 << "blind";
        QTest::newRow("tile not available") << "unavailable" << true << false << 0 << "refused";
        QTest::newRow("both on, Cancel") << "tile" << true << true << int(Prompt::Cancel) << "nothing";
        QTest::newRow("both on, Unattended") << "phone" << true << true << int(Prompt::Choice1) << "blind";
        QTest::newRow("attended only") << "tile" << false << true << 0 << "attended";
        QTest::newRow("both off") << "tile" << false << false << 0 << "nothing";
    }

    void dropOntoDirectory()
    {
        QFETCH(QString, target);
        QFETCH(bool, unattended);
        QFETCH(bool, attended);
        QFETCH(int, answer);
        QFETCH(QString, outcome);
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("dir-bob.wav"))));
        QVERIFY(startPeer(carol, QStringLiteral("1005"), 1500, m_panel.path(QStringLiteral("dir-carol.wav")),
            {QStringLiteral("--auto-answer=300")}));
        QVERIFY(answeredCallFrom(bob));
        const auto &tiles = m_panel.window->directory().tiles();
        QCOMPARE(int(tiles.size()), 2);
        CompanyDevice &carolTile = *tiles.front();
        CompanyDevice &vicTile = *tiles.back();
        carolTile.setStatusText(QStringLiteral("Available"));
        vicTile.setStatusText(QStringLiteral("Busy"));
        ClickableLabel *onto
            = target == QLatin1String("unavailable") ? vicTile.getLabel() : carolTile.getLabel();
        // The tile's top-left corner, or the middle of its phone-number line.
        const QPointF at = target == QLatin1String("phone") ? QPointF(carolTile.face()->phoneLine().center())
                                                            : QPointF(5, 5);
        m_panel.settings->setSetting(
            Settings::UnattendedTransferOnDrop, unattended ? Setting::Yes : Setting::No);
        m_panel.settings->setSetting(Settings::AttendedTransferOnDrop, attended ? Setting::Yes : Setting::No);
        ScriptedPrompt prompt([answer](const Prompt::Question &) { return Prompt::Button(answer); });
        Prompt::install(&prompt);
        const std::unique_ptr<QMimeData> payload(
            ClickableLabel::mimeDataFor(desk().getActiveCall()->getLabel()));
        const bool accepted = dropOnto(onto, *payload, at);
        Prompt::install(m_panel.prompt.get());
        m_panel.settings->setSetting(Settings::UnattendedTransferOnDrop, Setting::Yes);
        m_panel.settings->setSetting(Settings::AttendedTransferOnDrop, Setting::No);

        QCOMPARE(accepted, outcome != QLatin1String("refused"));
        QCOMPARE(prompt.asked().size(), unattended && attended ? 1 : 0);
        if (!prompt.asked().isEmpty())
            QCOMPARE(prompt.asked().first().text, QStringLiteral("What type of call transfer is required?"));
        if (outcome == QLatin1String("blind")) {
            QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1002@"))
                        .hasMatch());
            expectNoCalls();
            return;
        }
        if (outcome == QLatin1String("attended")) {
            Transferdialog *window = m_transfers->dialog();
            QVERIFY(window && window->isVisible());
            QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("transfer_number"))->text(),
                QStringLiteral("1005"));
            auto *transfer = window->findChild<QPushButton *>(QStringLiteral("transferbutton"));
            QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1001@"))
                        .hasMatch());
            QTRY_VERIFY_WITH_TIMEOUT(transfer->isEnabled(), 10000);
            QTest::mouseClick(transfer, Qt::LeftButton);
            QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived.*from=sip:1002@"))
                        .hasMatch());
            expectNoCalls();
            return;
        }
        QTest::qWait(500);
        QVERIFY(!carol.hasEvent(QStringLiteral("IncomingReceived")));
        QCOMPARE(int(desk().getCalls().size()), 1);
        QVERIFY(!m_transfers->isOpen());
    }

    // Drops that mean nothing: a label onto itself, the payload of a label whose call has ended,
    // another process's payload, other data; onto a dialled call and onto an offered one. No
    // call changes and no error shows.
    void meaninglessDrops()
    {
        testbed::SipPeer bob;
        testbed::SipPeer carol;
        QVERIFY(startPeer(bob, QStringLiteral("1002"), 1300, m_panel.path(QStringLiteral("none-bob.wav"))));
        QVERIFY(startPeer(carol, QStringLiteral("1005"), 1500, m_panel.path(QStringLiteral("none-carol.wav")),
            {QStringLiteral("--auto-answer=200")}));
        m_panel.window->makeCall(QStringLiteral("1005"));
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_VERIFY(desk().getActiveCall() && desk().getActiveCall()->getCallAnswered());
        ClickableLabel *dialled = desk().getActiveCall()->getLabel();

        // The payload of a call that has ended since (its label is gone).
        testbed::SipPeer dave;
        QVERIFY(testbed::startRegistered(dave, m_proxy, QStringLiteral("1007")));
        dave.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_COMPARE_WITH_TIMEOUT(int(desk().getCalls().size()), 2, 10000);
        Call *offered = desk().getCalls().back().get();
        const std::unique_ptr<QMimeData> ended(ClickableLabel::mimeDataFor(offered->getLabel()));
        dave.command(QStringLiteral("hangup"));
        QTRY_COMPARE_WITH_TIMEOUT(int(desk().getCalls().size()), 1, 10000);

        // Now bob rings: an offered call to drop onto.
        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_COMPARE_WITH_TIMEOUT(int(desk().getCalls().size()), 2, 10000);
        ClickableLabel *ringing = desk().getCalls().back()->getLabel();

        QSignalSpy errors(&m_panel.window->engine(), &SipDialer::onErrorState);
        const std::unique_ptr<QMimeData> itself(ClickableLabel::mimeDataFor(dialled));
        QMimeData foreign;
        foreign.setData(ClickableLabel::MimeType, QByteArray::fromHex("00007f12deadbeef"));
        QMimeData text;
        text.setText(QStringLiteral("1005"));
        for (ClickableLabel *target : {dialled, ringing}) {
            dropOnto(target, *itself);
            dropOnto(target, *ended);
            dropOnto(target, foreign);
            QVERIFY(!dropOnto(target, text));
        }
        // Both drop options on: an offered call has no number to transfer to, so nothing is asked.
        m_panel.settings->setSetting(Settings::AttendedTransferOnDrop, Setting::Yes);
        const qsizetype asked = m_panel.prompt->asked().size();
        dropOnto(ringing, *itself);
        m_panel.settings->setSetting(Settings::AttendedTransferOnDrop, Setting::No);
        QCOMPARE(m_panel.prompt->asked().size(), asked);

        QTest::qWait(500);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(int(desk().getCalls().size()), 2);
        QCOMPARE(m_panel.window->engine().callCount(), 2);
        QVERIFY(!m_transfers->isOpen());
        QVERIFY(!carol.hasEvent(QStringLiteral("state=(End|Refered)")));
    }
};

QTEST_MAIN(TestOrvaloTransfer)
#include "tst_orvalo_transfer.moc"
