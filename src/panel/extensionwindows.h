#pragma once

#include <QObject>

// The extension list and account editor as the main window sees them. They live in a higher
// target (settingsui); the application hands an implementation to the main window, which opens
// them from "Manage Extensions" and an extension's double click, and follows the signals to
// reload, re-register or drop extensions.
class ExtensionWindows : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionWindows)

public:
    explicit ExtensionWindows(QObject *parent = nullptr);
    ~ExtensionWindows() override;

    // Re-reads and shows the list of all accounts.
    virtual void openExtensionList() = 0;
    // Shows the editor on one account; false when there is no such row.
    virtual bool editExtension(int accountId) = 0;
    // Re-reads the table (after extensions were provisioned or removed elsewhere).
    virtual void reload() = 0;

signals:
    // A row was saved (new or changed).
    void accountUpdate(int accountId);
    // A new row was saved.
    void newAccount(int accountId);
    // A row was deleted.
    void removeExtension(int accountId);
};
