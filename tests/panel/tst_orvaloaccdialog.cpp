// The extension list and the account editor: what a save writes, what it refuses, and the
// signals the main window follows.
#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>

#include "core/prompt.h"
#include "settingsui/extensionmanager.h"
#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"
#include "testdatabase.h"

class TestOrvaloaccdialog final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void newAccountStoresItsRow();
    void editingExistingRowEmitsOnlyUpdate();
    void invalidInputIsRefused_data();
    void invalidInputIsRefused();
    void duplicateExtensionOnTheSameServer_data();
    void duplicateExtensionOnTheSameServer();
    void cancelDropsANewRow();
    void codecBoxesEditTheList();
    void openingCodecListSetsTheBoxes();
    void unavailableCodecsAreShownDisabled();
    void deleteAsksFirst();
    void managerForwardsTheSignals();
    void managerBuildsTheEditorWhenFirstNeeded();

private:
    QLineEdit *edit(const char *column) const;
    void fillValid();
    QSqlRecord account(int id) const;
    int existingRow(int accountId) const;

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<Orvaloaccdialog> m_editor;
    Prompt::Button m_answer = Prompt::Yes;
};

void TestOrvaloaccdialog::initTestCase()
{
    m_prompt = std::make_unique<ScriptedPrompt>(
        [this](const Prompt::Question &q) { return (q.buttons & Prompt::Yes) ? m_answer : Prompt::Ok; });
    Prompt::install(m_prompt.get());
    m_db = std::make_unique<TestDatabase>();
    QVERIFY(m_db->open());
}

void TestOrvaloaccdialog::init()
{
    QSqlQuery q = m_db->db.account_query();
    q.exec(QStringLiteral("DELETE FROM accounts"));
    m_db->addAccount(QStringLiteral("Reception"), QStringLiteral("200"), QStringLiteral("pbx.example.com"),
        QStringLiteral("alaw,opus"), QStringLiteral("SIP INFO"));
    m_editor = std::make_unique<Orvaloaccdialog>(m_db->db);
    m_answer = Prompt::Yes;
}

void TestOrvaloaccdialog::cleanup()
{
    m_editor.reset();
}

QLineEdit *TestOrvaloaccdialog::edit(const char *column) const
{
    return qobject_cast<QLineEdit *>(m_editor->fieldWidget(QLatin1String(column)));
}

void TestOrvaloaccdialog::fillValid()
{
    edit("accountname")->setText(QStringLiteral("Sales"));
    edit("domain")->setText(QStringLiteral("pbx.example.com"));
    edit("user")->setText(QStringLiteral("201"));
    edit("password")->setText(QStringLiteral("s3cret\"'"));
    edit("extension")->setText(QStringLiteral("201"));
    edit("sipserveraddress")->setText(QStringLiteral("pbx.example.com"));
}

QSqlRecord TestOrvaloaccdialog::account(int id) const
{
    QSqlQuery q = m_db->db.account_query();
    q.prepare(QStringLiteral("SELECT * FROM accounts WHERE accountid = :id"));
    q.bindValue(QStringLiteral(":id"), id);
    if (!q.exec() || !q.next())
        return {};
    return q.record();
}

int TestOrvaloaccdialog::existingRow(int accountId) const
{
    // The editor's model lists rows in accountid order.
    QSqlQuery q = m_db->db.account_query();
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM accounts WHERE accountid < :id"));
    q.bindValue(QStringLiteral(":id"), accountId);
    q.exec();
    q.next();
    return q.value(0).toInt();
}

void TestOrvaloaccdialog::newAccountStoresItsRow()
{
    QSignalSpy updated(m_editor.get(), &Orvaloaccdialog::accountUpdate);
    QSignalSpy added(m_editor.get(), &Orvaloaccdialog::newAccount);
    m_editor->newaccount();
    QVERIFY(m_editor->isNew());
    QCOMPARE(edit("sipport")->text(), QStringLiteral("5060"));
    fillValid();
    QVERIFY(m_editor->save());

    QCOMPARE(updated.size(), 1);
    QCOMPARE(added.size(), 1);
    const int id = updated.first().first().toInt();
    QCOMPARE(added.first().first().toInt(), id);
    const QSqlRecord row = account(id);
    QCOMPARE(row.value("accountname").toString(), QStringLiteral("Sales"));
    QCOMPARE(row.value("extension").toString(), QStringLiteral("201"));
    QCOMPARE(row.value("password").toString(), QStringLiteral("s3cret\"'"));
    QCOMPARE(row.value("audiocodecs").toString(), QStringLiteral(",ulaw"));
    QCOMPARE(row.value("sipport").toString(), QStringLiteral("5060"));
    QCOMPARE(row.value("registrationtime").toInt(), 3600);
    QCOMPARE(row.value("dtmftype").toString(), QStringLiteral("RFC2833"));
    QCOMPARE(row.value("useipv6").toInt(), 0);
    QCOMPARE(row.value("companydevice").toString(), QStringLiteral("0")); // one of the operator's extensions
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 2);
    QCOMPARE(m_prompt->asked().last().text, QStringLiteral("Data saved"));
}

void TestOrvaloaccdialog::editingExistingRowEmitsOnlyUpdate()
{
    QSqlQuery q = m_db->db.account_query();
    q.exec(QStringLiteral("SELECT accountid FROM accounts"));
    q.next();
    const int id = q.value(0).toInt();

    QSignalSpy updated(m_editor.get(), &Orvaloaccdialog::accountUpdate);
    QSignalSpy added(m_editor.get(), &Orvaloaccdialog::newAccount);
    m_editor->openSlot(existingRow(id));
    QVERIFY(!m_editor->isNew());
    QCOMPARE(edit("extension")->text(), QStringLiteral("200"));
    auto *dtmf = qobject_cast<QComboBox *>(m_editor->fieldWidget(QStringLiteral("dtmftype")));
    QCOMPARE(dtmf->currentText(), QStringLiteral("SIP INFO"));
    edit("callerid")->setText(QStringLiteral("Front Desk"));
    dtmf->setCurrentText(QStringLiteral("In-band"));
    qobject_cast<QCheckBox *>(m_editor->fieldWidget(QStringLiteral("useipv6")))->setChecked(true);
    m_editor->accept();

    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated.first().first().toInt(), id);
    QCOMPARE(added.size(), 0);
    const QSqlRecord row = account(id);
    QCOMPARE(row.value("callerid").toString(), QStringLiteral("Front Desk"));
    QCOMPARE(row.value("dtmftype").toString(), QStringLiteral("In-band"));
    QCOMPARE(row.value("useipv6").toInt(), 1);
    QCOMPARE(row.value("audiocodecs").toString(), QStringLiteral("alaw,opus"));
    QCOMPARE(row.value("companydevice").toString(), QStringLiteral("0")); // left empty by an older release
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);
}

void TestOrvaloaccdialog::invalidInputIsRefused_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    // clang-format off
    QTest::newRow("empty user") << "user" << QString() << "must not be blank";
    QTest::newRow("blank user") << "user" << "   " << "must not be blank";
    QTest::newRow("blank domain") << "domain" << " " << "must not be blank";
    QTest::newRow("empty server") << "sipserveraddress" << QString() << "must not be blank";
    QTest::newRow("port 0") << "sipport" << "0" << "1 to 65535";
    QTest::newRow("port 65536") << "sipport" << "65536" << "1 to 65535";
    QTest::newRow("port not a number") << "sipport" << "50x60" << "1 to 65535";
    QTest::newRow("registration time 0") << "registrationtime" << "0" << "positive number";
    QTest::newRow("registration time text") << "registrationtime" << "an hour" << "positive number";
    QTest::newRow("quote in the name") << "accountname" << "Sales \"east\"" << "quotes";
    QTest::newRow("apostrophe in the user") << "user" << "o'neil" << "quotes";
    QTest::newRow("Cyrillic user") << "user" << "пётр" << "Latin letters";
    QTest::newRow("Greek caller id") << "callerid" << "Γραφείο" << "Latin letters";
    QTest::newRow("space in the extension") << "extension" << "20 1" << "no spaces";
    QTest::newRow("bad host") << "domain" << "pbx..example" << "host name";
    QTest::newRow("proxy port out of range") << "proxyserveraddress" << "proxy.example.com:70000" << "1 to 65535";
    QTest::newRow("codec this build lacks") << "audiocodecs" << "ulaw,ilbc" << "Not available in this build: iLBC";
    QTest::newRow("SILK and AMR") << "audiocodecs" << "silk,amr" << "SILK, AMR";
    QTest::newRow("unknown codec") << "audiocodecs" << "ulaw,mp3" << "Unknown codec: mp3";
    // clang-format on
}

void TestOrvaloaccdialog::invalidInputIsRefused()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, message);

    // An existing row: a refused save must leave it untouched.
    QSqlQuery q = m_db->db.account_query();
    q.exec(QStringLiteral("SELECT accountid FROM accounts"));
    q.next();
    const int id = q.value(0).toInt();
    const QSqlRecord before = account(id);
    QSignalSpy updated(m_editor.get(), &Orvaloaccdialog::accountUpdate);

    m_editor->openSlot(existingRow(id));
    edit("accountname")->setText(QStringLiteral("Renamed"));
    QLineEdit *field = edit(column.toLatin1().constData());
    QVERIFY(field);
    field->setText(text);
    m_editor->accept();

    QVERIFY2(m_editor->fieldError(column).contains(message, Qt::CaseInsensitive),
        qPrintable(m_editor->fieldError(column)));
    QCOMPARE(field->property("invalid").toBool(), true);
    QVERIFY(field->toolTip().contains(message, Qt::CaseInsensitive));
    QCOMPARE(updated.size(), 0);
    QCOMPARE(account(id), before);
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);

    // The same field on a new row: nothing is inserted.
    m_editor->newaccount();
    fillValid();
    field->setText(text);
    QVERIFY(!m_editor->save());
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);
    QCOMPARE(updated.size(), 0);
}

void TestOrvaloaccdialog::duplicateExtensionOnTheSameServer_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("refused");
    QTest::newRow("same server") << "pbx.example.com" << true;
    QTest::newRow("same server, other case") << "PBX.Example.com" << true;
    QTest::newRow("other server") << "pbx2.example.com" << false;
}

void TestOrvaloaccdialog::duplicateExtensionOnTheSameServer()
{
    QFETCH(QString, server);
    QFETCH(bool, refused);
    m_editor->newaccount();
    fillValid();
    edit("extension")->setText(QStringLiteral("200"));
    edit("sipserveraddress")->setText(server);
    QCOMPARE(!m_editor->save(), refused);
    QCOMPARE(m_editor->fieldError(QStringLiteral("extension")).contains(QStringLiteral("already exists")),
        refused);
    QCOMPARE(m_db->count(QStringLiteral("accounts")), refused ? 1 : 2);
}

void TestOrvaloaccdialog::cancelDropsANewRow()
{
    QSignalSpy updated(m_editor.get(), &Orvaloaccdialog::accountUpdate);
    m_editor->newaccount();
    fillValid();
    m_editor->reject();
    QCOMPARE(updated.size(), 0);
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);
    // The next save of an existing row does not carry the dropped one along.
    m_editor->openSlot(0);
    QVERIFY(m_editor->save());
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);
}

void TestOrvaloaccdialog::codecBoxesEditTheList()
{
    m_editor->newaccount();
    QLineEdit *list = edit("audiocodecs");
    QCOMPARE(list->text(), QStringLiteral(",ulaw"));
    auto *ulaw = m_editor->findChild<QCheckBox *>(QStringLiteral("codec_g711ulaw"));
    auto *alaw = m_editor->findChild<QCheckBox *>(QStringLiteral("codec_g711alaw"));
    auto *opus = m_editor->findChild<QCheckBox *>(QStringLiteral("codec_opus"));
    auto *opusSettings = m_editor->findChild<QGroupBox *>(QStringLiteral("opusSettingsGroup"));
    QVERIFY(ulaw->isChecked());

    // A box edits the list as CodecList::setEnabled does (order, repeats: tst_codeclist).
    alaw->setChecked(true);
    QCOMPARE(list->text(), QStringLiteral(",ulaw,alaw"));
    ulaw->setChecked(false);
    QCOMPARE(list->text(), QStringLiteral(",alaw"));
    opus->setChecked(true);
    QVERIFY(opusSettings->isEnabled());
    QCOMPARE(list->text(), QStringLiteral(",alaw,opus"));
    opus->setChecked(false);
    QVERIFY(!opusSettings->isEnabled());
}

void TestOrvaloaccdialog::openingCodecListSetsTheBoxes()
{
    m_editor->openSlot(0);
    QVERIFY(m_editor->findChild<QCheckBox *>(QStringLiteral("codec_g711alaw"))->isChecked());
    QVERIFY(m_editor->findChild<QCheckBox *>(QStringLiteral("codec_opus"))->isChecked());
    QVERIFY(!m_editor->findChild<QCheckBox *>(QStringLiteral("codec_g711ulaw"))->isChecked());
    QVERIFY(m_editor->findChild<QGroupBox *>(QStringLiteral("opusSettingsGroup"))->isEnabled());
    QCOMPARE(edit("audiocodecs")->text(), QStringLiteral("alaw,opus"));
}

void TestOrvaloaccdialog::unavailableCodecsAreShownDisabled()
{
    auto *ilbc = m_editor->findChild<QCheckBox *>(QStringLiteral("codec_ilbc"));
    QVERIFY(!ilbc->isEnabled());
    QVERIFY(ilbc->text().contains(QStringLiteral("unavailable")));
    QVERIFY(m_editor->findChild<QCheckBox *>(QStringLiteral("codec_g722hd"))->isEnabled());
}

void TestOrvaloaccdialog::deleteAsksFirst()
{
    Orvaloacc list(m_db->db, *m_editor);
    list.open();
    QSignalSpy removed(&list, &Orvaloacc::removeExtension);
    QTableView *view = list.view();
    QCOMPARE(view->model()->rowCount(), 1);
    QVERIFY(view->isColumnHidden(5)); // the password
    QCOMPARE(view->model()->headerData(8, Qt::Horizontal).toString(), QStringLiteral("Sip server"));

    // Nothing selected: nothing asked, nothing deleted.
    const qsizetype asked = m_prompt->asked().size();
    list.delete_selected_extension();
    QCOMPARE(m_prompt->asked().size(), asked);

    view->selectRow(0);
    const int id = view->model()->index(0, 0).data().toInt();
    m_answer = Prompt::No;
    list.delete_selected_extension();
    QCOMPARE(m_prompt->asked().last().title, QStringLiteral("Delete extension"));
    QCOMPARE(m_prompt->asked().last().defaultButton, Prompt::No);
    QCOMPARE(removed.size(), 0);
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 1);

    m_answer = Prompt::Yes;
    list.delete_selected_extension();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first().first().toInt(), id);
    QCOMPARE(m_db->count(QStringLiteral("accounts")), 0);
    QCOMPARE(view->model()->rowCount(), 0);
}

void TestOrvaloaccdialog::managerForwardsTheSignals()
{
    ExtensionManager manager(m_db->db);
    QSignalSpy updated(&manager, &ExtensionWindows::accountUpdate);

    manager.openExtensionList();
    QPointer<Orvaloacc> first = manager.list();
    manager.openExtensionList();
    QVERIFY(first.isNull()); // replaced, not stacked
    QVERIFY(manager.list()->isVisible());

    QSqlQuery q = m_db->db.account_query();
    q.exec(QStringLiteral("SELECT accountid FROM accounts"));
    q.next();
    const int id = q.value(0).toInt();
    QVERIFY(!manager.editExtension(id + 100));
    QVERIFY(manager.editExtension(id));
    auto *extension = qobject_cast<QLineEdit *>(manager.editor().fieldWidget(QStringLiteral("extension")));
    QCOMPARE(extension->text(), QStringLiteral("200"));
    QVERIFY(manager.editor().save());
    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated.first().first().toInt(), id);
    // A new extension and a deleted one reach the main window through the manager:
    // tst_orvalo_e2e's extensionFromTheEditorRegistersAndLeavesWithItsCalls.
}

// The editor is not built with the manager (it is not needed to start): a row added meanwhile, and
// announced with reload() while there is no editor yet, is there when the editor is first opened,
// and the editor built then forwards its signals like one built with the manager.
void TestOrvaloaccdialog::managerBuildsTheEditorWhenFirstNeeded()
{
    ExtensionManager manager(m_db->db);
    QSignalSpy updated(&manager, &ExtensionWindows::accountUpdate);
    const int id = m_db->addAccount(QStringLiteral("Sales"), QStringLiteral("300"),
        QStringLiteral("pbx.example.com"), QStringLiteral("alaw"), QStringLiteral("SIP INFO"));
    manager.reload();

    QVERIFY(manager.editExtension(id));
    auto *extension = qobject_cast<QLineEdit *>(manager.editor().fieldWidget(QStringLiteral("extension")));
    QCOMPARE(extension->text(), QStringLiteral("300"));
    QVERIFY(manager.editor().save());
    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated.first().first().toInt(), id);
}

QTEST_MAIN(TestOrvaloaccdialog)
#include "tst_orvaloaccdialog.moc"
