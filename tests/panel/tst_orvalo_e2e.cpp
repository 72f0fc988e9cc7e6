// The main window against a real registrar and a scripted peer on loopback: register, take calls,
// hold, hang up, and the call records they leave.
#include <QAccessible>
#include <QDialogButtonBox>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTextBrowser>

#include "engine/sipdialer.h"
#include "panel/panelfixture.h"
#include "settingsui/extensionmanager.h"
#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"

namespace {
struct CdrRow
{
    QString answer;
    QString hangup;
    QString disposition;
    QString code;
};

QList<CdrRow> cdrRows()
{
    QList<CdrRow> rows;
    QSqlQuery q;
    q.exec(QStringLiteral(
        "SELECT answerdatetime, hangupdatetime, disposition, sipresponsecode FROM cdr ORDER BY cdrid"));
    while (q.next())
        rows.append(
            {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()});
    return rows;
}
} // namespace

class TestOrvaloEndToEnd final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;
    Settings *m_settings = nullptr;

    Account &account(int index) { return *m_panel.window->getAccounts().at(std::size_t(index)); }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.useFileCard(700));
        QVERIFY(m_panel.open({QStringLiteral("1001"), QStringLiteral("1003")}));
        m_settings = m_panel.settings.get();
        QVERIFY(m_panel.show());
        QCOMPARE(int(m_panel.window->getAccounts().size()), 2);
        QCOMPARE(m_panel.window->currentAccountIndex(), 0);
    }

    void cleanupTestCase() { m_panel.close(); }

    // Answer, hold, mute and hang up with the buttons, and what each shows while the call rings
    // and runs. The README's path (cdr row, the peer hearing the microphone) is the first_call
    // user path; this one checks the window's state between the steps.
    void answerHoldAndHangUp()
    {
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));

        // The call shows on the first extension as a label in the call area, with its row started.
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() != nullptr, 10000);
        Call *call = account(0).getActiveCall();
        QCOMPARE(call->getCallDirection(), CallDirection::Incoming);
        QVERIFY(m_panel.window->callArea()->layout()->indexOf(call->getLabel()) >= 0);
        QCOMPARE(m_panel.window->form()->stackedWidget->currentIndex(), 2); // Answer / Reject
        QVERIFY(!m_panel.window->form()->PhoneNumber->isEnabled());
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch());
        QCOMPARE(cdrRows().size(), 1);

        Ui::Orvalo *ui = m_panel.window->form();
        QTest::mouseClick(ui->AnswerButton, Qt::LeftButton);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_COMPARE(ui->stackedWidget->currentIndex(), 1);
        QVERIFY(!cdrRows().first().answer.isEmpty());
        QVERIFY(ui->HoldToggleButton->isEnabled());
        QVERIFY(!ui->WarmTransferButton->isEnabled()); // no attended transfer yet

        // Hold and Mute are plain buttons: their text tells the state, and assistive technology
        // presses them (a checkable button would offer only Toggle, which skips the handler).
        for (QPushButton *button : {ui->HoldToggleButton, ui->MuteToggleButton}) {
            QAccessibleActionInterface *actions
                = QAccessible::queryAccessibleInterface(button)->actionInterface();
            QCOMPARE(actions->actionNames(), QStringList {QAccessibleActionInterface::pressAction()});
        }
        QTest::mouseClick(ui->HoldToggleButton, Qt::LeftButton);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=PausedByRemote")).hasMatch());
        QTRY_COMPARE(ui->HoldToggleButton->text(), QStringLiteral("Off hold"));
        QAccessible::queryAccessibleInterface(ui->HoldToggleButton)
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTest::mouseClick(ui->MuteToggleButton, Qt::LeftButton);
        QCOMPARE(ui->MuteToggleButton->text(), QStringLiteral("Unmute"));

        QTest::mouseClick(ui->HangupButton, Qt::LeftButton);
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() == nullptr, 5000);
        QCOMPARE(ui->stackedWidget->currentIndex(), 0);
        QCOMPARE(ui->MuteToggleButton->text(), QStringLiteral("Mute"));
        QVERIFY(!ui->MuteToggleButton->isChecked() && !ui->HoldToggleButton->isChecked());
        QCOMPARE(cdrRows().last().disposition, QStringLiteral("Answered"));
    }

    void idleExtensionButtons()
    {
        Ui::Orvalo *ui = m_panel.window->form();
        m_panel.window->selectAccount(0);
        // Chat and fax are shown by their options but not built yet: never live and silent.
        m_settings->setSetting(Settings::EnableChat, Setting::Yes);
        m_settings->setSetting(Settings::EnableFaxButton, Setting::Yes);
        m_panel.window->checkSettings();
        m_panel.window->refresh_call_control();
        QVERIFY(ui->DialButton->isEnabled());
        QVERIFY(ui->ChatButton->isVisible() && !ui->ChatButton->isEnabled());
        QVERIFY(ui->FaxButton->isVisible() && !ui->FaxButton->isEnabled());
        m_settings->setSetting(Settings::EnableChat, Setting::No);
        m_settings->setSetting(Settings::EnableFaxButton, Setting::No);
        m_panel.window->checkSettings();

        // Record without a folder warns and stays off, in its text and its look.
        const QString folder = m_settings->getSetting(Settings::UserDir);
        m_settings->setSetting(Settings::UserDir, QString());
        QTest::mouseClick(ui->RecButton, Qt::LeftButton);
        QCOMPARE(m_panel.prompt->asked().last().text,
            QStringLiteral("To start recording, set the User Directory in the General Settings menu."));
        QCOMPARE(ui->RecButton->text(), QStringLiteral("Record"));
        QVERIFY(!ui->RecButton->isChecked());
        m_settings->setSetting(Settings::UserDir, folder);
    }

    void rejectedCallIsNoAnswerAndNotMissed()
    {
        testbed::SipPeer carol;
        QVERIFY(carol.start(m_proxy.peerArgs(QStringLiteral("1004"))));
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT registration state=Ok")).hasMatch());
        const qsizetype missed = m_panel.window->missedCalls().size();
        carol.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() != nullptr, 10000);
        QTest::mouseClick(m_panel.window->form()->RejectButton, Qt::LeftButton);
        QVERIFY(carol.waitForEvent(QStringLiteral("^EVENT call .*code=486")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() == nullptr, 5000);

        QCOMPARE(cdrRows().last().code, QStringLiteral("486"));
        QCOMPARE(cdrRows().last().disposition, QStringLiteral("No Answer"));
        QCOMPARE(m_panel.window->missedCalls().size(), missed);
    }

    void answeringTheSecondHoldsTheFirst()
    {
        testbed::SipPeer bob;
        testbed::SipPeer dave;
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002")));
        QVERIFY(testbed::startRegistered(dave, m_proxy, QStringLiteral("1005")));

        bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() != nullptr, 10000);
        m_panel.window->on_AnswerButton_clicked();
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());

        // A second call on the other extension becomes current; answering it holds the first.
        dave.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1003")));
        QTRY_VERIFY_WITH_TIMEOUT(account(1).getActiveCall() != nullptr, 10000);
        QCOMPARE(m_panel.window->currentAccountIndex(), 1);
        m_panel.window->on_AnswerButton_clicked();
        QVERIFY(dave.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=PausedByRemote")).hasMatch());

        bob.command(QStringLiteral("hangup"));
        dave.command(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(!account(0).getActiveCall() && !account(1).getActiveCall(), 5000);
        const QList<CdrRow> rows = cdrRows();
        QCOMPARE(rows.at(rows.size() - 1).disposition, QStringLiteral("Answered"));
        QCOMPARE(rows.at(rows.size() - 2).disposition, QStringLiteral("Answered"));
    }

    void dialFromTheNumberFieldAndSpeedDial()
    {
        testbed::SipPeer bob;
        QVERIFY(testbed::startRegistered(
            bob, m_proxy, QStringLiteral("1002"), {QStringLiteral("--auto-answer=200")}));
        m_panel.window->selectAccount(0);
        const int before = int(cdrRows().size());

        // Dashes are dropped from the number; a second press within two seconds does nothing.
        m_panel.window->form()->PhoneNumber->setText(QStringLiteral("10-02"));
        m_panel.window->on_DialButton_clicked();
        m_panel.window->on_DialButton_clicked();
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_VERIFY(account(0).getActiveCall() && account(0).getActiveCall()->getCallAnswered());
        QCOMPARE(int(cdrRows().size()), before + 1);
        m_panel.window->on_HangupButton_clicked();
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() == nullptr, 5000);
        QVERIFY(!bob.hasEvent(QStringLiteral("^EVENT call id=2 ")));
        // From here on the guard lasts until the event loop turns: no test waits it out.
        m_panel.window->setRedialGuard(std::chrono::milliseconds(0));

        // A speed dial row dials its number.
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("INSERT INTO speeddials (label, number) VALUES ('Bob', '1002')")));
        m_panel.window->load_speeddials();
        auto *view = m_panel.window->form()->speeddials;
        m_panel.window->on_speeddials_doubleClicked(view->model()->index(0, 0));
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        QTRY_VERIFY(account(0).getActiveCall() != nullptr);
        bob.command(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(account(0).getActiveCall() == nullptr, 5000);
        QCOMPARE(int(cdrRows().size()), before + 2);
    }

    void dialWithoutRegistrationLeavesNoAnswerRow()
    {
        m_panel.window->selectAccount(0);
        const int pjId = account(0).getPjId();
        account(0).setPjId(-1);
        const int before = int(cdrRows().size());
        QCoreApplication::processEvents(); // ends the redial guard
        m_panel.window->makeCall(QStringLiteral("1002"));
        QCOMPARE(int(cdrRows().size()), before + 1);
        QCOMPARE(cdrRows().last().disposition, QStringLiteral("No Answer"));
        QVERIFY(account(0).getActiveCall() == nullptr);
        account(0).setPjId(pjId);
    }

    // The engine's refusals are tst_enginerequests' refusedDials; one shows what the window does.
    void badNumbersAreRefusedByTheEngine_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("spaces inside") << QStringLiteral("555 12-34") << QStringLiteral("Invalid URI");
    }

    void badNumbersAreRefusedByTheEngine()
    {
        QFETCH(QString, number);
        QFETCH(QString, message);
        m_panel.window->selectAccount(0);
        QCoreApplication::processEvents(); // ends the redial guard
        QSignalSpy errors(&m_panel.window->engine(), &SipDialer::onErrorState);
        const int before = int(cdrRows().size());
        m_panel.window->form()->PhoneNumber->setText(number);
        m_panel.window->on_DialButton_clicked();
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<orvalo_error_info>().message, message);
        QCOMPARE(int(cdrRows().size()), before + 1);
        QCOMPARE(cdrRows().last().disposition, QStringLiteral("No Answer"));
        QVERIFY(account(0).getActiveCall() == nullptr);
        // The one shared message box shows the engine's text.
        auto *box = m_panel.window->findChild<QMessageBox *>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), message);
        box->hide();
    }

    void foreignDomainIsDeclinedUnseen()
    {
        const int before = int(cdrRows().size());
        testbed::Sipp sipp;
        const QString target
            = QStringLiteral("127.0.0.1:") + QString::number(m_panel.window->engine().sipPort());
        QVERIFY(sipp.run(testbed::scenarioPath(QStringLiteral("uac-invite-foreign")), target,
            {QStringLiteral("-s"), QStringLiteral("1001"), QStringLiteral("-m"), QStringLiteral("1"),
                QStringLiteral("-key"), QStringLiteral("fromhost"), QStringLiteral("foreign.example")},
            10000));
        QCoreApplication::processEvents();
        QCOMPARE(int(cdrRows().size()), before);
        QVERIFY(account(0).getActiveCall() == nullptr);
        QCOMPARE(m_panel.window->callArea()->layout()->count(), 0);
    }

    // The engine retries a failed registration: its later success makes the extension registered
    // again under the same id, and the extension takes calls.
    void failedRegistrationComesBack()
    {
        testbed::Sipp registrar;
        QVERIFY(registrar.start(
            QStringLiteral(ORVALO_SOURCE_DIR "/tests/engine/sipp/uas_register_503_then_200.xml"), QString(),
            {}, 15000));
        QSignalSpy registrations(&m_panel.window->engine(), &SipDialer::onRegistrationChanged);
        QSqlQuery q;
        q.prepare(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password, "
            "audiocodecs, activeaccount, defaultaccount, companydevice) VALUES ('Night line', '1009', "
            ":domain, '1009', 'secret', 'ulaw', 1, 0, 0)"));
        q.bindValue(QStringLiteral(":domain"), registrar.hostPort());
        QVERIFY(q.exec());
        const int accountId = q.lastInsertId().toInt();
        m_panel.window->load_extension(accountId);
        Account &night = account(2);
        QTRY_COMPARE_WITH_TIMEOUT(registrations.count(), 1, 10000);
        QVERIFY(!night.isRegistered());
        auto *box = m_panel.window->findChild<QMessageBox *>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("Error registering user Night line: Service Unavailable"));
        box->hide();
        QTRY_COMPARE_WITH_TIMEOUT(registrations.count(), 2, 10000);
        QVERIFY(night.isRegistered());

        const int before = int(cdrRows().size());
        testbed::Sipp caller;
        const QString target
            = QStringLiteral("127.0.0.1:") + QString::number(m_panel.window->engine().sipPort());
        QVERIFY(caller.start(QStringLiteral(ORVALO_SOURCE_DIR "/tests/engine/sipp/uac_invite_refused.xml"),
            target,
            {QStringLiteral("-s"), QStringLiteral("1009"), QStringLiteral("-m"), QStringLiteral("1")}));
        QTRY_VERIFY_WITH_TIMEOUT(night.getActiveCall() != nullptr, 5000);
        QCOMPARE(int(cdrRows().size()), before + 1);
        m_panel.window->on_RejectButton_clicked();
        QVERIFY(caller.waitForFinished(10000));
        QCOMPARE(caller.exitCode(), 0);
        m_panel.window->removeExtension(accountId);
        QCOMPARE(int(m_panel.window->getAccounts().size()), 2);
    }

    void extensionFromTheEditorRegistersAndLeavesWithItsCalls()
    {
        ExtensionManager extensions(*m_panel.db);
        m_panel.window->setExtensionWindows(&extensions);
        Ui::Orvalo *ui = m_panel.window->form();
        const int index = ui->extensionsTable->count();

        // Accounts > Manage Extensions > Add new extension, fill in, Save.
        ui->actionManage_Extensions->trigger();
        QTest::mouseClick(extensions.list()->findChild<QPushButton *>(QStringLiteral("button_add_account")),
            Qt::LeftButton);
        Orvaloaccdialog &editor = extensions.editor();
        QVERIFY(editor.isVisible());
        const QList<std::pair<const char *, const char *>> fields {{"accountnameEdit", "Desk 1007"},
            {"domainEdit", "127.0.0.1"}, {"userEdit", "1007"}, {"extensionEdit", "1007"},
            {"sipserverEdit", "127.0.0.1"}};
        for (const auto &[name, text] : fields)
            QTest::keyClicks(editor.findChild<QLineEdit *>(QLatin1String(name)), QLatin1String(text));
        QTest::mouseClick(
            editor.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save), Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QCOMPARE(ui->extensionsTable->count(), index + 1);
        Account &desk = account(index);
        QCOMPARE(desk.getExtension(), QStringLiteral("1007"));
        QVERIFY(desk.isRegistered());

        // It takes a call at once.
        testbed::SipPeer fran;
        QVERIFY(fran.start(m_proxy.peerArgs(QStringLiteral("1008"))));
        QVERIFY(fran.waitForEvent(QStringLiteral("^EVENT registration state=Ok")).hasMatch());
        fran.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1007")));
        QTRY_VERIFY_WITH_TIMEOUT(desk.getActiveCall() != nullptr, 10000);
        QTest::mouseClick(ui->AnswerButton, Qt::LeftButton);
        QVERIFY(fran.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());

        // Deleted from the list while the call runs: the call ends with it, label and all.
        ScriptedPrompt yes(
            [](const Prompt::Question &q) { return q.buttons & Prompt::Yes ? Prompt::Yes : Prompt::Ok; });
        Prompt::install(&yes);
        QTableView *list = extensions.list()->view();
        list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
        extensions.list()->delete_selected_extension();
        Prompt::install(m_panel.prompt.get());
        QCOMPARE(ui->extensionsTable->count(), index);
        QVERIFY(fran.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QTRY_COMPARE(m_panel.window->callArea()->findChildren<ClickableLabel *>().size(), 0);
        QCOMPARE(cdrRows().last().disposition, QStringLiteral("Answered"));
        QVERIFY(!cdrRows().last().hangup.isEmpty());
        m_panel.window->setExtensionWindows(nullptr);
        m_panel.window->selectAccount(0);
    }

    void voicemailCountsReachTheExtension()
    {
        testbed::Sipp sipp;
        const QString target
            = QStringLiteral("127.0.0.1:") + QString::number(m_panel.window->engine().sipPort());
        QVERIFY(sipp.start(testbed::scenarioPath(QStringLiteral("notify-mwi")), target,
            {QStringLiteral("-s"), QStringLiteral("1003"), QStringLiteral("-m"), QStringLiteral("1")}));
        // "Voice-Message: 3/5 (0/2)": the old count is not a plain number, so it reads as 0.
        QTRY_COMPARE_WITH_TIMEOUT(account(1).getMessagesWaiting(), 3, 10000);
        const QString progress = m_panel.window->form()->call_progress_log->toPlainText();
        QVERIFY2(progress.contains(QStringLiteral("[Desk 1003] Voicemail notifications 3/0")),
            qPrintable(progress.right(300)));
        QVERIFY(sipp.waitForFinished(10000));
    }

    void asManyRingingAsTheLimitAllows()
    {
        // Sixteen calls from one caller id ring at once; the seventeenth is turned away with 480.
        m_settings->setSetting(Settings::MaxCallCount, 16);
        m_panel.window->checkSettings();
        QCOMPARE(m_panel.window->engine().getMaxCallCount(), 16);
        const int before = int(cdrRows().size());
        testbed::Sipp sipp;
        const QString target
            = QStringLiteral("127.0.0.1:") + QString::number(m_panel.window->engine().sipPort());
        QVERIFY(sipp.start(testbed::scenarioPath(QStringLiteral("uac-burst")), target,
            {QStringLiteral("-s"), QStringLiteral("1001"), QStringLiteral("-m"), QStringLiteral("17"),
                QStringLiteral("-l"), QStringLiteral("17"), QStringLiteral("-r"), QStringLiteral("1000"),
                QStringLiteral("-d"), QStringLiteral("4000"), QStringLiteral("-key"), QStringLiteral("pai"),
                QStringLiteral("<sip:9000@127.0.0.1>")},
            30000));
        QTRY_COMPARE_WITH_TIMEOUT(int(account(0).getCalls().size()), 16, 10000);
        QCOMPARE(m_panel.window->callArea()->layout()->count(), 16);
        QVERIFY(sipp.waitForFinished(30000));
        QCOMPARE(sipp.logs().count(QStringLiteral("refused 480")), 1);
        QCOMPARE(sipp.logs().count(QStringLiteral("ringing")), 16);
        QTRY_COMPARE_WITH_TIMEOUT(int(account(0).getCalls().size()), 0, 10000);
        const QList<CdrRow> rows = cdrRows();
        QCOMPARE(int(rows.size()), before + 16);
        for (int i = before; i < rows.size(); ++i) {
            QCOMPARE(rows[i].code, QStringLiteral("487"));
            QVERIFY(!rows[i].hangup.isEmpty());
        }
        m_settings->setSetting(Settings::MaxCallCount, 6);
        m_panel.window->checkSettings();
    }

    void dndDeclinesAndListsAsMissed()
    {
        testbed::SipPeer erin;
        QVERIFY(testbed::startRegistered(erin, m_proxy, QStringLiteral("1006")));
        const int before = int(cdrRows().size());
        QTest::mouseClick(m_panel.window->form()->DNDButton, Qt::LeftButton);
        QVERIFY(m_panel.window->isDndOn());
        QVERIFY(m_panel.window->form()->DNDButton->styleSheet().contains(QStringLiteral("red")));
        erin.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
        const QRegularExpressionMatch end
            = erin.waitForEvent(QStringLiteral("^EVENT call .*state=(End|Error)"));
        QVERIFY2(end.hasMatch(), qPrintable(erin.events().join(QLatin1Char('\n'))));
        QVERIFY2(erin.hasEvent(QStringLiteral("state=(End|Error|Released) .*code=480")),
            qPrintable(erin.events().join(QLatin1Char('\n'))));
        QVERIFY(!erin.hasEvent(QStringLiteral("state=OutgoingRinging")));
        QCOMPARE(int(cdrRows().size()), before);
        QVERIFY(m_panel.window->missedCalls().last().contains(QStringLiteral("1006")));
        QTest::mouseClick(m_panel.window->form()->DNDButton, Qt::LeftButton);
        QVERIFY(!m_panel.window->isDndOn());
        QCOMPARE(m_panel.window->form()->DNDButton->styleSheet(), QStringLiteral("QPushButton {}"));
        QVERIFY(!m_panel.window->form()->DNDButton->isChecked());
    }
};

QTEST_MAIN(TestOrvaloEndToEnd)
#include "tst_orvalo_e2e.moc"
