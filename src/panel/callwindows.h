#pragma once

#include <QObject>
#include <QString>

// The incoming-call and missed-call windows as the main window sees them. They live in a higher
// target (callui); the application hands an implementation to the main window. The windows report
// the operator's choices back through the signals.
class CallWindows : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CallWindows)

public:
    explicit CallWindows(QObject *parent = nullptr);
    ~CallWindows() override;

    // Opens a small always-on-top window for an offered call: who calls, and which of our numbers.
    virtual void openIncomingCall(int callId, const QString &caller, const QString &number) = 0;
    // Closes the incoming-call window of this call; nothing when none is open for it.
    virtual void closeIncomingCall(int callId) = 0;
    // Adds a row for a caller who gave up (remote: the engine's remote party text) and shows the
    // missed-calls window.
    virtual void addMissedCall(const QString &remote) = 0;
    // Shows the missed-calls window as it is (the Missed calls menu entry).
    virtual void showMissedCalls() = 0;

signals:
    void answerRequested(int callId);
    void declineRequested(int callId);
    void dialRequested(const QString &number);
};
