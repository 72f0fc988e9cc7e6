// The company directory end to end: the real window reloads the directory from the cloud
// simulator, shows its tabs and tiles, follows a peer's presence through the registrar, offers
// the tile menu by registration and call state, and really dials from it.
#include <QAction>
#include <QMenu>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/companydevice.h"
#include "panel/directory.h"
#include "panel/orvalo.h"
#include "support/cloudsim.h"
#include "support/kamailio.h"
#include "support/sippeer.h"
#include "support/testbed.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"
#include "widgets/corporatedirectory.h"
#include "widgets/kestabwidget.h"

class TestDirectoryEndToEnd final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    testbed::Kamailio m_proxy;
    testbed::CloudSim m_cloud;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<Asset> m_asset;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Orvalo> m_window;

    CompanyDevice *tile(const QString &extension) const
    {
        for (const auto &t : m_window->directory().tiles()) {
            if (t->getExtension() == extension)
                return t.get();
        }
        return nullptr;
    }

    QStringList menu(CompanyDevice &t, bool phoneLabel)
    {
        QStringList texts;
        const auto m = m_window->companyDeviceMenu(t, phoneLabel);
        for (const QAction *a : m->actions())
            texts << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
        return texts;
    }

    void trigger(CompanyDevice &t, const QString &text)
    {
        const auto m = m_window->companyDeviceMenu(t, false);
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
        QVERIFY2(m_proxy.start(false, 5060), qPrintable(m_proxy.log()));
        QVERIFY2(
            m_cloud.start({QStringLiteral("--sip-server"), m_proxy.hostPort()}), qPrintable(m_cloud.log()));
        m_settings = std::make_unique<Settings>(m_dir.path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_settings->loadDefaultSettings();
        m_settings->setSetting(Settings::BriskoCloudApiUrl, m_cloud.baseUrl());
        m_settings->setSetting(Settings::AuthenticationToken, QStringLiteral("tok-operator"));
        for (const Setting *on :
            {&Settings::CorporateDirectoryInternal, &Settings::CorporateDirectoryExternal,
                &Settings::SeparateCorporateDirectory, &Settings::IncludeUserPhonesInDirectory})
            m_settings->setSetting(*on, QStringLiteral("1"));
        m_settings->setSetting(Settings::OutboundDialPrefix, QStringLiteral("9"));
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password, sipport, audiocodecs, "
            "dtmftype, activeaccount, defaultaccount, companydevice) VALUES ('Front desk', '1001', "
            "'127.0.0.1', '1001', '', '5060', 'ulaw,alaw', 'RFC2833', 1, 1, 0)")));
        m_asset = std::make_unique<Asset>(m_dir.path());
        m_prompt = std::make_unique<ScriptedPrompt>([](const Prompt::Question &question) {
            return question.title == QLatin1String("Confirm Reload?") ? Prompt::Ok : question.defaultButton;
        });
        Prompt::install(m_prompt.get());
        m_window = std::make_unique<Orvalo>(*m_db, *m_settings, *m_asset);
        QVERIFY(m_window->startedOk());
        m_window->callconnects();
        QSignalSpy registered(&m_window->engine(), &SipDialer::onRegistrationChanged);
        m_window->show();
        QTRY_VERIFY_WITH_TIMEOUT(!registered.isEmpty(), 10000);
        QVERIFY(m_window->getAccounts().front()->isRegistered());
    }

    void cleanupTestCase()
    {
        m_window.reset();
        Prompt::install(nullptr);
    }

    // Reload brings the fixture's directory: departments before the tenant, tiles by name, the
    // desk extension and personal phone of one person on one tile, a gold/goldenrod/greenyellow
    // tile as the peer's presence changes.
    void reloadAndPresence()
    {
        testbed::SipPeer bruno;
        QVERIFY(testbed::startRegistered(bruno, m_proxy, QStringLiteral("1002"),
            {QStringLiteral("--presence"), QStringLiteral("online"), QStringLiteral("--presence-note"),
                QStringLiteral("Available")}));
        m_window->form()->actionReload_Directories->trigger();
        QVERIFY(m_cloud.waitForRequest(QRegularExpression(QStringLiteral("get_company_devices$"))).valid());
        QTRY_VERIFY_WITH_TIMEOUT(tile(QStringLiteral("1002")) != nullptr, 10000);

        KesTabWidget *tabs = m_window->form()->tab_directories;
        QStringList texts;
        for (int i = 0; i < tabs->count() - Directory::FixedTabs; ++i)
            texts << tabs->tabText(i);
        QCOMPARE(texts,
            (QStringList {
                QStringLiteral("Reception"), QStringLiteral("Sales"), QStringLiteral("Acme Hotel")}));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(m_window->directory().page(0)->tileCount(), 3); // Bruno (desk + mobile), Gina, Olivia
        CompanyDevice *b = tile(QStringLiteral("1002"));
        QCOMPARE(b->getPhonenumber(), QStringLiteral("+49 30 1234-567"));
        QVERIFY(
            m_window->reloadProgress() && !m_window->reloadProgress()->isVisible()); // completed and closed

        const auto colour = [b] { return b->getLabel()->styleSheet(); };
        QTRY_VERIFY_WITH_TIMEOUT(colour().contains(QStringLiteral("background-color: greenyellow;")), 15000);
        bruno.command(QStringLiteral("presence online Ringing"));
        QTRY_VERIFY_WITH_TIMEOUT(colour().contains(QStringLiteral("background-color: gold;")), 10000);
        bruno.command(QStringLiteral("presence busy On the phone"));
        QTRY_VERIFY_WITH_TIMEOUT(colour().contains(QStringLiteral("background-color: goldenrod;")), 10000);
        QVERIFY(b->getLabel()->accessibleName().contains(QStringLiteral("On the phone")));
        bruno.command(QStringLiteral("presence online Available"));
        QTRY_VERIFY_WITH_TIMEOUT(colour().contains(QStringLiteral("background-color: greenyellow;")), 10000);

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

        m_window->form()->PhoneNumber->setText(QStringLiteral("kept"));
        trigger(*b, QStringLiteral("Call to 1002"));
        QVERIFY(bruno.waitForEvent(QStringLiteral("^EVENT call .*state=IncomingReceived")).hasMatch());
        QCOMPARE(m_window->form()->PhoneNumber->text(), QStringLiteral("kept"));
        QCOMPARE(menu(*b, false).first(), QStringLiteral("Hangup"));
        trigger(*b, QStringLiteral("Hangup"));
        QVERIFY(bruno.waitForEvent(QStringLiteral("^EVENT call .*state=(End|Released)")).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(m_window->getAccounts().front()->getCalls().empty(), 10000);
    }

    // Without a registered extension the menu has nothing to offer, and the subscriptions end.
    void unregisteredMenu()
    {
        CompanyDevice *b = tile(QStringLiteral("1002"));
        QVERIFY(b);
        m_window->unregister_selected_account();
        QCOMPARE(menu(*b, false), QStringList {QStringLiteral("** No options ** (disabled)")});
        QCOMPARE(b->getBuddyId(), -1);
        QVERIFY(b->getLabel()->styleSheet().contains(QStringLiteral("background-color: gray;")));
    }
};

QTEST_MAIN(TestDirectoryEndToEnd)
#include "tst_directory_e2e.moc"
