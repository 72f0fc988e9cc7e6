#pragma once

#include <QList>
#include <QPointer>

#include "callui/missedcallsdialog.h"
#include "panel/callwindows.h"

class IncomingCallDialog;
class QWidget;

// The main window's incoming-call windows (one per offered call, each closing itself when its call
// is settled) and its one missed-calls window (built on the first missed call and kept).
class CallDialogs final : public CallWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CallDialogs)

public:
    // The windows are children of `parent` (the main window), so they go with it.
    explicit CallDialogs(QWidget *parent);
    ~CallDialogs() override;

    void openIncomingCall(int callId, const QString &caller, const QString &number) override;
    void closeIncomingCall(int callId) override;
    void addMissedCall(const QString &remote) override;
    void showMissedCalls() override;

    // The incoming-call windows open now, oldest first.
    QList<IncomingCallDialog *> incomingCallWindows() const;

    // The missed-calls window, null before the first missed call.
    MissedCallsDialog *missedCallsWindow() const { return m_missedCalls; }

private:
    MissedCallsDialog &missedCalls();

    QPointer<QWidget> m_parent;
    QList<QPointer<IncomingCallDialog>> m_incoming;
    QPointer<MissedCallsDialog> m_missedCalls;
};
