#include "callui/calldialogs.h"

#include <QGuiApplication>
#include <QScreen>

#include "callui/incomingcalldialog.h"
#include "callui/missedcallsdialog.h"

namespace {
// The incoming-call windows sit in the screen's top right corner, away from the main window's own
// call buttons (which they would otherwise cover), each further one this much lower and further
// left than the newest open one, so that all of them can be seen and reached.
constexpr int CascadeStep = 24;
constexpr int ScreenMargin = 16;
} // namespace

CallDialogs::CallDialogs(QWidget *parent)
    : m_parent(parent)
{ }

CallDialogs::~CallDialogs()
{
    for (const QPointer<IncomingCallDialog> &window : std::as_const(m_incoming))
        delete window.data();
    delete m_missedCalls.data();
}

QList<IncomingCallDialog *> CallDialogs::incomingCallWindows() const
{
    QList<IncomingCallDialog *> open;
    for (const QPointer<IncomingCallDialog> &window : m_incoming) {
        if (window && window->isVisible())
            open.append(window);
    }
    return open;
}

void CallDialogs::openIncomingCall(int callId, const QString &caller, const QString &number)
{
    m_incoming.removeAll(nullptr);
    const QList<IncomingCallDialog *> open = incomingCallWindows();
    auto *window = new IncomingCallDialog(callId, m_parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &IncomingCallDialog::answer, this, &CallWindows::answerRequested);
    connect(window, &IncomingCallDialog::decline, this, &CallWindows::declineRequested);
    if (!open.isEmpty()) {
        window->move(open.last()->pos() + QPoint(-CascadeStep, CascadeStep));
    } else if (const QScreen *screen = m_parent ? m_parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.right() - window->width() - ScreenMargin, area.top() + ScreenMargin);
    }
    m_incoming.append(window);
    window->setCaller(caller, number);
}

void CallDialogs::closeIncomingCall(int callId)
{
    const QList<QPointer<IncomingCallDialog>> windows = m_incoming;
    for (const QPointer<IncomingCallDialog> &window : windows) {
        if (window)
            window->cancel(callId);
    }
}

MissedCallsDialog &CallDialogs::missedCalls()
{
    if (!m_missedCalls) {
        m_missedCalls = new MissedCallsDialog(m_parent);
        connect(m_missedCalls, &MissedCallsDialog::dial, this, &CallWindows::dialRequested);
    }
    return *m_missedCalls;
}

void CallDialogs::addMissedCall(const QString &remote)
{
    missedCalls().addMissedCall(remote);
}

void CallDialogs::showMissedCalls()
{
    MissedCallsDialog &window = missedCalls();
    window.show();
    window.raise();
    window.activateWindow();
}
