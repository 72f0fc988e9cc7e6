#include "settingsui/extensionmanager.h"

#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"

ExtensionManager::ExtensionManager(dbmgr &db, QObject *parent)
    : ExtensionWindows(parent)
    , m_db(db)
{ }

ExtensionManager::~ExtensionManager()
{
    delete m_list.data();
}

Orvaloaccdialog &ExtensionManager::editor()
{
    if (!m_editor) {
        m_editor = std::make_unique<Orvaloaccdialog>(m_db);
        connect(m_editor.get(), &Orvaloaccdialog::accountUpdate, this, &ExtensionWindows::accountUpdate);
        connect(m_editor.get(), &Orvaloaccdialog::newAccount, this, &ExtensionWindows::newAccount);
    }
    return *m_editor;
}

void ExtensionManager::openExtensionList()
{
    delete m_list.data();
    m_list = new Orvaloacc(m_db, editor());
    m_list->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_list, &Orvaloacc::removeExtension, this, &ExtensionWindows::removeExtension);
    m_list->open();
}

bool ExtensionManager::editExtension(int accountId)
{
    return editor().openAccount(accountId);
}

void ExtensionManager::reload()
{
    if (m_editor) // an editor built later reads the table then
        m_editor->updateModel();
    if (m_list)
        m_list->listAccounts();
}
