// The label under extensions, calls and directory entries: clicks by button (its drag payload is
// tst_account's), deferred deletion, list rows and the phone-number variant.
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include "widgets/clickablelabel.h"
#include "widgets/clickablelabelwidgetitem.h"
#include "widgets/orphanguard.h"
#include "widgets/phonelabel.h"
#include "widgets/symbolfont.h"

class TestClickableLabel final : public QObject
{
    Q_OBJECT

private slots:
    void clicksByButton_data();
    void clicksByButton();
    void unparentedLabelIsNoWindow();
    void deleteIsImmediateWithoutDrag();
    void listRowsForwardClicks();
    void phoneLabel();
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

void TestClickableLabel::phoneLabel()
{
    PhoneLabel label;
    label.setPhoneNumber(QStringLiteral("+49 30 123"));
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(label.text().contains(QStringLiteral("<a href='#'>+49 30 123</a>")));
    QVERIFY(label.text().contains(SymbolFont::Telephone));
    label.setPhoneNumber(QString());
    QCOMPARE(label.text(), QString());
    QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestClickableLabel)
#include "tst_clickablelabel.moc"
