#include "panel/directory.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include "core/dbmgr.h"
#include "core/log.h"
#include "panel/companydevice.h"
#include "widgets/clickablelabel.h"
#include "widgets/corporatedirectory.h"
#include "widgets/kestabwidget.h"

Directory::Directory(dbmgr &db, KesTabWidget &tabs, Subscribe subscribe, Unsubscribe unsubscribe)
    : m_db(db)
    , m_tabs(tabs)
    , m_subscribe(std::move(subscribe))
    , m_unsubscribe(std::move(unsubscribe))
{ }

Directory::~Directory()
{
    removeAllBuddies();
    m_tiles.clear();
}

CorporateDirectory *Directory::page(int index) const
{
    return qobject_cast<CorporateDirectory *>(m_tabs.widget(index));
}

void Directory::addCorporateDirectory(
    int index, const QString &partyid, const QString &name, const QString &greeting)
{
    auto *page = new CorporateDirectory(partyid, name, greeting);
    m_tabs.insertTab(index, page, name);
    m_tabs.setTabToolTip(index, QStringLiteral("Dir Index: ") + partyid);
}

void Directory::removeAllCorporateDirectories()
{
    while (m_tabs.count() > FixedTabs) {
        QWidget *page = m_tabs.widget(0);
        m_tabs.removeTab(0);
        // Its tiles belong to their CompanyDevice and leave with it; the page follows later.
        page->hide();
        page->deleteLater();
    }
}

bool Directory::build(bool byUsername, const Wire &wire, const Step &step)
{
    QSqlQuery devices = m_db.account_query();
    devices.setForwardOnly(true);
    if (!devices.exec(QStringLiteral("SELECT accountid, departmentid FROM accounts WHERE companydevice = 1")
            + (byUsername ? QStringLiteral(" ORDER BY departmentid, TRIM(fullname), extension")
                          : QStringLiteral(" ORDER BY departmentid, extension, TRIM(fullname)")))) {
        LOG(devices.lastError().text());
        return false;
    }
    QSqlQuery departments = m_db.account_query();
    departments.setForwardOnly(true);
    if (!departments.exec(
            QStringLiteral("SELECT id, partyid, name, greeting FROM department ORDER BY tenantmode, name"))) {
        LOG(departments.lastError().text());
        return false;
    }

    removeAllCorporateDirectories();
    LOG(QStringLiteral("Adding departments"));
    QHash<int, int> tabOf;
    for (int k = 0; departments.next(); ++k) {
        const QString name = departments.value(2).toString();
        const QString greeting = departments.value(3).toString();
        tabOf.insert(departments.value(0).toInt(), k);
        LOG(QLatin1Char('(') + QString::number(k) + QStringLiteral(") ") + name + QStringLiteral(": ")
            + greeting);
        addCorporateDirectory(k, departments.value(1).toString(), name, greeting);
    }

    removeAllBuddies();
    m_tiles.clear();
    LOG(QStringLiteral("Adding devices"));
    // Placing tiles into pages that are not shown keeps the layout work to one pass at the end.
    m_tabs.setUpdatesEnabled(false);
    // One statement reads every tile's row.
    QSqlQuery rows = CompanyDevice::prepareRowQuery(m_db);
    for (int n = 1; devices.next(); ++n) {
        if (step)
            step();
        auto tile = std::make_unique<CompanyDevice>(m_db, devices.value(0).toInt(), &rows);
        const int tab = tabOf.value(devices.value(1).toInt(), 0);
        LOG(QLatin1Char('(') + QString::number(n) + QStringLiteral(") dept[") + QString::number(tab)
            + QStringLiteral("] ") + tile->getAccountname() + QStringLiteral(" [") + tile->getExtension()
            + QStringLiteral("] ") + tile->getPhonenumber());
        if (wire)
            wire(*tile);
        if (CorporateDirectory *target = page(tab))
            target->addWidget(tile->getLabel());
        m_tiles.push_back(std::move(tile));
    }
    m_tabs.setUpdatesEnabled(true);
    return true;
}

void Directory::addAllBuddies()
{
    if (m_buddiesAdded)
        return;
    for (const auto &tile : m_tiles) {
        const QString uri = tile->getUri();
        if (uri.isEmpty())
            continue;
        const int id = m_subscribe ? m_subscribe(uri) : -1;
        tile->setBuddyId(id);
        if (id >= 0)
            m_byBuddy.insert(id, tile.get());
    }
    m_buddiesAdded = true;
}

void Directory::removeAllBuddies()
{
    for (const auto &tile : m_tiles) {
        const int id = tile->getBuddyId();
        if (id == -1)
            continue;
        if (m_unsubscribe)
            m_unsubscribe(id);
        onBuddyState(unsigned(id), QStringLiteral("?"), 0);
        tile->setBuddyId(-1);
    }
    m_byBuddy.clear();
    m_buddiesAdded = false;
}

void Directory::onBuddyState(unsigned buddyId, const QString &text, unsigned state)
{
    // Two tiles of one address may share the engine's buddy.
    const QList<CompanyDevice *> tiles = m_byBuddy.values(int(buddyId));
    for (CompanyDevice *tile : tiles) {
        tile->setStatus(state);
        tile->setStatusText(text);
        if (m_applied)
            m_applied(*tile);
    }
}

void Directory::updateLabels()
{
    for (const auto &tile : m_tiles)
        tile->updateLabel();
}

CompanyDevice *Directory::tileFor(const QObject *label) const
{
    if (!label)
        return nullptr;
    for (const auto &tile : m_tiles) {
        if (tile->getLabel() == label)
            return tile.get();
    }
    return nullptr;
}
