#pragma once

// The panel's end-to-end fixture: a registrar on 127.0.0.1:5060 (the panel's engine finds the port
// taken and falls back to another), settings and a database in a temporary directory, a scripted
// prompt, and the real main window with its desk extension 1001 registered at the registrar.
// A suite opens it in two steps, so that it can set the options and rows the window reads when it
// starts:
//
//     QVERIFY(m_panel.open());
//     m_panel.settings->setSetting(Settings::EnableRTCP, Setting::Yes);
//     QVERIFY(m_panel.show([this](Orvalo &window) { window.setCallWindows(m_calls.get()); }));
#include <functional>
#include <memory>

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "core/asset.h"
#include "core/dbmgr.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/orvalo.h"
#include "support/cloudsim.h"
#include "support/testbed.h"

struct PanelFixture
{
    QTemporaryDir dir;
    testbed::Kamailio proxy;
    testbed::CloudSim cloud; // runs only after startCloud()
    std::unique_ptr<Settings> settings;
    std::unique_ptr<dbmgr> db;
    std::unique_ptr<Asset> asset;
    std::unique_ptr<ScriptedPrompt> prompt;
    std::unique_ptr<Orvalo> window;

    PanelFixture() = default;
    PanelFixture(const PanelFixture &) = delete;
    PanelFixture &operator=(const PanelFixture &) = delete;

    ~PanelFixture() { close(); }

    // Starts the registrar, opens the settings (at their defaults) and the database, and adds one
    // operator extension per user, the first being the default.
    bool open(const QStringList &users = {QStringLiteral("1001")})
    {
        if (!dir.isValid())
            return false;
        if (!proxy.start(false, 5060)) {
            qWarning().noquote() << proxy.log();
            return false;
        }
        settings = std::make_unique<Settings>(dir.path());
        db = std::make_unique<dbmgr>(*settings);
        if (!db->open())
            return false;
        settings->loadDefaultSettings();
        for (const QString &user : users) {
            if (!addExtension(user, user == users.first()))
                return false;
        }
        asset = std::make_unique<Asset>(dir.path());
        answerWith({});
        return true;
    }

    bool addExtension(const QString &user, bool isDefault)
    {
        QSqlQuery q;
        q.prepare(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password, sipserveraddress, "
            "sipport, registrationtime, audiocodecs, dtmftype, activeaccount, defaultaccount, "
            "companydevice) VALUES (:name, :user, '127.0.0.1', :user, '', '127.0.0.1', '5060', 300, "
            "'ulaw,alaw', 'RFC2833', 1, :default, 0)"));
        q.bindValue(QStringLiteral(":name"), QString(QStringLiteral("Desk ") + user));
        q.bindValue(QStringLiteral(":user"), user);
        q.bindValue(QStringLiteral(":default"), isDefault ? 1 : 0);
        return q.exec();
    }

    // Questions are answered by `answer` from here on (their default button when empty).
    void answerWith(std::function<Prompt::Button(const Prompt::Question &)> answer)
    {
        prompt = std::make_unique<ScriptedPrompt>(std::move(answer));
        Prompt::install(prompt.get());
    }

    // The cloud simulator, provisioning the registrar; the panel talks to it, with the operator's
    // token unless `token` is empty (nobody logged in).
    bool startCloud(const QString &token = QStringLiteral("tok-operator"))
    {
        if (!cloud.start({QStringLiteral("--sip-server"), proxy.hostPort()})) {
            qWarning().noquote() << cloud.log();
            return false;
        }
        settings->setSetting(Settings::BriskoCloudApiUrl, cloud.baseUrl());
        if (!token.isEmpty())
            settings->setSetting(Settings::AuthenticationToken, token);
        return true;
    }

    // The panel's microphone plays a tone (the whole run long) and what it hears goes to a file.
    bool useFileCard(double hz, int sampleRate = 8000)
    {
        const QString tone = path(QStringLiteral("panel-%1.wav").arg(hz));
        if (!testbed::writeToneWav(tone, hz, 60000, sampleRate))
            return false;
        qputenv("ORVALO_FILECARD_IN", tone.toUtf8());
        qputenv("ORVALO_FILECARD_OUT", path(QStringLiteral("panel-heard.wav")).toUtf8());
        return true;
    }

    // Creates the window, lets `attach` hand it the suite's windows, shows it and waits until
    // every extension is registered.
    bool show(const std::function<void(Orvalo &)> &attach = {})
    {
        window = std::make_unique<Orvalo>(*db, *settings, *asset);
        if (!window->startedOk())
            return false;
        if (attach)
            attach(*window);
        window->callconnects();
        window->show();
        return QTest::qWaitFor(
            [this] {
                for (const auto &account : window->getAccounts()) {
                    if (!account->isRegistered())
                        return false;
                }
                return true;
            },
            10000);
    }

    // Ends the window before the windows a suite attached to it; the prompt goes with it.
    void close()
    {
        window.reset();
        Prompt::install(nullptr);
    }

    Account &desk() const { return *window->getAccounts().front(); }

    Ui::Orvalo *ui() const { return window->form(); }

    QString path(const QString &name) const { return dir.filePath(name); }

    int count(const QString &table) const
    {
        QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM ") + table);
        return q.next() ? q.value(0).toInt() : -1;
    }

    // The peer calls the desk extension; the call it makes there, left ringing (null when none
    // came).
    Call *ringFrom(testbed::SipPeer &peer)
    {
        peer.command(QStringLiteral("call ") + proxy.uri(QStringLiteral("1001")));
        if (!QTest::qWaitFor([this] { return desk().getActiveCall() != nullptr; }, 10000))
            return nullptr;
        return desk().getActiveCall();
    }

    // As ringFrom, then answered with the window's button once the peer hears it ring; null unless
    // the call is up on both sides.
    Call *answeredCallFrom(testbed::SipPeer &peer)
    {
        Call *call = ringFrom(peer);
        if (!call || !peer.waitForEvent(QStringLiteral("^EVENT call .*state=OutgoingRinging")).hasMatch())
            return nullptr;
        QTest::mouseClick(window->findChild<QWidget *>(QStringLiteral("AnswerButton")), Qt::LeftButton);
        if (!peer.waitForEvent(QStringLiteral("^EVENT call .*state=StreamsRunning")).hasMatch())
            return nullptr;
        return QTest::qWaitFor([call] { return call->getCallAnswered(); }, 5000) ? call : nullptr;
    }
};
