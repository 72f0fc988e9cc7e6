#include "app/appactivationfilter.h"

#include <QEvent>
#include <QWidget>

AppActivationFilter::AppActivationFilter(QWidget *window)
    : QObject(window)
    , m_window(window)
{ }

bool AppActivationFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ApplicationActivate && m_window && !m_window->isVisible()) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }
    return QObject::eventFilter(watched, event);
}
