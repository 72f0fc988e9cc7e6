#pragma once

#include <memory>

#include <QPointer>

#include "panel/extensionwindows.h"

class Orvaloacc;
class Orvaloaccdialog;
class dbmgr;

// Owns the account editor and the extension list window. The editor is built when first needed (it
// is not needed to start); each openExtensionList() builds a new list bound to the editor (the
// previous one is closed), as the "Manage Extensions" action does.
class ExtensionManager final : public ExtensionWindows
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionManager)

public:
    explicit ExtensionManager(dbmgr &db, QObject *parent = nullptr);
    ~ExtensionManager() override;

    void openExtensionList() override;
    bool editExtension(int accountId) override;
    void reload() override;

    // The account editor, built on first use.
    Orvaloaccdialog &editor();

    Orvaloacc *list() const { return m_list.data(); }

private:
    dbmgr &m_db;
    std::unique_ptr<Orvaloaccdialog> m_editor;
    QPointer<Orvaloacc> m_list;
};
