#include "fixture.h"

#include <algorithm>

#include <QCollator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>

#include "cloud/contract.h"

namespace {

namespace Dir = Contract::Directory;
namespace Dev = Contract::Device;

constexpr int GeneratedDepartments = 20;
const QString InternalMode = QStringLiteral("0");
const QString TenantMode = QStringLiteral("1");

QString text(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toString();
}

QString fullName(const QJsonObject &entry)
{
    return QString(text(entry, Dir::FirstName) + QLatin1Char(' ') + text(entry, Dir::SecondName)).trimmed();
}

bool flag(const QJsonObject &body, QLatin1String key)
{
    return body.value(key).toBool(true);
}

// Numbers are compared without spaces, dashes and brackets: "+49 30 1234-567" is "+49301234567".
QString dialable(const QString &number)
{
    QString out;
    for (const QChar c : number) {
        if (c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('*') || c == QLatin1Char('#'))
            out += c;
    }
    return out;
}

void pointAt(QJsonObject &object, const QString &hostPort, const QString &port)
{
    object.insert(Dev::ServerIpAddress, hostPort);
    const QJsonValue old = object.value(Dev::Port);
    object.insert(Dev::Port, old.isDouble() ? QJsonValue(port.toInt()) : QJsonValue(port));
}

} // namespace

DirectoryChoice DirectoryChoice::fromBody(const QJsonObject &body)
{
    namespace Req = Contract::Request;
    DirectoryChoice choice;
    choice.internal = flag(body, Req::InternalDirectory);
    choice.external = flag(body, Req::ExternalDirectory);
    choice.separate = flag(body, Req::SeparateCorporateDirectory);
    choice.userPhones = flag(body, Req::IncludeUserPhones);
    choice.sortBy = body.value(Req::SortBy).toString();
    return choice;
}

QString DirectoryChoice::key() const
{
    return QStringLiteral("%1%2%3%4:")
               .arg(int(internal))
               .arg(int(external))
               .arg(int(separate))
               .arg(int(userPhones))
        + sortBy;
}

bool Fixture::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QLatin1String(": ") + file.errorString();
        return false;
    }
    QJsonParseError parse {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!document.isObject()) {
        *error = path + QLatin1String(": not a JSON object: ") + parse.errorString();
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonObject company = root.value(QLatin1String("company")).toObject();
    m_companyName = company.value(QLatin1String("name")).toString();
    m_companyCode = company.value(QLatin1String("code")).toString();

    m_users.clear();
    for (const QJsonValue &value : root.value(QLatin1String("users")).toArray()) {
        const QJsonObject u = value.toObject();
        FixtureUser user {u.value(QLatin1String("user")).toString(),
            u.value(QLatin1String("fullname")).toString(), u.value(QLatin1String("password")).toString(),
            u.value(QLatin1String("token")).toString(), {}};
        for (const QJsonValue &ref : u.value(QLatin1String("devices")).toArray())
            user.deviceRefs << ref.toString();
        m_users << user;
    }

    m_devices.clear();
    for (const QJsonValue &value : root.value(Contract::Login::Devices).toArray()) {
        const QJsonObject device = value.toObject();
        m_devices.insert(text(device, Dev::DeviceRef), device);
    }
    for (const FixtureUser &user : std::as_const(m_users)) {
        for (const QString &ref : user.deviceRefs) {
            if (!m_devices.contains(ref)) {
                *error = QStringLiteral("%1: user %2 names the unknown device %3").arg(path, user.user, ref);
                return false;
            }
        }
    }

    // Directory entries take what they lack from "directory_defaults".
    const QJsonObject defaults = root.value(QLatin1String("directory_defaults")).toObject();
    m_directory = QJsonArray();
    for (const QJsonValue &value : root.value(Contract::Login::CompanyDevices).toArray()) {
        QJsonObject entry = value.toObject();
        for (auto it = defaults.begin(); it != defaults.end(); ++it) {
            if (!entry.contains(it.key()))
                entry.insert(it.key(), it.value());
        }
        m_directory.append(entry);
    }
    m_contacts = root.value(QLatin1String("contacts")).toArray();
    m_tenants = root.value(QLatin1String("tenants")).toObject();
    const QJsonObject redmine = root.value(QLatin1String("redmine")).toObject();
    m_redmineKey = redmine.value(QLatin1String("key")).toString();
    m_redmineProjects = redmine.value(QLatin1String("projects")).toObject();
    m_faxProgress.clear();
    const QJsonObject fax = root.value(QLatin1String("fax")).toObject();
    m_faxFailure = fax.value(QLatin1String("failure")).toString(QStringLiteral("Failed"));
    for (const QJsonValue &status : fax.value(QLatin1String("progress")).toArray())
        m_faxProgress << status.toString();
    if (m_faxProgress.isEmpty())
        m_faxProgress << QStringLiteral("Queued");
    m_directoryCache.clear();
    return true;
}

void Fixture::setSipServer(const QString &hostPort)
{
    const QString port = hostPort.section(QLatin1Char(':'), -1);
    for (QJsonObject &device : m_devices)
        pointAt(device, hostPort, port);
    for (qsizetype i = 0; i < m_directory.size(); ++i) {
        QJsonObject entry = m_directory.at(i).toObject();
        pointAt(entry, hostPort, port);
        m_directory.replace(i, entry);
    }
    m_directoryCache.clear();
}

void Fixture::generateDirectory(int count)
{
    // The registrar of the first fixture entry (already rewritten by setSipServer when given).
    const QJsonObject model = m_directory.isEmpty() ? QJsonObject() : m_directory.first().toObject();
    m_directory = QJsonArray();
    for (int i = 0; i < count; ++i) {
        const int department = i % GeneratedDepartments;
        const QString extension = QString::number(100000 + i);
        const QString second = QStringLiteral("%1").arg(count - i, 6, 10, QLatin1Char('0'));
        QJsonObject entry {
            {Dir::PhoneUserRef, QString(QLatin1String("gen-") + extension)},
            {Dir::FirstName, QStringLiteral("User")},
            {Dir::SecondName, second},
            {Dev::ExtensionNumber, extension},
            {Dev::UserName, extension},
            {Dev::Secret, QString(QLatin1String("pw") + extension)},
            {Dir::UserPhone, QString()},
            {Dir::DialOutAsUserId, 0},
            {Dir::DialOutAsUserPwd, 0},
            {Dir::TenantMode, department < GeneratedDepartments / 2 ? InternalMode : TenantMode},
            {Dir::DirectoryIndex, QString::number(5000 + department)},
            {Dir::TabHeading, QStringLiteral("Department %1").arg(department + 1, 2, 10, QLatin1Char('0'))},
            {Dir::Greeting, QStringLiteral("Department %1").arg(department + 1)},
        };
        for (const QLatin1String key :
            {Dev::ServerIpAddress, Dev::Port, Dev::Transport, Dev::Allow, Dev::CallerId})
            entry.insert(key, model.value(key));
        m_directory.append(entry);
    }
    m_directoryCache.clear();
}

QJsonArray Fixture::devicesOf(const FixtureUser &user) const
{
    QJsonArray devices;
    for (const QString &ref : user.deviceRefs)
        devices.append(m_devices.value(ref));
    return devices;
}

QJsonArray Fixture::directory(const DirectoryChoice &choice) const
{
    QList<QJsonObject> entries;
    entries.reserve(m_directory.size());
    for (const QJsonValue &value : m_directory) {
        QJsonObject entry = value.toObject();
        const bool tenant = text(entry, Dir::TenantMode) == TenantMode;
        if ((tenant && !choice.external) || (!tenant && !choice.internal))
            continue;
        if (!choice.userPhones && text(entry, Dev::ExtensionNumber).isEmpty())
            continue;
        if (!tenant && !choice.separate) {
            entry.insert(Dir::TabHeading, m_companyName);
            entry.insert(Dir::Greeting, m_companyName);
        }
        entries.append(entry);
    }
    QCollator collator;
    collator.setNumericMode(true);
    const auto byExtension = [&collator](const QJsonObject &a, const QJsonObject &b) {
        return collator.compare(text(a, Dev::ExtensionNumber), text(b, Dev::ExtensionNumber));
    };
    const auto byName = [&collator](const QJsonObject &a, const QJsonObject &b) {
        return collator.compare(fullName(a), fullName(b));
    };
    if (choice.sortBy == QLatin1String("username")) {
        std::stable_sort(entries.begin(), entries.end(), [&](const QJsonObject &a, const QJsonObject &b) {
            const int name = byName(a, b);
            return name != 0 ? name < 0 : byExtension(a, b) < 0;
        });
    } else if (choice.sortBy == QLatin1String("extension")) {
        std::stable_sort(entries.begin(), entries.end(), [&](const QJsonObject &a, const QJsonObject &b) {
            const int extension = byExtension(a, b);
            return extension != 0 ? extension < 0 : byName(a, b) < 0;
        });
    }
    QJsonArray out;
    for (const QJsonObject &entry : std::as_const(entries))
        out.append(entry);
    return out;
}

QByteArray Fixture::directoryJson(const DirectoryChoice &choice) const
{
    const QString key = choice.key();
    auto cached = m_directoryCache.constFind(key);
    if (cached == m_directoryCache.constEnd())
        cached
            = m_directoryCache.insert(key, QJsonDocument(directory(choice)).toJson(QJsonDocument::Compact));
    return *cached;
}

QJsonArray Fixture::contactsByNumber(const QString &number) const
{
    QJsonArray found;
    const QString wanted = dialable(number);
    if (wanted.isEmpty())
        return found;
    for (const QJsonValue &result : m_contacts) {
        const QJsonObject contact = result.toObject().value(QLatin1String("Kvcontact")).toObject();
        if (dialable(contact.value(QLatin1String("phonenumber")).toString()) == wanted
            || dialable(contact.value(QLatin1String("phonenumber2")).toString()) == wanted)
            found.append(result);
    }
    return found;
}

QJsonArray Fixture::contactsByName(const QString &text) const
{
    QJsonArray found;
    if (text.trimmed().isEmpty())
        return found;
    for (const QJsonValue &result : m_contacts) {
        const QJsonObject contact = result.toObject().value(QLatin1String("Kvcontact")).toObject();
        if (contact.value(QLatin1String("contactname"))
                .toString()
                .contains(text.trimmed(), Qt::CaseInsensitive))
            found.append(result);
    }
    return found;
}

QJsonObject Fixture::tenant(const QString &partyId) const
{
    return m_tenants.value(partyId).toObject();
}

std::optional<QJsonArray> Fixture::issuesOf(const QString &projectId) const
{
    if (!m_redmineProjects.contains(projectId))
        return std::nullopt;
    QList<QJsonValue> issues;
    for (const QJsonValue &issue : m_redmineProjects.value(projectId).toArray())
        issues.append(issue);
    // Tracker times in one format sort as text.
    std::stable_sort(issues.begin(), issues.end(), [](const QJsonValue &a, const QJsonValue &b) {
        const QLatin1String updated = Contract::Redmine::UpdatedOn;
        return a.toObject().value(updated).toString() > b.toObject().value(updated).toString();
    });
    QJsonArray sorted;
    for (const QJsonValue &issue : issues)
        sorted.append(issue);
    return sorted;
}
