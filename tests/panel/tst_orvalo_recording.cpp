// The Record button of the main window against a registrar and a scripted peer: turned on before
// or after the answer, turned off before the hang-up; each call leaves one stereo file with the
// peer on the left and the panel's microphone on the right.

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/orvalo.h"
#include "support/testbed.h"
#include "ui_orvalo.h"

class TestOrvaloRecording final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    testbed::Kamailio m_proxy;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<Asset> m_asset;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Orvalo> m_window;

    QString folder() const { return m_dir.filePath(QStringLiteral("Recordings")); }

    QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

    Account &account() { return *m_window->getAccounts().front(); }

private slots:

    void initTestCase()
    {
        QVERIFY2(m_proxy.start(false, 5060), qPrintable(m_proxy.log()));
        const QString tone = m_dir.filePath(QStringLiteral("panel-700.wav"));
        QVERIFY(testbed::writeToneWav(tone, 700, 60000, 16000));
        qputenv("ORVALO_FILECARD_IN", tone.toUtf8());
        qputenv("ORVALO_FILECARD_OUT", m_dir.filePath(QStringLiteral("panel-heard.wav")).toUtf8());

        m_settings = std::make_unique<Settings>(m_dir.path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_settings->loadDefaultSettings();
        m_settings->setSetting(Settings::UserDir.getName(), folder(), true);
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password, sipserveraddress, "
            "sipport, registrationtime, audiocodecs, dtmftype, activeaccount, defaultaccount, companydevice) "
            "VALUES ('Desk 1001', '1001', '127.0.0.1', '1001', '', '127.0.0.1', '5060', 300, 'ulaw,alaw', "
            "'RFC2833', 1, 1, 0)")));
        m_asset = std::make_unique<Asset>(m_dir.path());
        m_prompt = std::make_unique<ScriptedPrompt>();
        Prompt::install(m_prompt.get());

        m_window = std::make_unique<Orvalo>(*m_db, *m_settings, *m_asset);
        QVERIFY(m_window->startedOk());
        m_window->setRedialGuard(std::chrono::milliseconds(0)); // rows dial the same number
        m_window->callconnects();
        m_window->show();
        QTRY_VERIFY_WITH_TIMEOUT(account().isRegistered(), 10000);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        Prompt::install(nullptr);
    }

    void recordButton_data()
    {
        QTest::addColumn<bool>("onBeforeAnswer");
        QTest::addColumn<bool>("offBeforeHangup");
        QTest::addColumn<bool>("outgoing");
        // On after the answer, with a second call ringing meanwhile: the record_while_ringing user
        // path.
        QTest::newRow("on, then a call is answered") << true << false << false;
        QTest::newRow("off before the hang-up") << false << true << false;
        QTest::newRow("on, then a dialled call is confirmed") << true << false << true;
    }

    void recordButton()
    {
        QFETCH(bool, onBeforeAnswer);
        QFETCH(bool, offBeforeHangup);
        QFETCH(bool, outgoing);
        QDir(folder()).removeRecursively();
        Ui::Orvalo &form = *m_window->form();
        const auto click = [this] { m_window->on_RecButton_clicked(); };

        testbed::SipPeer bob;
        const QString voice = m_dir.filePath(QStringLiteral("bob-1300.wav"));
        QVERIFY(testbed::writeToneWav(voice, 1300, 60000, 8000));
        QVERIFY(testbed::startRegistered(bob, m_proxy, QStringLiteral("1002"),
            {QStringLiteral("--play"), voice, QStringLiteral("--auto-answer=300")}));
        if (onBeforeAnswer) {
            click();
            QCOMPARE(form.RecButton->text(), QStringLiteral("Record on"));
        }
        Call *call = nullptr;
        if (outgoing) {
            form.PhoneNumber->setText(QStringLiteral("1002"));
            m_window->on_DialButton_clicked();
            QTRY_VERIFY_WITH_TIMEOUT(account().getActiveCall() != nullptr, 10000);
            call = account().getActiveCall();
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
            QVERIFY(!call->getCallRecord().isRecording());
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
            QTRY_VERIFY(call->getCallAnswered());
        } else {
            bob.command(QStringLiteral("call ") + m_proxy.uri(QStringLiteral("1001")));
            QTRY_VERIFY_WITH_TIMEOUT(account().getActiveCall() != nullptr, 10000);
            call = account().getActiveCall();
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch());
            QVERIFY(!call->getCallRecord().isRecording());
            m_window->on_AnswerButton_clicked();
            QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch());
        }
        if (!onBeforeAnswer)
            click();
        QVERIFY(call->getCallRecord().isRecording());
        QCOMPARE(call->getCallRecord().getRecordSlot(), call->getCallId());
        QTest::qWait(2000);

        if (offBeforeHangup) {
            click();
            QCOMPARE(form.RecButton->text(), QStringLiteral("Record"));
            QVERIFY(!call->getCallRecord().isRecording());
            // The file is complete as soon as the recording stops.
            QCOMPARE(files().size(), 1);
            QVERIFY(files().first().endsWith(QStringLiteral(".wav")));
        }
        m_window->on_HangupButton_clicked();
        QVERIFY(bob.waitForEvent(QStringLiteral("^EVENT call .*state=End")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(account().getActiveCall() == nullptr, 5000);
        if (!offBeforeHangup)
            click();
        QCOMPARE(form.RecButton->text(), QStringLiteral("Record"));

        const QStringList recorded = files();
        QCOMPARE(recorded.size(), 1);
        QVector<qint16> left;
        QVector<qint16> right;
        int rate = 0;
        QVERIFY(testbed::readStereo(QDir(folder()).filePath(recorded.first()), &left, &right, &rate));
        QVERIFY2(left.size() > rate * 3 / 2, qPrintable(QString::number(left.size())));
        QVERIFY(testbed::toneFraction(left, rate, 1300) > 0.9);
        QVERIFY(testbed::toneFraction(right, rate, 700) > 0.9);
        for (double ring : {440.0, 480.0}) {
            QVERIFY(testbed::toneFraction(left, rate, ring) < 0.01);
            QVERIFY(testbed::toneFraction(right, rate, ring) < 0.01);
        }
    }
};

QTEST_MAIN(TestOrvaloRecording)
#include "tst_orvalo_recording.moc"
