#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

// One row of the issue table, as shown.
struct IssueRow
{
    QString id; // the issue number in full; 0 when missing
    QString updatedOn; // "yyyy-MM-dd HH:mm:ss", empty when "updated_on" is not a tracker time
    QString status; // the status name, empty without a status object
    QString subject;
};

// A tracker's issue list reply, in reply order (the request asks for the order of update time).
// Nothing when the body is not JSON (*error then holds the parser's message); an object without
// an "issues" array gives no rows.
std::optional<QList<IssueRow>> readIssueList(const QByteArray &body, QString *error);
