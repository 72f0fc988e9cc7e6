// The Record button of the main window against a registrar and a scripted peer: turned on before
// or after the answer, turned off before the hang-up; each call leaves one stereo file with the
// peer on the left and the panel's microphone on the right.

#include <QDir>

#include "panel/callrecord.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"

class TestOrvaloRecording final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;

    QString folder() const { return m_panel.path(QStringLiteral("Recordings")); }

    QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

    Account &account() { return m_panel.desk(); }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.useFileCard(700, 16000));
        QVERIFY(m_panel.open());
        m_panel.settings->setSetting(Settings::UserDir.getName(), folder(), true);
        QVERIFY(m_panel.show());
        m_panel.window->setRedialGuard(std::chrono::milliseconds(0)); // rows dial the same number
    }

    void cleanupTestCase() { m_panel.close(); }

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
        Ui::Orvalo &form = *m_panel.window->form();
        const auto click = [this] { m_panel.window->on_RecButton_clicked(); };

        testbed::SipPeer bob;
        const QString voice = m_panel.path(QStringLiteral("bob-1300.wav"));
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
            m_panel.window->on_DialButton_clicked();
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
            m_panel.window->on_AnswerButton_clicked();
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
        m_panel.window->on_HangupButton_clicked();
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
