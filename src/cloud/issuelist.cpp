#include "cloud/issuelist.h"

#include <cmath>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "cloud/contract.h"

namespace {

// Issue numbers are whole numbers: shown in full rather than rounded to six digits.
QString issueNumber(const QJsonValue &value)
{
    const double number = value.toDouble(0);
    double whole = 0;
    if (std::fabs(number) < 9007199254740992.0 && std::modf(number, &whole) == 0.0)
        return QString::number(qint64(number));
    return QString::number(number, 'g', 6);
}

QString trackerTime(const QJsonValue &value)
{
    const QDateTime time = QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

std::optional<QList<IssueRow>> readIssueList(const QByteArray &body, QString *error)
{
    namespace R = Contract::Redmine;
    QJsonParseError status {};
    const QJsonDocument document = QJsonDocument::fromJson(body, &status);
    if (document.isNull()) {
        if (error)
            *error = status.errorString();
        return std::nullopt;
    }
    QList<IssueRow> rows;
    const QJsonArray issues = document.object().value(R::Issues).toArray();
    for (const QJsonValue &value : issues) {
        const QJsonObject issue = value.toObject();
        rows.append(IssueRow {
            issueNumber(issue.value(R::Id)),
            trackerTime(issue.value(R::UpdatedOn)),
            issue.value(R::Status).toObject().value(R::StatusName).toString(),
            issue.value(R::Subject).toString(),
        });
    }
    return rows;
}
