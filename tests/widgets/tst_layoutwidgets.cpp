#include <QLabel>
#include <QTest>
#include <QWidgetItem>

#include "widgets/dropdowngroupbox.h"
#include "widgets/flowlayout.h"

namespace {
// A layout item of a fixed size hint, with no widget (so the layout's own spacings apply).
class FixedItem final : public QLayoutItem
{
public:
    explicit FixedItem(QSize size)
        : m_size(size)
    { }

    QSize sizeHint() const override { return m_size; }

    QSize minimumSize() const override { return m_size; }

    QSize maximumSize() const override { return m_size; }

    Qt::Orientations expandingDirections() const override { return {}; }

    bool isEmpty() const override { return false; }

    void setGeometry(const QRect &r) override { m_geometry = r; }

    QRect geometry() const override { return m_geometry; }

private:
    QSize m_size;
    QRect m_geometry;
};
} // namespace

class TestLayoutWidgets final : public QObject
{
    Q_OBJECT

private slots:

    void flowWrapsLikeWords_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("innerWidth");
        QTest::addColumn<QList<QPoint>>("positions");
        QTest::addColumn<int>("height");
        QTest::newRow("three of 100 in 250")
            << QList<int> {100, 100, 100} << 250 << QList<QPoint> {{0, 0}, {106, 0}, {0, 26}} << 46;
        QTest::newRow("exact fit stays on the line")
            << QList<int> {100, 100} << 206 << QList<QPoint> {{0, 0}, {106, 0}} << 20;
        QTest::newRow("wider than the line gets its own line")
            << QList<int> {50, 400, 50} << 250 << QList<QPoint> {{0, 0}, {0, 26}, {0, 52}} << 72;
        QTest::newRow("empty") << QList<int> {} << 250 << QList<QPoint> {} << 0;
    }

    void flowWrapsLikeWords()
    {
        QFETCH(QList<int>, widths);
        QFETCH(int, innerWidth);
        QFETCH(QList<QPoint>, positions);
        QFETCH(int, height);

        FlowLayout layout(0, 6, 6);
        QList<FixedItem *> items;
        for (int w : widths) {
            items << new FixedItem(QSize(w, 20));
            layout.addItem(items.last());
        }
        QCOMPARE(layout.heightForWidth(innerWidth), height);
        layout.setGeometry(QRect(0, 0, innerWidth, 200));
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items[i]->geometry().topLeft(), positions[i]);
    }

    void flowMarginsAndItems()
    {
        FlowLayout layout(7, 6, 6);
        QCOMPARE(layout.heightForWidth(300), 14); // empty: top + bottom margin

        layout.addItem(new FixedItem(QSize(40, 10)));
        layout.addItem(new FixedItem(QSize(30, 25)));
        QCOMPARE(layout.minimumSize(), QSize(40 + 14, 25 + 14));
        QCOMPARE(layout.sizeHint(), layout.minimumSize());
        QVERIFY(layout.takeAt(-1) == nullptr);
        QVERIFY(layout.takeAt(layout.count()) == nullptr);
        QVERIFY(layout.itemAt(2) == nullptr);
        delete layout.takeAt(0);
        QCOMPARE(layout.count(), 1);
    }

    void dropdownShowsAndHidesChildren()
    {
        QWidget window;
        auto *box = new DropdownGroupbox(&window);
        box->setCheckable(true);
        box->setChecked(false);
        box->setTitle(QStringLiteral("Contact details"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto *later = new QLabel(QStringLiteral("added while collapsed"), box);
        later->show(); // whoever adds it may show it; the collapsed box wins
        QTRY_VERIFY(later->isHidden());

        box->setChecked(true);
        emit box->clicked(true);
        QVERIFY(!later->isHidden());
        auto *second = new QLabel(QStringLiteral("added while open"), box);
        QTRY_VERIFY(!second->isHidden());

        emit box->clicked(false);
        QVERIFY(later->isHidden());
        QVERIFY(second->isHidden());
    }
};

QTEST_MAIN(TestLayoutWidgets)
#include "tst_layoutwidgets.moc"
