#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// One row of the recent calls list: the call (icon, direction, number), its date and duration,
// and a button that dials the number.
class RecentCallsItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentCallsItem)

public:
    RecentCallsItem(const QString &number, const QString &callText, const QString &dateText, bool outgoing,
        QWidget *parent = nullptr);

    void setColour(const QString &colour);

    const QString &number() const { return m_number; }

    bool isOutgoing() const { return m_outgoing; }

signals:
    void dial(const QString &number);

public slots:
    void on_dial_button_clicked();

private:
    QString m_number;
    bool m_outgoing = false;
    QLabel *m_call = nullptr;
    QLabel *m_date = nullptr;
    QToolButton *m_dial = nullptr;
};
