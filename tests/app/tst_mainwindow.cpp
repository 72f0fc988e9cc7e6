#include <QApplication>
#include <QCloseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/appactivationfilter.h"
#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "panel/orvalo.h"
#include "widgets/orphanguard.h"

class TestMainWindow final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<dbmgr> m_db;
    std::unique_ptr<Asset> m_asset;
    QList<Prompt::Button> m_answers;
    std::unique_ptr<ScriptedPrompt> m_prompt;

private slots:

    void initTestCase()
    {
        m_settings = std::make_unique<Settings>(m_dir.path());
        m_db = std::make_unique<dbmgr>(*m_settings);
        QVERIFY(m_db->open());
        m_asset = std::make_unique<Asset>(m_dir.path());
        m_prompt = std::make_unique<ScriptedPrompt>([this](const Prompt::Question &q) {
            return m_answers.isEmpty() ? q.defaultButton : m_answers.takeFirst();
        });
        Prompt::install(m_prompt.get());
    }

    void cleanupTestCase() { Prompt::install(nullptr); }

    void closeHidesToTray()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        QSignalSpy quit(&window, &Orvalo::quit);
        QCOMPARE(window.windowTitle(), QStringLiteral("Orvalo Lite"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(quit.count(), 0);
    }

    void exitAsksFirst()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        window.resize(500, 600);
        window.show();
        QSignalSpy quit(&window, &Orvalo::quit);
        const qsizetype asked = m_prompt->asked().size();

        m_answers = {Prompt::No};
        window.on_actionExit_2_triggered();
        QCOMPARE(quit.count(), 0);
        QCOMPARE(m_prompt->asked().size(), asked + 1);
        QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Exit"));
        QCOMPARE(m_prompt->asked().last().text, QStringLiteral("Are you sure?"));
        QCOMPARE(m_prompt->asked().last().defaultButton, Prompt::No);
        QVERIFY(window.isVisible());

        // Yes, then Yes to keeping the new size.
        m_answers = {Prompt::Yes, Prompt::Yes};
        window.on_actionExit_2_triggered();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Save new settings?"));
        QCOMPARE(m_settings->getSetting(Settings::MainWindowWidth), QString::number(window.width()));
        QCOMPARE(m_settings->getSetting(Settings::MainWindowHeight), QString::number(window.height()));

        // Size unchanged since it was stored: one question only, and closing really closes now.
        const qsizetype before = m_prompt->asked().size();
        m_answers = {Prompt::Yes};
        window.on_actionExit_2_triggered();
        QCOMPARE(m_prompt->asked().size(), before + 1);
        QCOMPARE(quit.count(), 2);
        window.close();
        QVERIFY(!window.isVisible());
    }

    void activationShowsHiddenWindow()
    {
        Orvalo window(*m_db, *m_settings, *m_asset);
        auto *filter = new AppActivationFilter(&window);
        qApp->installEventFilter(filter);
        QEvent activate(QEvent::ApplicationActivate);
        QVERIFY(!window.isVisible());
        QCoreApplication::sendEvent(qApp, &activate);
        QVERIFY(window.isVisible());
        QCoreApplication::sendEvent(qApp, &activate); // visible: nothing changes
        QVERIFY(window.isVisible());
        qApp->removeEventFilter(filter);
    }

    void orphanGuardIsOneHiddenWidget()
    {
        QWidget *guard = orphanGuard();
        QCOMPARE(orphanGuard(), guard);
        QVERIFY(!guard->isVisible());
        QVERIFY(guard->parentWidget() == nullptr);
    }

    void assetJoinsWithOneSlash()
    {
        QCOMPARE(Asset(QStringLiteral("/x")).get_file(QStringLiteral("Audio/input.8.wav")),
            QStringLiteral("/x/Audio/input.8.wav"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
