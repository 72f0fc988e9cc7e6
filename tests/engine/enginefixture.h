#pragma once

// An engine on 127.0.0.1 with its files in a temporary folder, for the engine's tests.

#include <memory>

#include <QFile>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "support/testbed.h"

struct EngineFixture
{
    explicit EngineFixture(const QStringList &settingsLines = {})
    {
        QFile file(dir.filePath(QStringLiteral("settings")));
        if (file.open(QIODevice::WriteOnly))
            file.write((settingsLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        file.close();
        // The log echoes every line to the debug output: keep the test output readable.
        if (!qEnvironmentVariableIsSet("ORVALO_TEST_VERBOSE"))
            QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        settings = std::make_unique<Settings>(dir.path());
        Log::set_output_file(dir.filePath(QStringLiteral("log")));
        engine = std::make_unique<SipDialer>(*settings);
        engine->setBindAddress(QStringLiteral("127.0.0.1"));
        engine->setSipPort(testbed::freePort());
    }

    // Starts the engine with the file sound card as microphone, speaker and ringer: what it
    // plays ends up in played().
    bool startWithFileCard(const QString &microphoneWav = QString())
    {
        engine->setFileSoundCard(microphoneWav, played());
        if (!engine->init())
            return false;
        const int card = engine->fileSoundCardIndex();
        if (card < 0)
            return false;
        engine->set_sound_devices(card, card);
        engine->set_ringer_device(card);
        return true;
    }

    QString played() const { return dir.filePath(QStringLiteral("played.wav")); }

    QString log() const
    {
        QFile file(dir.filePath(QStringLiteral("log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QString hostPort() const { return QStringLiteral("127.0.0.1:") + QString::number(engine->sipPort()); }

    static QString scenario(const char *name)
    {
        return QStringLiteral(ORVALO_SOURCE_DIR "/tests/engine/sipp/") + QLatin1String(name);
    }

    static sip_call_msg request(int account, const QString &number, const QString &domain)
    {
        sip_call_msg msg;
        msg.acc_id = account;
        msg.number = number;
        msg.domain = domain;
        return msg;
    }

    // Registers user (no password) at the registrar and waits for the outcome: the account id, or
    // -1 unless the registrar answered 200.
    int registerAt(const testbed::Kamailio &registrar, const QString &user = QStringLiteral("1001"))
    {
        QSignalSpy registrations(engine.get(), &SipDialer::onRegistrationChanged);
        const int id = engine->registerAccount(account(user, registrar.hostPort(), {}));
        return id >= 0 && registrations.wait(10000)
                && registrations.first().first().value<orvalo_acc_msg>().status == 200
            ? id
            : -1;
    }

    // Calls number at domain with PCMU and waits until the call is confirmed: its id, or -1.
    int callConfirmed(int account, const QString &number, const QString &domain)
    {
        QSignalSpy states(engine.get(), &SipDialer::onCallstateChanged);
        const int id = engine->makeCall(request(account, number, domain), {QStringLiteral("PCMU/8000/1")});
        return id >= 0 && waitConfirmed(states, id) ? id : -1;
    }

    // Waits until the states seen hold the confirmed state (5) of call id (any call when -1).
    static bool waitConfirmed(QSignalSpy &states, int id = -1, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
            [&] {
                for (const QList<QVariant> &signal : std::as_const(states)) {
                    const auto info = signal.first().value<orvalo_call_info>();
                    if ((id < 0 || info.call_id == id) && info.state == 5)
                        return true;
                }
                return false;
            },
            timeoutMs);
    }

    // Waits for the n-th incoming call the spy (on onIncomingCall) sees: it as a request, with call
    // id -1 when it did not come.
    static sip_call_msg incomingCall(QSignalSpy &incoming, int n = 1)
    {
        const bool came = QTest::qWaitFor([&] { return incoming.count() >= n; }, 5000);
        return call(came ? incoming.at(n - 1).first().value<orvalo_call_info>().call_id : -1);
    }

    static sip_call_msg call(int id)
    {
        sip_call_msg msg;
        msg.call_id = id;
        return msg;
    }

    // SIPp options for `calls` calls to user.
    static QStringList sippCalls(const QString &user = QStringLiteral("1001"), int calls = 1)
    {
        return {QStringLiteral("-s"), user, QStringLiteral("-m"), QString::number(calls)};
    }

    static sip_acc_msg account(const QString &user, const QString &domain, const QString &password)
    {
        sip_acc_msg msg;
        msg.domain = domain;
        msg.username = user;
        msg.password = password;
        msg.id_uri = QStringLiteral("<sip:") + user + QLatin1Char('@') + domain + QLatin1Char('>');
        msg.reg_uri = QStringLiteral("sip:") + domain;
        return msg;
    }

    QTemporaryDir dir;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<SipDialer> engine;
};

// An engine registered as 1001 at its own Kamailio, where peers register as 1002, 1003...
struct RegisteredEngine
{
    // With the file sound card (and the microphone file, when given), or with no sound card.
    bool start(const QString &microphone = QString(), bool fileCard = true)
    {
        return kamailio.start(false) && (fileCard ? f.startWithFileCard(microphone) : f.engine->init())
            && (account = f.registerAt(kamailio)) >= 0;
    }

    bool startPeer(testbed::SipPeer &peer, const QString &user, const QStringList &options = {})
    {
        return testbed::startRegistered(peer, kamailio, user, options);
    }

    // Calls the user and waits until the call is confirmed; the call id or -1.
    int call(const QString &user) { return f.callConfirmed(account, user, kamailio.hostPort()); }

    sip_call_msg to(const QString &number) const
    {
        return EngineFixture::request(account, number, kamailio.hostPort());
    }

    testbed::Kamailio kamailio;
    EngineFixture f;
    int account = -1;
};
