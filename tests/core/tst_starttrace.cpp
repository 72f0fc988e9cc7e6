#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/starttrace.h"

// The trace is switched on by the environment when it is first used: each test process sets it
// before the first mark.
class TestStartTrace final : public QObject
{
    Q_OBJECT

private slots:
    void marksAreWrittenInOrderWithTheProcessAge();
};

void TestStartTrace::marksAreWrittenInOrderWithTheProcessAge()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("trace"));
    qputenv("ORVALO_START_TRACE", QFile::encodeName(path));

    StartTrace::mark("first");
    QTest::qWait(20);
    StartTrace::markOnce("sent");
    StartTrace::markOnce("sent"); // repeats are not written
    StartTrace::mark("last step");
    QVERIFY(StartTrace::enabled());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    static const QRegularExpression form(
        QStringLiteral("^start_trace exec_ms=([0-9.]+) main_ms=([0-9.]+) step=(.+)$"));
    double lastMain = -1;
    QStringList steps;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = form.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const double exec = m.captured(1).toDouble();
        const double main = m.captured(2).toDouble();
        // The process's age comes from the kernel's record of its start: it is at least the time
        // since the first mark, and this test process is not older than a minute.
        QVERIFY2(exec + 10 >= main && exec < 60000, qPrintable(line));
        QVERIFY(main >= lastMain);
        lastMain = main;
        steps << m.captured(3);
    }
    QCOMPARE(
        steps, (QStringList {QStringLiteral("first"), QStringLiteral("sent"), QStringLiteral("last step")}));
    QVERIFY(lastMain >= 20);
}

QTEST_GUILESS_MAIN(TestStartTrace)
#include "tst_starttrace.moc"
