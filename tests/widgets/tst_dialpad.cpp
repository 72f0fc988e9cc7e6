#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "widgets/callcontroldialog.h"
#include "widgets/dialpaddialog.h"

class TestDialpad final : public QObject
{
    Q_OBJECT

private slots:

    void buttonsAndKeys()
    {
        DialpadDialog pad;
        QVERIFY(pad.findChild<QPushButton *>(QStringLiteral("button_dial"))->isHidden());
        QVERIFY(pad.findChild<QPushButton *>(QStringLiteral("button_clear"))->isHidden());
        pad.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pad));

        QSignalSpy clicked(&pad, &DialpadDialog::clicked);
        QSignalSpy dial(&pad, &DialpadDialog::dial_phonenumber);
        for (const QString &d :
            {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("*"), QStringLiteral("#")})
            QTest::mouseClick(pad.buttonFor(d), Qt::LeftButton);
        QCOMPARE(clicked.count(), 4);
        QCOMPARE(clicked.at(2).at(0).toString(), QStringLiteral("*"));

        // Holding 5 shows the button down until release, with one digit sent.
        clicked.clear();
        QTest::keyPress(&pad, Qt::Key_5, Qt::NoModifier);
        QVERIFY(pad.buttonFor(QStringLiteral("5"))->isDown());
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"), true);
        QCoreApplication::sendEvent(&pad, &repeat);
        QTest::keyRelease(&pad, Qt::Key_5, Qt::NoModifier);
        QVERIFY(!pad.buttonFor(QStringLiteral("5"))->isDown());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toString(), QStringLiteral("5"));

        QTest::keyClick(&pad, Qt::Key_Return);
        QTest::keyClick(&pad, Qt::Key_Enter);
        QCOMPARE(dial.count(), 2);

        QSignalSpy closed(&pad, &DialpadDialog::on_close);
        QTest::mouseClick(pad.findChild<QPushButton *>(QStringLiteral("button_close")), Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!pad.isVisible());
    }

    void callOutWindow()
    {
        CallcontrolDialog dialog(QStringLiteral("Call out using 1002"), QStringLiteral("1002"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const int height = dialog.height();
        auto *dialpadButton = dialog.findChild<QPushButton *>(QStringLiteral("buttonDialpad"));

        QTest::mouseClick(dialpadButton, Qt::LeftButton);
        QCOMPARE(dialog.height(), height + 235);
        QVERIFY(!dialpadButton->isEnabled());
        auto *pad = dialog.findChild<DialpadDialog *>();
        QVERIFY(pad);
        QTest::mouseClick(pad->buttonFor(QStringLiteral("4")), Qt::LeftButton);
        QTest::mouseClick(pad->buttonFor(QStringLiteral("2")), Qt::LeftButton);
        QCOMPARE(dialog.phoneNumber(), QStringLiteral("42"));
        QTest::mouseClick(pad->findChild<QPushButton *>(QStringLiteral("button_close")), Qt::LeftButton);
        QCOMPARE(dialog.height(), height);
        QVERIFY(dialpadButton->isEnabled());

        QSignalSpy callas(&dialog, &CallcontrolDialog::callas);
        auto *dialButton = dialog.findChild<QPushButton *>(QStringLiteral("buttonDial"));
        QTest::mouseClick(dialButton, Qt::LeftButton);
        QTest::mouseClick(dialButton, Qt::LeftButton);
        QCOMPARE(callas.count(), 1);
        QCOMPARE(callas.first().at(0).toString(), QStringLiteral("42"));
        QCOMPARE(callas.first().at(1).toString(), QStringLiteral("1002"));
    }
};

QTEST_MAIN(TestDialpad)
#include "tst_dialpad.moc"
