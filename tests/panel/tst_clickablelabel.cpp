// The label under extensions, calls and directory entries: clicks by button (its drag payload is
// tst_account's), deferred deletion, list rows and the directory tile's phone-number line.
#include <QGuiApplication>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include "widgets/clickablelabel.h"
#include "widgets/clickablelabelwidgetitem.h"
#include "widgets/directorytile.h"
#include "widgets/orphanguard.h"

class TestClickableLabel final : public QObject
{
    Q_OBJECT

private slots:
    void clicksByButton_data();
    void clicksByButton();
    void unparentedLabelIsNoWindow();
    void deleteIsImmediateWithoutDrag();
    void listRowsForwardClicks();
    void tilePhoneLine();
    void tilePhoneLineLooksLikeALink();
};

void TestClickableLabel::clicksByButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left") << Qt::LeftButton << 1;
    QTest::newRow("middle") << Qt::MiddleButton << 1;
    QTest::newRow("right") << Qt::RightButton << 0;
}

void TestClickableLabel::clicksByButton()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, clicks);
    ClickableLabel label;
    QSignalSpy clicked(&label, &ClickableLabel::clicked);
    QTest::mouseClick(&label, button);
    QCOMPARE(clicked.size(), clicks);
    // A release without a press of the label is no click.
    QTest::mouseRelease(&label, Qt::LeftButton);
    QCOMPARE(clicked.size(), clicks);
}

void TestClickableLabel::unparentedLabelIsNoWindow()
{
    ClickableLabel label;
    QCOMPARE(label.parentWidget(), orphanGuard());
    QVERIFY(!label.isWindow());
    QVERIFY(label.acceptDrops());
}

void TestClickableLabel::deleteIsImmediateWithoutDrag()
{
    QPointer<ClickableLabel> label = new ClickableLabel;
    ClickableLabel::Delete(label);
    QVERIFY(label.isNull());
    ClickableLabel::Delete(nullptr);
}

void TestClickableLabel::listRowsForwardClicks()
{
    QListWidget list;
    auto *first = new ClickableLabel;
    auto *second = new ClickableLabel;
    auto *firstItem = new ClickableLabelWidgetItem(first, &list);
    auto *secondItem = new ClickableLabelWidgetItem(second, &list);
    QSignalSpy firstClicked(firstItem, &ClickableLabelWidgetItem::clicked);
    QSignalSpy secondDoubleClicked(secondItem, &ClickableLabelWidgetItem::doubleClicked);

    // The label's double click reaches its row.
    QTest::mouseClick(second, Qt::LeftButton);
    QTest::mouseDClick(second, Qt::LeftButton);
    QCOMPARE(secondDoubleClicked.size(), 1);
    QCOMPARE(secondDoubleClicked.first().first().toInt(), 1);

    // The row is the current one, not the one at creation.
    delete list.takeItem(0);
    QSignalSpy clicked(secondItem, &ClickableLabelWidgetItem::clicked);
    QTest::mouseClick(second, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.first().first().toInt(), 0);
    QCOMPARE(firstClicked.size(), 0);
}

namespace {
// A tile as the directory makes one: 110 x 75, framed, the name above the phone-number line.
void makeTile(DirectoryTile &tile)
{
    tile.setFixedSize(110, 75);
    QFont small = tile.font();
    small.setPixelSize(11);
    tile.setFont(small);
    tile.setName(QStringLiteral("Anna Berg\n201"));
    tile.setStatus(QStringLiteral("Available"));
}
} // namespace

// The number's line takes the clicks and the pointing hand meant for the number; the rest of the
// tile stays the tile's, and a tile without a number has no such line.
void TestClickableLabel::tilePhoneLine()
{
    QWidget window;
    auto &tile = *new DirectoryTile(&window);
    makeTile(tile);
    QVERIFY(tile.setPhoneNumber(QStringLiteral("+49 30 123")));
    QVERIFY(!tile.setPhoneNumber(QStringLiteral("+49 30 123")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(tile.findChildren<QWidget *>().isEmpty());

    const QRect line = tile.phoneLine();
    const QPoint onNumber = line.center();
    const QPoint onName(line.center().x(), line.top() - 3);
    const QPoint onStatus(line.center().x(), line.bottom() + 6);
    QVERIFY(line.top() >= tile.fontMetrics().height() * 2); // under name and extension
    QVERIFY(tile.rect().adjusted(1, 1, -1, -1).contains(line));
    QVERIFY(tile.isOnPhoneLine(onNumber));
    QVERIFY(!tile.isOnPhoneLine(onName) && !tile.isOnPhoneLine(onStatus));

    QSignalSpy clicked(&tile, &ClickableLabel::clicked);
    QSignalSpy phoneClicked(&tile, &DirectoryTile::phoneClicked);
    QTest::mouseClick(&tile, Qt::LeftButton, {}, onNumber);
    QCOMPARE(phoneClicked.size(), 1);
    QCOMPARE(clicked.size(), 0);
    QTest::mouseClick(&tile, Qt::LeftButton, {}, onName);
    QTest::mouseClick(&tile, Qt::LeftButton, {}, onStatus);
    QCOMPARE(clicked.size(), 2);
    QTest::mouseClick(&tile, Qt::RightButton, {}, onNumber);
    QCOMPARE(phoneClicked.size(), 1);

    QTest::mouseMove(&tile, onNumber);
    QTRY_COMPARE(tile.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&tile, onName);
    QTRY_COMPARE(tile.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(tile.accessibleDescription(), QStringLiteral("Phone +49 30 123"));

    // Without a number the line is blank, of one text line's height, and takes nothing.
    QVERIFY(tile.setPhoneNumber(QString()));
    QCOMPARE(tile.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(tile.phoneLine().height(), tile.fontMetrics().height());
    QVERIFY(!tile.isOnPhoneLine(onNumber));
    QTest::mouseClick(&tile, Qt::LeftButton, {}, onNumber);
    QCOMPARE(phoneClicked.size(), 1);
    QCOMPARE(clicked.size(), 3);
    QCOMPARE(tile.accessibleDescription(), QString());
}

// The number is drawn in the link colour, on the line a blank one had, and nowhere else.
void TestClickableLabel::tilePhoneLineLooksLikeALink()
{
    DirectoryTile tile;
    makeTile(tile);
    const QColor link = QGuiApplication::palette().color(QPalette::Link);
    const auto linkPixels = [&tile, &link](const QRect &box) {
        const QImage image = tile.grab().toImage();
        int count = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x)
                count += image.pixelColor(x, y) == link ? 1 : 0;
        }
        return count;
    };
    const QRect blankLine = tile.phoneLine();
    QCOMPARE(linkPixels(tile.rect()), 0);
    tile.setPhoneNumber(QStringLiteral("+44 20 7946 0101"));
    const QRect line = tile.phoneLine();
    QVERIFY(linkPixels(line) > 20);
    QCOMPARE(linkPixels(tile.rect()), linkPixels(line));
    QCOMPARE(line.top(), blankLine.top());
}

QTEST_MAIN(TestClickableLabel)
#include "tst_clickablelabel.moc"
