// One panel per data directory: the guard in-process, then the real binary started twice.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/singleinstance.h"

namespace {
QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool waitForLine(const QString &path, const QString &line, QProcess *alive, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && alive->state() != QProcess::NotRunning) {
        if (readAll(path).contains(line))
            return true;
        QTest::qWait(50);
    }
    return false;
}
} // namespace

class TestSingleInstance final : public QObject
{
    Q_OBJECT

private slots:

    // The first claim listens; a second for the same directory reaches it and is told to end; a
    // claim for another directory, or after the first ended, is a first one again.
    void guardPerDirectory()
    {
        QTemporaryDir root;
        const QString dir = root.filePath(QStringLiteral("a"));
        const QString other = root.filePath(QStringLiteral("b"));
        QVERIFY(QDir().mkpath(dir) && QDir().mkpath(other));
        QCOMPARE(SingleInstance::serverName(dir), SingleInstance::serverName(dir + QStringLiteral("/")));
        QVERIFY(SingleInstance::serverName(dir) != SingleInstance::serverName(other));

        {
            SingleInstance first(dir);
            QSignalSpy raised(&first, &SingleInstance::raiseRequested);
            QCOMPARE(first.claim(), SingleInstance::Role::Primary);

            SingleInstance second(dir);
            QCOMPARE(second.claim(), SingleInstance::Role::Secondary);
            QTRY_COMPARE_WITH_TIMEOUT(raised.count(), 1, 3000);

            SingleInstance elsewhere(other);
            QCOMPARE(elsewhere.claim(), SingleInstance::Role::Primary);
        }
        SingleInstance again(dir);
        QCOMPARE(again.claim(), SingleInstance::Role::Primary);
    }

    // A directory where no lock can be made does not stop the panel.
    void unlockableDirectoryIsUnguarded()
    {
        SingleInstance guard(QStringLiteral("/dev/null/nowhere"));
        QCOMPARE(guard.claim(), SingleInstance::Role::Unguarded);
    }

    // The real binary twice on one application directory: the second ends at once with status 0,
    // the first keeps running and got the raise request, then ends cleanly.
    void secondBinaryRaisesTheFirst()
    {
        QTemporaryDir root;
        const QString app = root.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(app) && QDir().mkpath(root.filePath(QStringLiteral("home"))));
        QVERIFY(QFile::copy(QStringLiteral(ORVALO_BIN_DIR "/orvalo"), app + QStringLiteral("/orvalo")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("ORVALO_UNATTENDED"), QStringLiteral("1"));
        const QString log = app + QStringLiteral("/log");

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(app + QStringLiteral("/orvalo"), {});
        QVERIFY2(waitForLine(log, QStringLiteral("Initialisation complete"), &first, 20000),
            first.readAllStandardError().constData());

        QProcess second;
        second.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        second.start(app + QStringLiteral("/orvalo"), {});
        const bool ended = second.waitForFinished(10000);
        const QString secondOutput = QString::fromUtf8(second.readAllStandardError());
        if (!ended)
            second.kill();
        QVERIFY2(ended, qPrintable(secondOutput));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(secondOutput.contains(QStringLiteral("asked it to come forward")), qPrintable(secondOutput));

        QVERIFY(waitForLine(log, QStringLiteral("A second instance asked to raise the panel"), &first, 5000));
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
