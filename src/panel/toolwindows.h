#pragma once

class QualitySampler;
class SipDialer;

// The diagnostic windows as the main window sees them. They live in a higher target
// (diagnosticsui); the application hands an implementation to the main window, which opens them
// from its Help menu.
class ToolWindows
{
public:
    ToolWindows() = default;
    virtual ~ToolWindows();
    ToolWindows(const ToolWindows &) = delete;
    ToolWindows &operator=(const ToolWindows &) = delete;

    // Shows the connection tester (created on first use) and brings it to the front.
    virtual void openConnectionTester() = 0;
    // Shows the SIP log window following the engine's log (created on first use, capture off).
    virtual void openSipLog(SipDialer &engine) = 0;
    // Opens a new call quality logger (replacing an earlier one) that starts and stops the
    // sampler and shows its lines. The sampler keeps running when the window closes.
    virtual void openQualityLogger(QualitySampler &sampler) = 0;
};
