#pragma once

#include <QListWidget>

// The recent calls of this run in the main window, newest first, each with a dial button. Calls
// recorded before the list was created (earlier runs) stay below its cutoff and are not shown.
class RecentCallsList final : public QListWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentCallsList)

public:
    explicit RecentCallsList(QWidget *parent = nullptr);

    // Stores the number of calls to show, then reloads.
    void reload(int limit);
    void reload();
    // Moves the cutoff to the newest record now in the table; the rows shown stay.
    void clear_calls();

    int limit() const { return m_limit; }

    int cutoff() const { return m_cutoff; }

signals:
    void dial(const QString &number);

public slots:
    void dialNumber(const QString &number);

private:
    int m_limit = 10;
    int m_cutoff = 0;
};
