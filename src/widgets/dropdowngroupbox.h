#pragma once

#include <QGroupBox>

// A checkable group box used as a collapsible section: an arrow instead of the check box, the
// direct children shown while checked and hidden while not.
class DropdownGroupbox final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropdownGroupbox)

public:
    explicit DropdownGroupbox(QWidget *parent = nullptr);

public slots:
    void toggleContentsVisibility(bool checked);

protected:
    void childEvent(QChildEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
};
