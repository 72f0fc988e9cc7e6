#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Brings the hidden main window back when the application is activated (dock, launcher).
class AppActivationFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppActivationFilter)

public:
    explicit AppActivationFilter(QWidget *window);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
};
