// The directory built from the database: tab order, tile order by either sort, presence colours
// as the tiles are drawn, and the idle refresh that touches nothing.
#include <malloc.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "cloud/directoryreply.h"
#include "cloud/directorywriter.h"
#include "core/dbmgr.h"
#include "core/settings.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "widgets/clickablelabel.h"
#include "widgets/corporatedirectory.h"
#include "widgets/directorytile.h"
#include "widgets/flowlayout.h"
#include "widgets/kestabwidget.h"

namespace {
// The tile's colour as drawn, inside its frame below the texts.
QColor drawn(const CompanyDevice &tile)
{
    return tile.getLabel()->grab().toImage().pixelColor(100, 68);
}

QString entry(const QString &first, const QString &second, const QString &extension, const QString &tab,
    const QString &tenantmode, const QString &phone = QString())
{
    return QStringLiteral(R"({"phoneuserfirstname":"%1","phoneusersecondname":"%2","extensionnumber":"%3",
        "tabheading":"%4","tenantmode":"%5","userphone":"%6","serveripaddress":"127.0.0.1:5070","directoryindex":"%4-id"})")
        .arg(first, second, extension, tab, tenantmode, phone);
}
} // namespace

class TestDirectory final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<KesTabWidget> m_tabs;
    std::unique_ptr<Directory> m_directory;
    QStringList m_subscribed;
    QList<int> m_unsubscribed;

    QStringList tabTexts() const
    {
        QStringList out;
        for (int i = 0; i < m_tabs->count(); ++i)
            out << m_tabs->tabText(i);
        return out;
    }

    // "tab: full name" of every tile, in placement order.
    QStringList placed() const
    {
        QStringList out;
        for (int i = 0; i < m_tabs->count(); ++i) {
            CorporateDirectory *page = m_directory->page(i);
            if (!page)
                continue;
            for (const auto &tile : m_directory->tiles()) {
                if (page->isAncestorOf(tile->getLabel()))
                    out << m_tabs->tabText(i) + QStringLiteral(": ") + tile->getFullname().trimmed();
            }
        }
        return out;
    }

private slots:

    // As in the panel, an application style sheet is in effect: what is drawn must still be the
    // tiles' own colours.
    void initTestCase()
    {
        qApp->setStyleSheet(QStringLiteral("QPushButton { border-radius:6px; padding:2px }"));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(m_dir->path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_tabs = std::make_unique<KesTabWidget>();
        for (const char *fixed : {"", "Speed dials", "Contact details", "Call progress"})
            m_tabs->addTab(new QWidget, QString::fromLatin1(fixed));
        m_subscribed.clear();
        m_unsubscribed.clear();
        m_directory = std::make_unique<Directory>(
            *m_db, *m_tabs,
            [this](const QString &uri) {
                m_subscribed << uri;
                return int(m_subscribed.size()) - 1;
            },
            [this](int id) { m_unsubscribed << id; });

        const QString reply = QStringLiteral(R"({"company_devices":[)")
            + QStringList {entry(QStringLiteral("Zed"), QStringLiteral("Z"), QStringLiteral("1001"),
                               QStringLiteral("Sales"), QStringLiteral("0")),
                entry(QStringLiteral(" Anna"), QStringLiteral("A"), QStringLiteral("1009"),
                    QStringLiteral("Sales"), QStringLiteral("0")),
                entry(QStringLiteral("Frank"), QStringLiteral("F"), QString(), QStringLiteral("Acme"),
                    QStringLiteral("1"), QStringLiteral("+44 1")),
                entry(QStringLiteral("Carl"), QStringLiteral("C"), QStringLiteral("1005"),
                    QStringLiteral("Reception"), QStringLiteral("0"))}
                  .join(QLatin1Char(','))
            + QStringLiteral("]}");
        DirectoryWriter writer(*m_db);
        writer.writeRows(writer.storeDepartments(readDirectoryReply(reply).entries));
    }

    void cleanup()
    {
        m_directory.reset();
        m_tabs.reset();
        m_db.reset();
    }

    // Departments before tenants, by name; the fixed tabs stay behind them. Within a tab, by
    // trimmed name or by extension first.
    void tabsAndSortOrders()
    {
        QVERIFY(m_directory->build(true));
        QCOMPARE(tabTexts(),
            (QStringList {QStringLiteral("Reception"), QStringLiteral("Sales"), QStringLiteral("Acme"),
                QString(), QStringLiteral("Speed dials"), QStringLiteral("Contact details"),
                QStringLiteral("Call progress")}));
        QCOMPARE(m_tabs->tabToolTip(1), QStringLiteral("Dir Index: Sales-id"));
        QCOMPARE(placed(),
            (QStringList {QStringLiteral("Reception: Carl C"), QStringLiteral("Sales: Anna A"),
                QStringLiteral("Sales: Zed Z"), QStringLiteral("Acme: Frank F")}));

        // A rebuild replaces the directory's tabs, never the fixed ones.
        QVERIFY(m_directory->build(false));
        QCOMPARE(m_tabs->count(), 7);
        QCOMPARE(placed(),
            (QStringList {QStringLiteral("Reception: Carl C"), QStringLiteral("Sales: Zed Z"),
                QStringLiteral("Sales: Anna A"), QStringLiteral("Acme: Frank F")}));
    }

    // Presence colours land in the style sheet; the phone-only tile is turquoise and is not
    // watched; ending the subscriptions turns the tiles gray again.
    void presenceColours()
    {
        QVERIFY(m_directory->build(true));
        m_directory->updateLabels();
        m_directory->addAllBuddies();
        m_directory->addAllBuddies(); // once per build
        QCOMPARE(m_subscribed.size(), 3);
        QVERIFY(!m_subscribed.contains(QString()));

        CompanyDevice *phoneOnly = nullptr;
        CompanyDevice *carl = nullptr;
        for (const auto &tile : m_directory->tiles()) {
            if (tile->getExtension().isEmpty())
                phoneOnly = tile.get();
            if (tile->getExtension() == QLatin1String("1005"))
                carl = tile.get();
        }
        QVERIFY(phoneOnly && carl);
        QCOMPARE(drawn(*phoneOnly), QColor(QStringLiteral("mediumturquoise")));
        QCOMPARE(phoneOnly->getBuddyId(), -1);
        QVERIFY(phoneOnly->getLabel()->accessibleName().contains(QStringLiteral("No extension")));

        const struct
        {
            const char *text;
            const char *colour;
            bool available;
        } states[] = {{"Ringing", "gold", false}, {"On the phone", "goldenrod", false},
            {"Available", "greenyellow", true}, {"Ready", "greenyellow", true}, {"Online", "gray", false},
            {"?", "gray", false}};

        for (const auto &state : states) {
            m_directory->onBuddyState(unsigned(carl->getBuddyId()), QString::fromLatin1(state.text), 1);
            QCOMPARE(carl->colour(), QLatin1String(state.colour));
            QCOMPARE(drawn(*carl), QColor(QLatin1String(state.colour)));
            QCOMPARE(carl->isAvailable(), state.available);
            QVERIFY(carl->isOnline());
        }
        m_directory->onBuddyState(unsigned(carl->getBuddyId()), QStringLiteral("Busy"), 1);
        QVERIFY(carl->getLabel()->accessibleName().startsWith(QStringLiteral("Carl C, 1005, Busy")));
        const int id = carl->getBuddyId();
        m_directory->removeAllBuddies();
        QVERIFY(m_unsubscribed.contains(id));
        QCOMPARE(drawn(*carl), QColor(QStringLiteral("gray")));
        QCOMPARE(carl->getBuddyId(), -1);
        QVERIFY(!m_directory->buddiesAdded());
    }

    // A tile is one widget drawing its texts; a tile with a phone number shows it on the line
    // under the name, where a menu or a drop is meant for the number.
    void tileFaces()
    {
        QVERIFY(m_directory->build(true));
        m_directory->updateLabels();
        const CompanyDevice *frank = nullptr;
        const CompanyDevice *carl = nullptr;
        for (const auto &tile : m_directory->tiles()) {
            if (tile->getFullname().startsWith(QLatin1String("Frank")))
                frank = tile.get();
            if (tile->getExtension() == QLatin1String("1005"))
                carl = tile.get();
        }
        QVERIFY(frank && carl);
        const DirectoryTile *carlFace = carl->face();
        const DirectoryTile *frankFace = frank->face();
        QCOMPARE(carlFace, carl->getLabel());

        QCOMPARE(carlFace->name(), QStringLiteral("Carl C\n1005"));
        QCOMPARE(carl->shownPhoneNumber(), QString());
        QVERIFY(!carl->isOnPhoneNumber(carlFace->phoneLine().center()));
        QVERIFY(carlFace->findChildren<QWidget *>().isEmpty());

        QCOMPARE(frankFace->name(), QStringLiteral("Frank F"));
        QCOMPARE(frankFace->status(), QStringLiteral("\nNo extension"));
        QCOMPARE(frank->shownPhoneNumber(), QStringLiteral("+44 1"));
        QVERIFY(frankFace->findChildren<QWidget *>().isEmpty());
        QVERIFY(frank->isOnPhoneNumber(frankFace->phoneLine().center()));
        QCOMPARE(m_directory->tileFor(frankFace), frank);
    }

    // Under the application's style sheet a tile costs its own few kilobytes, not the sheet's
    // cache of its rules on top (some 8 KB a widget, once polished or framed by the style), and
    // still shows its box in the text colour around its own colour.
    void tilesKeepNoStyleCache()
    {
        QWidget page;
        page.resize(600, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const auto heap = [] { return mallinfo2().uordblks; };
        constexpr int Tiles = 200;
        std::vector<DirectoryTile *> tiles;
        const size_t before = heap();
        for (int i = 0; i < Tiles; ++i) {
            auto *tile = new DirectoryTile;
            tile->setFixedSize(110, 75);
            tile->setAutoFillBackground(true);
            tile->setParent(&page);
            tile->show();
            tiles.push_back(tile);
        }
        QCoreApplication::processEvents();
        for (DirectoryTile *tile : tiles)
            tile->grab();
        const double perTile = double(heap() - before) / Tiles;
        QVERIFY2(perTile < 4096, qPrintable(QString::number(perTile)));

        DirectoryTile &tile = *tiles.front();
        QPalette palette = tile.palette();
        palette.setColor(QPalette::Window, QColor(QStringLiteral("gold")));
        palette.setColor(QPalette::WindowText, Qt::black);
        tile.setPalette(palette);
        const QImage image = tile.grab().toImage();
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(109, 74), QColor(Qt::black));
        QCOMPARE(image.pixelColor(1, 1), QColor(QStringLiteral("gold")));
        QCOMPARE(image.pixelColor(100, 68), QColor(QStringLiteral("gold")));
    }

    // The once-a-second refresh changes no widget of a tile whose presence stayed the same.
    void idleRefreshTouchesNothing()
    {
        QVERIFY(m_directory->build(true));
        m_directory->updateLabels();
        int before = 0;
        for (const auto &tile : m_directory->tiles())
            before += tile->redraws();
        for (int i = 0; i < 5; ++i)
            m_directory->updateLabels();
        int after = 0;
        for (const auto &tile : m_directory->tiles())
            after += tile->redraws();
        QCOMPARE(after, before);
    }

    void tabNavigation_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<int>>("disabled");
        QTest::addColumn<int>("move");
        QTest::addColumn<int>("expected");
        using M = KesTabWidget::Move;
        // Eight tabs: a quarter is two.
        QTest::newRow("first skips a disabled tab 0") << 5 << QList<int> {0} << int(M::First) << 1;
        QTest::newRow("quarter back lands below a disabled target")
            << 5 << QList<int> {3} << int(M::QuarterBack) << 2;
        QTest::newRow("quarter back before the start stays")
            << 1 << QList<int> {} << int(M::QuarterBack) << 1;
        QTest::newRow("back from 0 stays") << 0 << QList<int> {} << int(M::Back) << 0;
        QTest::newRow("back skips disabled") << 4 << QList<int> {3, 2} << int(M::Back) << 1;
        QTest::newRow("forward skips disabled") << 4 << QList<int> {5} << int(M::Forward) << 6;
        QTest::newRow("forward from the last stays") << 7 << QList<int> {} << int(M::Forward) << 7;
        QTest::newRow("quarter forward lands above a disabled target")
            << 2 << QList<int> {4} << int(M::QuarterForward) << 5;
        QTest::newRow("last skips a disabled end") << 0 << QList<int> {7} << int(M::Last) << 6;
    }

    void tabNavigation()
    {
        QFETCH(int, current);
        QFETCH(QList<int>, disabled);
        QFETCH(int, move);
        QFETCH(int, expected);
        KesTabWidget tabs;
        for (int i = 0; i < 8; ++i)
            tabs.addTab(new QWidget, QString::number(i));
        tabs.setCurrentIndex(current);
        for (int i : disabled)
            tabs.setTabEnabled(i, false);
        const auto m = KesTabWidget::Move(move);
        QCOMPARE(tabs.target(m), expected);
        tabs.button(m)->click();
        QCOMPARE(tabs.currentIndex(), expected);
    }
};

QTEST_MAIN(TestDirectory)
#include "tst_directory.moc"
