#include "panel/recentcallslist.h"

#include <QSqlDatabase>

#include "panel/recentcallsitem.h"
#include "panel/recentcallsquery.h"

RecentCallsList::RecentCallsList(QWidget *parent)
    : QListWidget(parent)
{
    setStyleSheet(QStringLiteral("QListWidget::item {padding: 0px; margin: 0px;}"));
    setAccessibleName(QStringLiteral("Recent calls"));
    clear_calls();
}

void RecentCallsList::clear_calls()
{
    QSqlDatabase db = QSqlDatabase::database();
    if (const int latest = RecentCallsQuery::latestId(db); latest > 0)
        m_cutoff = latest;
}

void RecentCallsList::reload(int limit)
{
    m_limit = limit;
    reload();
}

void RecentCallsList::reload()
{
    clear();
    QSqlDatabase db = QSqlDatabase::database();
    for (const RecentCall &call : RecentCallsQuery::load(db, m_cutoff, m_limit)) {
        auto *item = new RecentCallsItem(call.number, call.callText, call.dateText, call.outgoing);
        item->setColour(call.colour);
        auto *row = new QListWidgetItem(this);
        row->setSizeHint(item->sizeHint());
        setItemWidget(row, item);
        connect(item, &RecentCallsItem::dial, this, &RecentCallsList::dialNumber);
    }
    // The list is reloaded after every call; setting a style sheet, even the one it has, costs
    // memory that is never given back, so only a change of look sets one.
    const QString sheet = count() > 0
        ? QStringLiteral("RecentCallsList{border:none;background:transparent;}")
        : QStringLiteral("RecentCallsList{background-image: url(:/icons/icons/no_recent_calls.svg);"
                         "background-repeat: no-repeat;background-position: center;border:none;}");
    if (styleSheet() != sheet)
        setStyleSheet(sheet);
}

void RecentCallsList::dialNumber(const QString &number)
{
    emit dial(number);
}
