#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QHash>
#include <QString>

class CompanyDevice;
class CorporateDirectory;
class KesTabWidget;
class QObject;
class dbmgr;

// The company directory on screen: one tab per department or tenant in front of the tab strip's
// fixed tabs, one tile per directory row, and the presence subscriptions of the tiles. Built from
// the database (DirectoryWriter fills it); the engine is reached through the two functions given,
// so the directory can be built and watched without one.
class Directory final
{
public:
    // The tab strip's own tabs after the directory's (blank, speed dials, contact details, call
    // progress).
    static constexpr int FixedTabs = 4;

    using Subscribe = std::function<int(const QString &uri)>; // buddy id or -1
    using Unsubscribe = std::function<void(int buddyId)>;
    // Called for each tile as it is built, before it is placed: the window connects its menus.
    using Wire = std::function<void(CompanyDevice &tile)>;
    using Step = std::function<void()>;
    // Told after a presence change reached a tile (its colour and text are set).
    using Applied = std::function<void(const CompanyDevice &tile)>;

    Directory(dbmgr &db, KesTabWidget &tabs, Subscribe subscribe, Unsubscribe unsubscribe);
    ~Directory();
    Directory(const Directory &) = delete;
    Directory &operator=(const Directory &) = delete;

    // Rebuilds tabs and tiles from the database, ordered by trimmed full name then extension
    // within a department (byUsername), else by extension then name. Presence subscriptions are
    // dropped first; subscribing again is the caller's business (addAllBuddies). False, with the
    // previous tabs left in place, when the database cannot be read.
    bool build(bool byUsername, const Wire &wire = {}, const Step &step = {});

    void addCorporateDirectory(
        int index, const QString &partyid, const QString &name, const QString &greeting);
    void removeAllCorporateDirectories();

    // Subscribes every tile with an address, once per build.
    void addAllBuddies();
    // Ends every subscription; the tiles go back to unknown presence.
    void removeAllBuddies();
    void onBuddyState(unsigned buddyId, const QString &text, unsigned state);

    void setPresenceApplied(Applied applied) { m_applied = std::move(applied); }

    bool buddiesAdded() const { return m_buddiesAdded; }

    // The once-a-second refresh.
    void updateLabels();

    const std::vector<std::unique_ptr<CompanyDevice>> &tiles() const { return m_tiles; }

    // The tile whose label (its face) this is.
    CompanyDevice *tileFor(const QObject *label) const;

    // The directory page of tab `index`, or nullptr for a fixed tab.
    CorporateDirectory *page(int index) const;

private:
    dbmgr &m_db;
    KesTabWidget &m_tabs;
    Subscribe m_subscribe;
    Unsubscribe m_unsubscribe;
    std::vector<std::unique_ptr<CompanyDevice>> m_tiles;
    QMultiHash<int, CompanyDevice *> m_byBuddy;
    Applied m_applied;
    bool m_buddiesAdded = false;
};
