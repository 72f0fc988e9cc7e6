// The company directory end to end: the real window reloads the directory from the cloud
// simulator, shows its tabs and tiles, follows a peer's presence through the registrar, offers
// the tile menu by registration and call state, and really dials from it.
#include <QAction>
#include <QApplication>
#include <QColor>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPalette>
#include <QProgressDialog>
#include <QTimer>

#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"
#include "widgets/corporatedirectory.h"
#include "widgets/directorytile.h"
#include "widgets/kestabwidget.h"

class TestDirectoryEndToEnd final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::Kamailio &m_proxy = m_panel.proxy;
    testbed::CloudSim &m_cloud = m_panel.cloud;

    CompanyDevice *tile(const QString &extension) const
    {
        for (const auto &t : m_panel.window->directory().tiles()) {
            if (t->getExtension() == extension)
                return t.get();
        }
        return nullptr;
    }

    QStringList menu(CompanyDevice &t, bool phoneLabel)
    {
        QStringList texts;
        const auto m = m_panel.window->companyDeviceMenu(t, phoneLabel);
        for (const QAction *a : m->actions())
            texts << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
        return texts;
    }

    // The entries of the menu the panel opens for a right click at `at` on the tile; the menu is
    // closed again unused.
    static QStringList menuOpenedAt(CompanyDevice &t, const QPoint &at)
    {
        QStringList texts;
        QTimer poll;
        int polls = 0;
        QObject::connect(&poll, &QTimer::timeout, [&texts, &poll, &polls] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu && ++polls < 250)
                return;
            poll.stop();
            if (!menu)
                return;
            for (const QAction *a : menu->actions())
                texts << a->text();
            menu->close();
        });
        poll.start(20);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, t.face()->mapToGlobal(at));
        QCoreApplication::sendEvent(t.face(), &request);
        return texts;
    }

    void trigger(CompanyDevice &t, const QString &text)
    {
        const auto m = m_panel.window->companyDeviceMenu(t, false);
        for (QAction *a : m->actions()) {
            if (a->text() == text) {
                a->trigger();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry ") + text));
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.open());
        QVERIFY(m_panel.startCloud());
        for (const Setting *on :
            {&Settings::CorporateDirectoryInternal, &Settings::CorporateDirectoryExternal,
                &Settings::SeparateCorporateDirectory, &Settings::IncludeUserPhonesInDirectory})
            m_panel.settings->setSetting(*on, QStringLiteral("1"));
        m_panel.settings->setSetting(Settings::OutboundDialPrefix, QStringLiteral("9"));
        m_panel.answerWith([](const Prompt::Question &question) {
            return question.title == QLatin1String("Confirm Reload?") ? Prompt::Ok : question.defaultButton;
        });
        QVERIFY(m_panel.show());
    }

    void cleanupTestCase() { m_panel.close(); }

    // Reload brings the fixture's directory: departments before the tenant, tiles by name, the
    // desk extension and personal phone of one person on one tile, a gold/goldenrod/greenyellow
    // tile as the peer's presence changes.
    void reloadAndPresence()
    {
        testbed::SipPeer bruno;
        QVERIFY(testbed::startRegistered(bruno, m_proxy, QStringLiteral("1002"),
            {QStringLiteral("--presence"), QStringLiteral("online"), QStringLiteral("--presence-note"),
                QStringLiteral("Available")}));
        m_panel.window->form()->actionReload_Directories->trigger();
        QVERIFY(m_cloud.waitForRequest(QRegularExpression(QStringLiteral("get_company_devices$"))).valid());
        QTRY_VERIFY_WITH_TIMEOUT(tile(QStringLiteral("1002")) != nullptr, 10000);

        KesTabWidget *tabs = m_panel.window->form()->tab_directories;
        QStringList texts;
        for (int i = 0; i < tabs->count() - Directory::FixedTabs; ++i)
            texts << tabs->tabText(i);
        QCOMPARE(texts,
            (QStringList {
                QStringLiteral("Reception"), QStringLiteral("Sales"), QStringLiteral("Acme Hotel")}));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(m_panel.window->directory().page(0)->tileCount(), 3); // Bruno (desk + mobile), Gina, Olivia
        CompanyDevice *b = tile(QStringLiteral("1002"));
        QCOMPARE(b->getPhonenumber(), QStringLiteral("+49 30 1234-567"));
        QVERIFY(m_panel.window->reloadProgress()
            && !m_panel.window->reloadProgress()->isVisible()); // completed and closed

        const auto colour = [b] { return b->getLabel()->palette().color(QPalette::Window); };
        QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(QStringLiteral("greenyellow")), 15000);
        bruno.command(QStringLiteral("presence online Ringing"));
        QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(QStringLiteral("gold")), 10000);
        bruno.command(QStringLiteral("presence busy On the phone"));
        QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(QStringLiteral("goldenrod")), 10000);
        QVERIFY(b->getLabel()->accessibleName().contains(QStringLiteral("On the phone")));
        bruno.command(QStringLiteral("presence online Available"));
        QTRY_COMPARE_WITH_TIMEOUT(colour(), QColor(QStringLiteral("greenyellow")), 10000);

        // The menu of an online tile; "Call to" dials the peer through the registrar, and a tile
        // in a call offers "Hangup" instead.
        QCOMPARE(menu(*b, false),
            (QStringList {
                QStringLiteral("Call to 1002"), QStringLiteral("Dial +49 30 1234-567 as extension 1001")}));
        QCOMPARE(menu(*b, true).last(), QStringLiteral("Copy"));
        CompanyDevice *gina = tile(QStringLiteral("1010")); // offline, may call out as herself
        QVERIFY(gina);
        QCOMPARE(menu(*gina, false),
            (QStringList {QStringLiteral("Dial +49 30 1234-570 as extension 1001"),
                QStringLiteral("Dial +49 30 1234-570 as extension 1010")}));

        m_panel.window->form()->PhoneNumber->setText(QStringLiteral("kept"));
        trigger(*b, QStringLiteral("Call to 1002"));
        QVERIFY(bruno.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        QCOMPARE(m_panel.window->form()->PhoneNumber->text(), QStringLiteral("kept"));
        QCOMPARE(menu(*b, false).first(), QStringLiteral("Hangup"));
        trigger(*b, QStringLiteral("Hangup"));
        QVERIFY(bruno.waitForEvent(QStringLiteral("^EVENT call .*state=(End|Released)")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(m_panel.window->getAccounts().front()->getCalls().empty(), 10000);
    }

    // The number on a tile, under its name: a right click there opens the number's menu (with
    // "Copy"), elsewhere the tile's; a click dials the number behind the outbound prefix, without
    // its spaces and dashes, and leaves it in the dial field.
    void phoneNumberLine()
    {
        CompanyDevice *b = tile(QStringLiteral("1002"));
        QVERIFY(b);
        const QRect line = b->face()->phoneLine();
        const QStringList onNumber = menuOpenedAt(*b, line.center());
        QVERIFY2(onNumber.contains(QStringLiteral("Copy")), qPrintable(onNumber.join(QLatin1Char('|'))));
        QCOMPARE(onNumber.first(), QStringLiteral("Call to 1002"));
        const QStringList onName = menuOpenedAt(*b, QPoint(line.center().x(), line.top() - 4));
        QCOMPARE(onName, menu(*b, false));

        QTest::mouseClick(b->face(), Qt::LeftButton, {}, line.center());
        QCOMPARE(m_panel.window->form()->PhoneNumber->text(), QStringLiteral("9+49301234567"));
        QTRY_VERIFY_WITH_TIMEOUT(m_panel.window->getAccounts().front()->getCalls().empty(), 15000);
        m_panel.window->form()->PhoneNumber->clear();
    }

    // Without a registered extension the menu has nothing to offer, and the subscriptions end.
    void unregisteredMenu()
    {
        CompanyDevice *b = tile(QStringLiteral("1002"));
        QVERIFY(b);
        m_panel.window->unregister_selected_account();
        QCOMPARE(menu(*b, false), QStringList {QStringLiteral("** No options ** (disabled)")});
        QCOMPARE(b->getBuddyId(), -1);
        QCOMPARE(b->getLabel()->palette().color(QPalette::Window), QColor(QStringLiteral("gray")));
    }
};

QTEST_MAIN(TestDirectoryEndToEnd)
#include "tst_directory_e2e.moc"
