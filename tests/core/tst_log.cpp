#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"

class TestLog final : public QObject
{
    Q_OBJECT

private:
    static QStringList lines(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:

    void cleanup()
    {
        Log::set_output_file(QString());
        Log::set_rotate_size(Log::DefaultRotateSize);
    }

    void lineFormat()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log"));
        Log::set_output_file(path);
        Log::write_log(QStringLiteral("/src/x.cpp"), 42, QStringLiteral("plain text"));
        Log::write_log_t(QStringLiteral("/src/y.cpp"), 7, QStringLiteral("first milestone"));
        Log::write_log_t(QStringLiteral("/src/y.cpp"), 8, QStringLiteral("second milestone"));
        Log::write_log_r(QStringLiteral("raw line, kept as it is"));

        const QStringList got = lines(path);
        QCOMPARE(got.size(), 4);
        const QRegularExpression untimed(QStringLiteral(
            "^\\[\\d\\d-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{4} \\d\\d:\\d\\d:\\d\\d\\]"
            "\\[/src/x\\.cpp:42\\] plain text$"));
        QVERIFY2(untimed.match(got[0]).hasMatch(), qPrintable(got[0]));
        // Elapsed seconds in stream notation (e.g. 0, 1.2e-05, 0.000123), then the text.
        const QRegularExpression timed(
            QStringLiteral("^\\[[^\\]]+\\]\\[/src/y\\.cpp:(7|8)\\] [0-9.e+-]+ (first|second) milestone$"));
        QVERIFY2(timed.match(got[1]).hasMatch(), qPrintable(got[1]));
        QVERIFY2(timed.match(got[2]).hasMatch(), qPrintable(got[2]));
        QCOMPARE(got[3], QStringLiteral("raw line, kept as it is"));
    }

    // No output file, or one that cannot be created: the line is lost quietly and rotation does
    // nothing.
    void nowhereToWrite()
    {
        QTemporaryDir dir;
        Log::set_rotate_size(1);
        Log::write_log(QStringLiteral("f.cpp"), 1, QStringLiteral("only to the debug output"));
        Log::rotate();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
        Log::set_output_file(dir.filePath(QStringLiteral("missing/dir/log")));
        Log::write_log(QStringLiteral("f.cpp"), 1, QStringLiteral("lost"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing/dir/log"))));
    }

    void rotatesAtTheLimitNotBefore()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log"));
        const QString line = QStringLiteral("0123456789"); // 11 bytes with the newline
        Log::set_rotate_size(22);
        Log::set_output_file(path);

        Log::write_log_r(line); // 11 bytes, under the limit
        QVERIFY(!QFile::exists(path + QStringLiteral(".1")));
        writeFile(path, QByteArray(10, 'x')); // 10 bytes, next line makes 21: one byte short
        Log::write_log_r(line);
        QVERIFY(!QFile::exists(path + QStringLiteral(".1")));
        QCOMPARE(QFileInfo(path).size(), 21);

        writeFile(path, QByteArray(11, 'x')); // next line makes exactly 22
        Log::write_log_r(line);
        QVERIFY(QFile::exists(path + QStringLiteral(".1")));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QFileInfo(path + QStringLiteral(".1")).size(), 22);

        Log::write_log_r(QStringLiteral("fresh"));
        QCOMPARE(lines(path), QStringList {QStringLiteral("fresh")});
    }

    void rotationKeepsFiveCopies()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log"));
        writeFile(path, "current");
        for (int n = 1; n <= 5; ++n)
            writeFile(path + QLatin1Char('.') + QString::number(n), QByteArray::number(n));
        Log::set_output_file(path);
        Log::rotate();

        const auto content = [&](int n) {
            QFile f(path + QLatin1Char('.') + QString::number(n));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        };
        QVERIFY(!QFile::exists(path));
        QCOMPARE(content(1), QByteArray("current"));
        QCOMPARE(content(2), QByteArray("1"));
        QCOMPARE(content(5), QByteArray("4"));
        QVERIFY(!QFile::exists(path + QStringLiteral(".6")));

        // Only the current file present: it becomes .1 and nothing else appears.
        QTemporaryDir single;
        const QString p2 = single.filePath(QStringLiteral("log"));
        writeFile(p2, "only");
        Log::set_output_file(p2);
        Log::rotate();
        QCOMPARE(QDir(single.path()).entryList(QDir::Files), QStringList {QStringLiteral("log.1")});
    }

    // The file stays open between lines: each rotation must still leave the line that caused it
    // in .1 alone, at most five old copies, and the next line in a fresh file under the old name.
    void rotationsOfTheOpenFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log"));
        Log::set_output_file(path);
        Log::set_rotate_size(6); // every "lineN\n" reaches it
        for (int n = 1; n <= 7; ++n)
            Log::write_log_r(QStringLiteral("line") + QString::number(n));
        QVERIFY(!QFile::exists(path));
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(lines(path + QLatin1Char('.') + QString::number(n)),
                QStringList {QStringLiteral("line") + QString::number(8 - n)});
        QVERIFY(!QFile::exists(path + QStringLiteral(".6")));

        Log::set_rotate_size(Log::DefaultRotateSize);
        Log::write_log_r(QStringLiteral("fresh"));
        Log::write_log_r(QStringLiteral("second"));
        QCOMPARE(lines(path), (QStringList {QStringLiteral("fresh"), QStringLiteral("second")}));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
