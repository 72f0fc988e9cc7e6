#pragma once

#include <memory>

#include <QString>

#include "cloud/kesapi.h"

class QNetworkAccessManager;
class QNetworkCookieJar;
class Settings;

// The issue tracker address for a project: "https://" + url + "/issues.json?project_id=" + id +
// "&sort=updated_on". No scheme is taken off url.
QString issueListAddress(const QString &url, int projectId);

// The small client of the issue tracker (a Redmine server): GET requests of a project's issue
// list with the fixed user agent headers and the API key header, one cookie jar of its own, TLS
// certificate errors ignored. The key is never written to the log.
class Redmine final
{
public:
    // Takes the address from "IssuesApiUrl" and the key from "IssuesApiToken".
    explicit Redmine(Settings &settings);
    // Requests still in flight are dropped without calling their handlers.
    ~Redmine();
    Redmine(const Redmine &) = delete;
    Redmine &operator=(const Redmine &) = delete;

    // Host and optional path of the tracker, without scheme; stored as given.
    void setUrl(const QString &url);
    void setToken(const QString &token);

    const QString &url() const { return m_url; }

    // The handler is called once with the finished reply, also for network and HTTP errors.
    void getIssues(int projectid, ReplyHandler handler);

private:
    std::unique_ptr<QNetworkCookieJar> m_cookieJar;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QString m_url;
    QString m_token;
};
