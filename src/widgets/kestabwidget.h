#pragma once

#include <QTabWidget>

class QPushButton;

// The directories' tab widget: besides its tab bar, three buttons in each top corner move between
// tabs for a strip too long to show: first, a quarter back, one back (left), one on, a quarter on,
// last (right). Disabled tabs are skipped; a move with no tab to go to keeps the current one.
class KesTabWidget final : public QTabWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KesTabWidget)

public:
    // Where each corner button goes, in the order they stand from left to right.
    enum class Move
    {
        First,
        QuarterBack,
        Back,
        Forward,
        QuarterForward,
        Last
    };

    explicit KesTabWidget(QWidget *parent = nullptr);
    ~KesTabWidget() override;

    // The tab a move leads to from the current one, or the current tab when there is none.
    int target(Move move) const;
    void go(Move move);

    QPushButton *button(Move move) const;

private:
    int nearestEnabledAtOrBelow(int index) const;
    int nearestEnabledAtOrAbove(int index) const;

    QPushButton *m_buttons[6] = {};
};
