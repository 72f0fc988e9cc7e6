#include "cloud/directorywriter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "core/dbmgr.h"
#include "core/log.h"

namespace {

// Empty text is stored as NULL: the merge of two entries of one person looks for the column that
// is still missing with "IS NULL".
QVariant column(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

bool run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    LOG(query.lastQuery() + QStringLiteral(": ") + query.lastError().text());
    return false;
}

// Many small statements in one transaction: a thousand entries are written at once instead of a
// thousand times to disk. A failing statement does not undo the others.
class Batch
{
public:
    explicit Batch(QSqlDatabase db)
        : m_db(std::move(db))
        , m_open(m_db.transaction())
    { }

    ~Batch()
    {
        if (m_open && !m_db.commit())
            LOG(QStringLiteral("Directory not committed: ") + m_db.lastError().text());
    }

    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    QSqlDatabase m_db;
    bool m_open;
};

} // namespace

DirectoryWriter::DirectoryWriter(dbmgr &db)
    : m_db(db)
{ }

std::vector<Extension> DirectoryWriter::storeDepartments(
    const std::vector<DirectoryEntry> &entries, const Step &step)
{
    Batch batch(m_db.account_database());
    QSqlQuery clear = m_db.account_query();
    clear.prepare(QStringLiteral("DELETE FROM department"));
    run(clear);
    std::vector<Extension> records;
    records.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (step)
            step(int(i));
        const DirectoryEntry &entry = entries[i];
        records.push_back(entry.extension);
        records.back().departmentid
            = add_department(entry.tenantmode, entry.partyid, entry.name, entry.greeting);
    }
    return records;
}

int DirectoryWriter::findDepartment(const QString &name, const QString &tenantmode)
{
    QSqlQuery query = m_db.account_query();
    query.prepare(
        QStringLiteral("SELECT id FROM department WHERE name = :name AND tenantmode = :tenantmode"));
    query.bindValue(QStringLiteral(":name"), name);
    query.bindValue(QStringLiteral(":tenantmode"), tenantmode);
    if (run(query) && query.next())
        return query.value(0).toInt();
    return -1;
}

int DirectoryWriter::add_department(
    const QString &tenantmode, const QString &partyid, const QString &name, const QString &greeting)
{
    // Name and tenant mode are compared as stored: empty text, not NULL, so that entries without a
    // heading still share one department.
    const QString key = name.isNull() ? QStringLiteral("") : name;
    const QString mode = tenantmode.isNull() ? QStringLiteral("") : tenantmode;
    const int found = findDepartment(key, mode);
    if (found != -1)
        return found;
    QSqlQuery insert = m_db.account_query();
    insert.prepare(QStringLiteral("INSERT INTO department (partyid, name, greeting, tenantmode) VALUES "
                                  "(:partyid, :name, :greeting, :tenantmode)"));
    insert.bindValue(QStringLiteral(":partyid"), partyid);
    insert.bindValue(QStringLiteral(":name"), key);
    insert.bindValue(QStringLiteral(":greeting"), greeting);
    insert.bindValue(QStringLiteral(":tenantmode"), mode);
    run(insert);
    return findDepartment(key, mode);
}

void DirectoryWriter::writeRows(const std::vector<Extension> &records, const Step &step)
{
    Batch batch(m_db.account_database());
    QSqlQuery clear = m_db.account_query();
    clear.prepare(QStringLiteral("DELETE FROM accounts WHERE companydevice = 1"));
    run(clear);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (step)
            step(int(i));
        writeRow(records[i]);
    }
}

void DirectoryWriter::writeRow(const Extension &record)
{
    // A row of the same person that lacks what this record brings.
    QStringList missing;
    if (!record.extension.isEmpty())
        missing << QStringLiteral("extension IS NULL");
    if (!record.phonenumber.isEmpty())
        missing << QStringLiteral("phonenumber IS NULL");
    const QString condition = missing.join(QStringLiteral(" OR "));

    QSqlQuery write = m_db.account_query();
    bool update = false;
    if (!condition.isEmpty()) {
        QSqlQuery find = m_db.account_query();
        find.prepare(
            QStringLiteral("SELECT accountid, extension, phonenumber FROM accounts WHERE departmentid = "
                           ":departmentid AND fullname = :fullname AND (")
            + condition + QStringLiteral(") AND companydevice = 1"));
        find.bindValue(QStringLiteral(":departmentid"), record.departmentid);
        find.bindValue(QStringLiteral(":fullname"), column(record.fullname));
        if (run(find) && find.next()) {
            const bool hasExtension = !find.value(1).isNull();
            const bool hasPhone = !find.value(2).isNull();
            QString statement = QStringLiteral("UPDATE accounts SET ");
            bool assigned = false;
            if (!hasExtension && !record.extension.isEmpty()) {
                statement += QStringLiteral("extension = :extension ");
                assigned = true;
            }
            if (!hasPhone) {
                if (assigned)
                    statement += QStringLiteral(", ");
                statement += QStringLiteral("phonenumber = :phonenumber ");
                assigned = true;
            }
            statement
                += QStringLiteral("WHERE accountid = :accountid") + QStringLiteral(" AND companydevice = 1");
            if (assigned) {
                LOG(QStringLiteral("Updating ") + record.fullname);
                write.prepare(statement);
                write.bindValue(QStringLiteral(":accountid"), find.value(0));
                update = true;
            }
        }
    }
    if (!update) {
        LOG(QStringLiteral("Adding ") + record.fullname);
        write.prepare(QStringLiteral(
            "INSERT INTO accounts (accountname, extension, domain, user, password,  callerid, "
            "sipserveraddress, "
            "proxyserveraddress,  stunserveraddress, sipport, registrationtime,  siptransport, rtptransport, "
            "audiocodecs,  activeaccount, defaultaccount, companydevice,  fromapi, departmentid, fullname, "
            "phonenumber,  accessid, accesspin) VALUES (:accountname, :extension, :domain, :user, :password, "
            " "
            ":callerid, :sipserveraddress, :proxyserveraddress,  :stunserveraddress, :sipport, "
            ":registrationtime,  :siptransport, :rtptransport, :audiocodecs,  :activeaccount, "
            ":defaultaccount, "
            "1, 1, :departmentid,  :fullname, :phonenumber,  :accessid, :accesspin)"));
    }

    // Every named parameter the statement has gets the record's field of that name.
    const struct
    {
        const char *name;
        QVariant value;
    } fields[] = {
        {"accountname", column(record.accountname)},
        {"extension", column(record.extension)},
        {"domain", column(record.domain)},
        {"user", column(record.user)},
        {"password", column(record.password)},
        {"callerid", column(record.callerid)},
        {"sipserveraddress", column(record.sipserveraddress)},
        {"proxyserveraddress", column(record.proxyserveraddress)},
        {"stunserveraddress", column(record.stunserveraddress)},
        {"sipport", column(record.sipport)},
        {"registrationtime", column(record.registrationtime)},
        {"siptransport", column(record.siptransport)},
        {"rtptransport", column(record.rtptransport)},
        {"audiocodecs", column(record.audiocodecs)},
        {"activeaccount", 0},
        {"defaultaccount", 0},
        {"departmentid", record.departmentid},
        {"fullname", column(record.fullname)},
        {"phonenumber", column(record.phonenumber)},
        {"accessid", column(record.accessid)},
        {"accesspin", column(record.accesspin)},
    };

    const QString text = write.lastQuery();
    for (const auto &field : fields) {
        const QString placeholder = QLatin1Char(':') + QLatin1String(field.name);
        // Whole names only: ":extension" is not a match inside ":extensionx".
        const qsizetype at = text.indexOf(placeholder);
        if (at < 0)
            continue;
        const qsizetype end = at + placeholder.size();
        if (end < text.size() && (text.at(end).isLetterOrNumber() || text.at(end) == QLatin1Char('_')))
            continue;
        write.bindValue(placeholder, field.value);
    }
    run(write);
}
