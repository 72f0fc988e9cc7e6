#pragma once

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
};
