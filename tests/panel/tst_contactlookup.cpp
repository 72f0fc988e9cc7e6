// What is looked up for a call, and when, under each combination of the options.
#include <QTest>

#include "cloud/contract.h"
#include "core/settings.h"
#include "panel/contactlookup.h"
#include "testdatabase.h"

namespace {
orvalo_call_info call(const QString &remote, const QString &called)
{
    orvalo_call_info info;
    info.remote_info = remote;
    info.called_party_id = called;
    return info;
}
} // namespace

class TestContactLookup final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    Settings *m_settings = nullptr;

private slots:

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->open());
        m_settings = &m_db->settings;
    }

    void plans_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("directory");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("called");
        QTest::addColumn<QString>("contactRequest");
        QTest::addColumn<QString>("party");
        QTest::addColumn<QString>("headerRequest");

        const QString byNumber = Contract::ContactByPhoneNumberPrefix;
        const QString tenant = Contract::TenantByPartyIdPrefix;
        const QString caller = QStringLiteral("\"Bob\" <sip:1002@host>");
        const QString partyUri = QStringLiteral("<sip:2001@host>");
        QTest::newRow("defaults: nothing") << "" << false << "" << caller << partyUri << ""
                                           << ""
                                           << "";
        QTest::newRow("cloud contact and directory")
            << "KesCloud Contact" << true << "" << caller << partyUri << byNumber + "1002"
            << "2001"
            << "";
        QTest::newRow("other source: directory tab only") << "LDAP" << true << "" << caller << partyUri << ""
                                                          << "2001"
                                                          << "";
        QTest::newRow("no caller number: no contact request") << "KesCloud Contact" << false << "contactname"
                                                              << "\"X\" <sip:host>" << partyUri << ""
                                                              << ""
                                                              << "";
        QTest::newRow("header by contact name") << "" << false << "contactname" << caller << partyUri << ""
                                                << "" << byNumber + "1002";
        QTest::newRow("header by greeting") << "" << false << "shortgreeting" << caller << partyUri << ""
                                            << "" << tenant + "2001";
        QTest::newRow("greeting without party id: no request")
            << "" << true << "shortgreeting" << caller << "<sip:sales@host>"
            << ""
            << ""
            << "";
    }

    void plans()
    {
        QFETCH(QString, source);
        QFETCH(bool, directory);
        QFETCH(QString, header);
        QFETCH(QString, remote);
        QFETCH(QString, called);
        QFETCH(QString, contactRequest);
        QFETCH(QString, party);
        QFETCH(QString, headerRequest);
        m_settings->setSetting(Settings::ContactLookup, source);
        m_settings->setSetting(Settings::IncomingCallDirectoryLookup, directory ? Setting::Yes : Setting::No);
        m_settings->setSetting(Settings::CallLabelTopLeftText, header);

        const ContactLookup lookup(*m_settings);
        const orvalo_call_info info = call(remote, called);
        QCOMPARE(lookup.contactPlan(info).request, contactRequest);
        QCOMPARE(lookup.contactPlan(info).partyId, party);
        QCOMPARE(lookup.queriesHeader(), !header.isEmpty());
        QCOMPARE(lookup.headerPlan(info).request, headerRequest);
        QCOMPARE(
            lookup.headerPlan(info).source == ContactLookup::HeaderSource::None, headerRequest.isEmpty());
    }

    void moment()
    {
        using M = ContactLookup::Moment;
        const ContactLookup lookup(*m_settings);
        QVERIFY(lookup.looksUpAt(M::Offered) && !lookup.looksUpAt(M::Answered));
        m_settings->setSetting(Settings::LookupCallOnAnswer, Setting::Yes);
        QVERIFY(!lookup.looksUpAt(M::Offered) && lookup.looksUpAt(M::Answered));
    }

    void details()
    {
        ContactDetails shown;
        shown.valid = true;
        shown.contactName = QStringLiteral("Zoë");
        ContactDetails invalid;
        const ContactLookup lookup(*m_settings);

        // Empty replies and a first result that is no contact clear the tab and leave it alone.
        for (const QList<ContactDetails> &results : {QList<ContactDetails> {}, {invalid, shown}}) {
            const auto update = lookup.detailsFor(results);
            QVERIFY(update.shown.contactName.isEmpty() && !update.showTab && !update.issueProject);
        }
        auto update = lookup.detailsFor({shown, invalid});
        QCOMPARE(update.shown.contactName, QStringLiteral("Zoë"));
        QVERIFY(!update.showTab && !update.issueProject);

        m_settings->setSetting(Settings::EnableContactDetailsTab, Setting::Yes);
        shown.issueProject = QStringLiteral("7");
        update = lookup.detailsFor({shown});
        QVERIFY(update.showTab);
        QCOMPARE(update.issueProject, std::optional<int>(7));
        shown.issueProject = QStringLiteral("seven");
        QCOMPARE(lookup.detailsFor({shown}).issueProject, std::optional<int>(0));

        m_settings->setSetting(Settings::OutboundDialPrefix, QStringLiteral("9"));
        QCOMPARE(lookup.dialString(QStringLiteral("0301234")), QStringLiteral("90301234"));
    }
};

QTEST_GUILESS_MAIN(TestContactLookup)
#include "tst_contactlookup.moc"
