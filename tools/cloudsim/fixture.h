#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// What the login and directory requests ask for (their body flags). A flag that is missing counts
// as true; only an explicit false narrows the directory.
struct DirectoryChoice
{
    bool internal = true; // departments of the company (tenant mode "0")
    bool external = true; // tenants (tenant mode "1")
    bool separate = true; // false: the company's departments share one tab named after it
    bool userPhones = true; // false: no phone-only entries (those without an extension)
    QString sortBy; // "username", "extension" or anything else (fixture order)

    static DirectoryChoice fromBody(const QJsonObject &body);
    QString key() const;
};

// One user of the fixture with the credentials the service accepts for them.
struct FixtureUser
{
    QString user, fullName, password, token;
    QStringList deviceRefs;
};

// The service's data, read once from a JSON fixture file (see README.md): the company, its users
// and their devices, the directory, contacts, tenants and fax progress texts. Replies are built
// from it with the member names the client reads.
class Fixture final
{
public:
    bool load(const QString &path, QString *error);

    // Points every device and directory entry at another registrar: "serveripaddress" becomes
    // hostPort and "port" its port (a number stays a number).
    void setSipServer(const QString &hostPort);
    // Replaces the directory by count generated entries spread over 20 departments.
    void generateDirectory(int count);

    QString companyName() const { return m_companyName; }

    QString companyCode() const { return m_companyCode; }

    const QList<FixtureUser> &users() const { return m_users; }

    // The user's device objects, in the order the user lists them.
    QJsonArray devicesOf(const FixtureUser &user) const;
    // The "company_devices" array for the choice, serialised (cached: large directories are
    // asked for again and again).
    QByteArray directoryJson(const DirectoryChoice &choice) const;
    QJsonArray directory(const DirectoryChoice &choice) const;

    // Contact results whose main or secondary number equals number (digits and "+" compared).
    QJsonArray contactsByNumber(const QString &number) const;
    // Contact results whose contact name contains text, case-insensitively; none for "".
    QJsonArray contactsByName(const QString &text) const;
    // The tenant object of a party id; an empty object when unknown.
    QJsonObject tenant(const QString &partyId) const;

    QStringList faxProgress() const { return m_faxProgress; }

    // The last status of a fax to a destination that fails ("fax" {"failure"}).
    QString faxFailure() const { return m_faxFailure; }

    // The issue tracker: its API key and the issues of one project (null when the project is
    // unknown), newest update first.
    QString redmineKey() const { return m_redmineKey; }

    void setRedmineKey(const QString &key) { m_redmineKey = key; }

    std::optional<QJsonArray> issuesOf(const QString &projectId) const;

private:
    QString m_companyName, m_companyCode;
    QList<FixtureUser> m_users;
    QHash<QString, QJsonObject> m_devices; // by "deviceref"
    QJsonArray m_directory;
    QJsonArray m_contacts;
    QJsonObject m_tenants;
    QStringList m_faxProgress;
    QString m_faxFailure;
    QString m_redmineKey;
    QJsonObject m_redmineProjects;
    mutable QHash<QString, QByteArray> m_directoryCache;
};
