// The contact details tab and the call label header against the cloud simulator: a caller from a
// scripted peer, through the registrar, to a registered panel extension is looked up and shown;
// the search by name and the client's issue list from the simulator's issue tracker.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "cloud/contactreply.h"
#include "cloud/redmine.h"
#include "panel/panelfixture.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"

namespace {
QString cell(QTableWidget *table, int row, int column)
{
    const auto *label = qobject_cast<QLabel *>(table->cellWidget(row, column));
    return label ? label->text() : QString();
}

QRegularExpression path(const QString &pattern)
{
    return QRegularExpression(pattern);
}
} // namespace

class TestContactsEndToEnd final : public QObject
{
    Q_OBJECT

    PanelFixture m_panel;
    testbed::CloudSim &m_cloud = m_panel.cloud;
    Settings *m_settings = nullptr;

    Account &desk() { return m_panel.desk(); }

    Ui::Orvalo *ui() { return m_panel.ui(); }

    // A call from 1002 (a contact of the cloud simulator's data) to the panel's extension, left
    // ringing.
    Call *ring(testbed::SipPeer &peer, const QStringList &extra = {})
    {
        if (!testbed::startRegistered(peer, m_panel.proxy, QStringLiteral("1002"), extra))
            return nullptr;
        return m_panel.ringFrom(peer);
    }

    void hangUp(testbed::SipPeer &peer)
    {
        peer.command(QStringLiteral("hangup"));
        QTRY_VERIFY_WITH_TIMEOUT(desk().getActiveCall() == nullptr, 5000);
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_panel.open());
        QVERIFY(m_panel.startCloud());
        m_settings = m_panel.settings.get();
        m_settings->setSetting(Settings::ContactLookup, QStringLiteral("KesCloud Contact"));
        m_settings->setSetting(Settings::EnableContactDetailsTab, Setting::Yes);
        m_settings->setSetting(Settings::CallLabelTopLeftText, Setting::ContactName);
        m_settings->setSetting(Settings::IssuesApiUrl, m_cloud.hostPort() + QStringLiteral("/redmine"));
        m_settings->setSetting(Settings::IssuesApiToken, QStringLiteral("rm-operator-key"));
        QVERIFY(m_panel.show());
    }

    void cleanupTestCase() { m_panel.close(); }

    // Ringing: the caller's contact fills the details tab and becomes current, the client's
    // issues are listed newest first with the tracker's key, and the label shows the contact name.
    void ringingCallerIsLookedUp()
    {
        testbed::SipPeer bob;
        Call *call = ring(bob);
        QVERIFY(call);
        QVERIFY(m_cloud.waitForRequest(path(QStringLiteral("get_contact_by_phonenumber/1002$"))).valid());

        QTRY_COMPARE_WITH_TIMEOUT(ui()->line_contactname->text(), QStringLiteral("Peter Parker"), 5000);
        QCOMPARE(ui()->line_formofaddress->text(), QStringLiteral("Mr"));
        QCOMPARE(ui()->line_contact_phonenumber2->text(), QStringLiteral("+4930555111"));
        QCOMPARE(ui()->line_clientname->text(), QStringLiteral("Daily Bugle"));
        QCOMPARE(ui()->label_contactdetails_emailaddress->text(), QStringLiteral("peter@example.com"));
        QCOMPARE(ui()->label_clientdetails_altname->text(), QStringLiteral("DB Media"));
        QCOMPARE(ui()->tab_directories->currentWidget(), ui()->tab_contactdetails);
        QTRY_COMPARE_WITH_TIMEOUT(call->getTopHeader(), QStringLiteral("Peter Parker"), 5000);
        QVERIFY(call->getLabel()->text().contains(QStringLiteral("Peter Parker")));

        const auto issues = m_cloud.waitForRequest(path(QStringLiteral("^/redmine/issues.json")));
        QVERIFY(issues.valid());
        QCOMPARE(issues.method, QStringLiteral("GET"));
        QCOMPARE(issues.path, QStringLiteral("/redmine/issues.json?project_id=7&sort=updated_on"));
        QCOMPARE(issues.header("X-Redmine-API-Key"), QByteArray("rm-operator-key"));
        QCOMPARE(issues.status, 200);
        QTableWidget *table = ui()->table_client_issues;
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 3, 5000);
        QCOMPARE(cell(table, 0, 0), QStringLiteral("104"));
        QCOMPARE(cell(table, 1, 0), QStringLiteral("102"));
        QCOMPARE(cell(table, 2, 0), QStringLiteral("101"));
        QCOMPARE(cell(table, 0, 3), QStringLiteral("Übersetzung der Rechnung – €-Beträge"));
        QCOMPARE(cell(table, 0, 2), QStringLiteral("In Progress"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Updated on"));
        hangUp(bob);
    }

    // Looking up on answer, with the tenant's greeting of the called party id as the header.
    void answeredCallerAndGreeting()
    {
        m_settings->setSetting(Settings::LookupCallOnAnswer, Setting::Yes);
        m_settings->setSetting(Settings::CallLabelTopLeftText, Setting::ShortGreeting);
        const int contactRequests = int(m_cloud.requests().size());
        testbed::SipPeer bob;
        Call *call = ring(
            bob, {QStringLiteral("--header"), QStringLiteral("P-Called-Party-ID: <sip:2001@127.0.0.1>")});
        QVERIFY(call);
        QTRY_COMPARE_WITH_TIMEOUT(call->getTopHeader(), QStringLiteral("Orvalo reception"), 5000);
        const QList<testbed::CloudSim::Request> sent = m_cloud.requests().mid(contactRequests);
        QCOMPARE(sent.size(), 1); // the tenant, no contact yet
        QVERIFY(sent.first().path.endsWith(QStringLiteral("get_tenant_by_partyid/2001")));

        ui()->line_contactname->clear();
        QTest::mouseClick(ui()->AnswerButton, Qt::LeftButton);
        QVERIFY(m_cloud.waitForRequest(path(QStringLiteral("get_contact_by_phonenumber/1002$"))).valid());
        QTRY_COMPARE_WITH_TIMEOUT(ui()->line_contactname->text(), QStringLiteral("Peter Parker"), 5000);
        hangUp(bob);
        m_settings->setSetting(Settings::LookupCallOnAnswer, Setting::No);
        m_settings->setSetting(Settings::CallLabelTopLeftText, Setting::ContactName);
    }

    // Search by name, view a result, dial the shown contact's number with the outbound prefix.
    void searchViewAndDial()
    {
        ui()->line_search_name->setText(QStringLiteral("müller"));
        QTest::keyClick(ui()->line_search_name, Qt::Key_Return);
        const auto search = m_cloud.waitForRequest(path(QStringLiteral("get_contacts_by_name$")));
        QVERIFY(search.valid());
        QTableWidget *results = ui()->table_contact_search_results;
        QTRY_COMPARE_WITH_TIMEOUT(results->rowCount(), 1, 5000);
        QVERIFY(ui()->button_contact_search->isEnabled());
        QCOMPARE(cell(results, 0, 0), QStringLiteral("Jürgen Müller"));
        QCOMPARE(cell(results, 0, 1), QStringLiteral("1004"));
        QCOMPARE(cell(results, 0, 2), QStringLiteral("Müller & Söhne"));
        QCOMPARE(results->horizontalHeaderItem(0)->text(), QStringLiteral("Contact Name"));
        auto *view = results->cellWidget(0, 3)->findChild<QPushButton *>(QStringLiteral("view"));
        auto *dial = results->cellWidget(0, 3)->findChild<QPushButton *>(QStringLiteral("dial"));
        QVERIFY(view && dial && dial->isEnabled());

        QTest::mouseClick(view, Qt::LeftButton);
        QVERIFY(m_cloud.waitForRequest(path(QStringLiteral("get_contact_by_phonenumber/1004$"))).valid());
        QTRY_COMPARE_WITH_TIMEOUT(ui()->line_contactname->text(), QStringLiteral("Jürgen Müller"), 5000);
        QCOMPARE(ui()->line_contact_phonenumber2->text(), QString()); // null in the reply
        QCOMPARE(ui()->table_client_issues->rowCount(), 0); // the client has no project

        m_settings->setSetting(Settings::OutboundDialPrefix, QStringLiteral("9"));
        QTest::mouseClick(ui()->button_dial_contact_main, Qt::LeftButton);
        QCOMPARE(ui()->PhoneNumber->text(), QStringLiteral("91004"));
        QVERIFY(desk().getActiveCall() != nullptr);
        QCOMPARE(desk().getActiveCall()->getCallDirection(), CallDirection::Outgoing);
        QTRY_VERIFY_WITH_TIMEOUT(desk().getActiveCall() == nullptr, 10000); // nobody is 91004
        m_settings->setSetting(Settings::OutboundDialPrefix, QString());

        QTest::mouseClick(ui()->button_clearcontactsearch, Qt::LeftButton);
        QCOMPARE(results->rowCount(), 0);
        QVERIFY(ui()->line_search_name->text().isEmpty());
    }

    // A wrong key and an unreachable tracker leave the issue table empty.
    void trackerFailures()
    {
        ContactDetails peter;
        peter.valid = true;
        peter.contactName = QStringLiteral("Peter Parker");
        peter.issueProject = QStringLiteral("7");

        m_panel.window->redmine().setToken(QStringLiteral("wrong-key"));
        const qsizetype before = m_cloud.requests().size();
        m_panel.window->populate_contact_details({peter});
        QTRY_VERIFY_WITH_TIMEOUT(m_cloud.requests().size() > before, 5000);
        const testbed::CloudSim::Request refused = m_cloud.requests().at(before);
        QVERIFY(refused.path.contains(QStringLiteral("issues.json")));
        QCOMPARE(refused.status, 401);
        QCOMPARE(refused.header("X-Redmine-API-Key"), QByteArray("wrong-key"));
        QTest::qWait(300);
        QCOMPARE(ui()->table_client_issues->rowCount(), 0);

        // Port 1 on loopback: nobody listens.
        m_panel.window->redmine().setUrl(QStringLiteral("127.0.0.1:1"));
        m_panel.window->populate_contact_details({peter});
        QTest::qWait(500);
        QCOMPARE(ui()->table_client_issues->rowCount(), 0);
        QCOMPARE(ui()->line_contactname->text(), QStringLiteral("Peter Parker"));

        m_panel.window->redmine().setUrl(m_cloud.hostPort());
        m_panel.window->redmine().setToken(QStringLiteral("rm-operator-key"));
    }
};

QTEST_MAIN(TestContactsEndToEnd)
#include "tst_contacts_e2e.moc"
