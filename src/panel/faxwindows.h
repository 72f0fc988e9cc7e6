#pragma once

#include <QString>

// The fax window as the main window sees it. It lives in a higher target (cloudui); the
// application hands an implementation to the main window, which opens it from the Fax button.
class FaxWindows
{
public:
    FaxWindows() = default;
    virtual ~FaxWindows();
    FaxWindows(const FaxWindows &) = delete;
    FaxWindows &operator=(const FaxWindows &) = delete;

    // Opens a new fax window (not modal) sending from `extension`, with `destination` filled in.
    virtual void openFax(const QString &extension, const QString &destination) = 0;
};
