#include "cloud/extensionwriter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"

namespace {

const QString InsertAccount = QStringLiteral(
    "INSERT INTO accounts (accountname, extension, domain, user, password,  callerid, sipserveraddress, "
    "proxyserveraddress,  stunserveraddress, sipport, registrationtime,  siptransport, rtptransport, "
    "audiocodecs,  activeaccount, defaultaccount, companydevice, fromapi,  voicemail) VALUES (:accountname, "
    ":extension, :domain, :user, :password,  :callerid, :sipserveraddress, :proxyserveraddress,  "
    ":stunserveraddress, :sipport, :registrationtime,  :siptransport, :rtptransport, :audiocodecs,  "
    ":activeaccount, :defaultaccount, 0, 1,  :voicemail)");

const QString UpdateAccount = QStringLiteral(
    "UPDATE accounts SET accountname = :accountname, domain = :domain, user = :user, password = :password, "
    "callerid = :callerid, sipserveraddress = :sipserveraddress, proxyserveraddress = :proxyserveraddress, "
    "stunserveraddress = :stunserveraddress, sipport = :sipport, registrationtime = :registrationtime, "
    "siptransport = :siptransport, rtptransport = :rtptransport, audiocodecs = :audiocodecs, activeaccount "
    "= :activeaccount, defaultaccount = :defaultaccount, companydevice = 0, voicemail = :voicemail WHERE "
    "accountid = :accountid");

// The answers to "Extension configurations found".
constexpr Prompt::Button Override = Prompt::Choice1;
constexpr Prompt::Button Merge = Prompt::Choice2;

void bindRecord(QSqlQuery &query, const Extension &e)
{
    const auto bind = [&query](const char *name, const QVariant &value) {
        query.bindValue(QLatin1Char(':') + QLatin1String(name), value);
    };
    bind("accountname", e.accountname);
    bind("domain", e.domain);
    bind("user", e.user);
    bind("password", e.password);
    bind("callerid", e.callerid);
    bind("sipserveraddress", e.sipserveraddress);
    bind("proxyserveraddress", e.proxyserveraddress);
    bind("stunserveraddress", e.stunserveraddress);
    bind("sipport", e.sipport);
    bind("registrationtime", e.registrationtime);
    bind("siptransport", e.siptransport);
    bind("rtptransport", e.rtptransport);
    bind("audiocodecs", e.audiocodecs);
    bind("activeaccount", e.status == QLatin1String("active") ? 1 : 0);
    bind("defaultaccount", 0);
    bind("voicemail", e.voicemail);
}

} // namespace

ExtensionWriter::ExtensionWriter(dbmgr &db, QObject *parent)
    : QObject(parent)
    , m_db(db)
{ }

ExtensionWriter::~ExtensionWriter() = default;

bool ExtensionWriter::write(const std::vector<Extension> &devices)
{
    QSqlDatabase db = m_db.account_database();
    if (!db.transaction()) {
        LOG(QStringLiteral("Provisioning not started: ") + db.lastError().text());
        return false;
    }
    m_pending.clear();
    for (const Extension &device : devices) {
        if (!load_extensions({device})) {
            m_pending.clear();
            if (!db.rollback())
                LOG(QStringLiteral("Provisioning not rolled back: ") + db.lastError().text());
            return false;
        }
    }
    if (!db.commit()) {
        LOG(QStringLiteral("Provisioning not committed: ") + db.lastError().text());
        m_pending.clear();
        db.rollback();
        return false;
    }
    const std::vector<std::function<void()>> pending = std::move(m_pending);
    m_pending.clear();
    for (const auto &emitSignal : pending)
        emitSignal();
    return true;
}

bool ExtensionWriter::load_extensions(const std::vector<Extension> &records)
{
    QSqlQuery existing = m_db.account_query();
    if (!existing.exec(QStringLiteral("SELECT ROWID FROM accounts"))) {
        LOG(existing.lastError().text());
        return false;
    }
    if (existing.next()) {
        Prompt::Question question;
        question.icon = Prompt::Icon::Question;
        question.title = QStringLiteral("Login");
        question.text = QStringLiteral("Extension configurations found");
        question.buttons = Override | Merge | Prompt::Cancel;
        question.choices = {QStringLiteral("Override"), QStringLiteral("Merge")};
        question.defaultButton = Prompt::Cancel;
        const Prompt::Button answer = Prompt::current().ask(question);
        if (answer != Override && answer != Merge)
            return true; // nothing written for this device
        if (answer == Override) {
            QSqlQuery clear = m_db.account_query();
            if (!clear.exec(QStringLiteral("DELETE FROM accounts"))) {
                LOG(clear.lastError().text());
                return false;
            }
            m_pending.emplace_back([this] { emit clear_extensions(); });
        }
    }
    existing.finish();

    QList<int> inserted;
    for (const Extension &record : records) {
        if (!writeRecord(record, inserted))
            return false;
    }
    if (!inserted.isEmpty())
        m_pending.emplace_back([this, inserted] { emit load_new_extensions(inserted); });
    return true;
}

bool ExtensionWriter::writeRecord(const Extension &record, QList<int> &inserted)
{
    QSqlQuery find = m_db.account_query();
    find.prepare(QStringLiteral("SELECT accountid FROM accounts WHERE extension = :extension"));
    find.bindValue(QStringLiteral(":extension"), record.extension);
    if (!find.exec()) {
        LOG(find.lastError().text());
        return false;
    }
    QSqlQuery write = m_db.account_query();
    int accountId = -1;
    if (find.next()) {
        accountId = find.value(0).toInt();
        find.finish();
        const bool replace = Prompt::current().ask({Prompt::Icon::Question, QStringLiteral("Update"),
                                 QStringLiteral("Preexisting account for ") + record.accountname
                                     + QLatin1Char(' ') + record.extension + QStringLiteral(", override?"),
                                 Prompt::Yes | Prompt::No, Prompt::No})
            == Prompt::Yes;
        if (!replace)
            return true;
        write.prepare(UpdateAccount);
        write.bindValue(QStringLiteral(":accountid"), accountId);
    } else {
        find.finish();
        write.prepare(InsertAccount);
        write.bindValue(QStringLiteral(":extension"), record.extension);
    }
    bindRecord(write, record);
    if (!write.exec()) {
        LOG(QStringLiteral("Account ") + record.extension + QStringLiteral(" not written: ")
            + write.lastError().text());
        return false;
    }
    if (accountId >= 0)
        m_pending.emplace_back([this, accountId] { emit reload_extension(accountId); });
    else
        inserted.append(write.lastInsertId().toInt());
    return true;
}
