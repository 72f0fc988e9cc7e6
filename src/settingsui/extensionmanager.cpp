#include "settingsui/extensionmanager.h"

#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"

ExtensionManager::ExtensionManager(dbmgr &db, QObject *parent)
    : ExtensionWindows(parent)
    , m_db(db)
    , m_editor(std::make_unique<Orvaloaccdialog>(db))
{
    connect(m_editor.get(), &Orvaloaccdialog::accountUpdate, this, &ExtensionWindows::accountUpdate);
    connect(m_editor.get(), &Orvaloaccdialog::newAccount, this, &ExtensionWindows::newAccount);
}

ExtensionManager::~ExtensionManager()
{
    delete m_list.data();
}

void ExtensionManager::openExtensionList()
{
    delete m_list.data();
    m_list = new Orvaloacc(m_db, *m_editor);
    m_list->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_list, &Orvaloacc::removeExtension, this, &ExtensionWindows::removeExtension);
    m_list->open();
}

bool ExtensionManager::editExtension(int accountId)
{
    return m_editor->openAccount(accountId);
}

void ExtensionManager::reload()
{
    m_editor->updateModel();
    if (m_list)
        m_list->listAccounts();
}
