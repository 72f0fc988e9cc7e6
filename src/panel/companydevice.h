#pragma once

#include <QString>

#include "panel/account.h"

class DirectoryTile;

// What a tile shows for a presence text: its colour, whether the device counts as available and
// the text under the name ("phoneonly" is a tile without extension).
struct TilePresence
{
    QString colour;
    bool available = false;
    QString text;

    static TilePresence of(const QString &presenceText);
};

// One entry of the company directory: an accounts row with companydevice = 1, shown as a small
// tile (name and extension, the user's phone, the presence text) coloured by presence. The tile is
// the account's label; the main window subscribes its presence and keeps the buddy id here.
//
// The tile's look is its palette (background in the presence colour, black text) rather than a
// style sheet of its own: a style sheet per tile makes building a directory of a thousand tiles
// several times slower (each gets a style of its own, re-made when the tile is placed).
//
// The tile only touches its widgets when what they show changes, so the once-a-second refresh of
// a large directory costs next to nothing.
//
// The tile is one widget that draws its name, phone-number line and presence text itself
// (DirectoryTile): every widget costs several kilobytes under the application's style sheet,
// which a thousand tiles would pay a thousand times.
class CompanyDevice final : public Account
{
public:
    // `rowQuery`: see Account::prepareRowQuery.
    CompanyDevice(dbmgr &db, int accountid, QSqlQuery *rowQuery = nullptr);
    ~CompanyDevice();
    CompanyDevice(const CompanyDevice &) = delete;
    CompanyDevice &operator=(const CompanyDevice &) = delete;

    void updateLabel();
    void setStatusText(const QString &text);

    void setStatus(unsigned status) { m_status = status; }

    // The engine's presence state 1: online.
    bool isOnline() const { return m_status == 1; }

    bool isAvailable() const { return m_available; }

    void setBuddyId(int id) { m_buddyId = id; }

    int getBuddyId() const { return m_buddyId; }

    // The tile's face: its label, which draws the phone-number line too.
    DirectoryTile *face() const { return m_tile; }

    // True when `point` (the tile's coordinates) is on the phone number the tile shows: a menu
    // or a drop there is meant for the number.
    bool isOnPhoneNumber(const QPoint &point) const;

    // The number on the tile's phone-number line (empty when it has none).
    const QString &shownPhoneNumber() const;

    const QString &getStatusText() const { return m_statusText; }

    // The tile's background colour now.
    const QString &colour() const { return m_colour; }

    // What dialling out as this device appends to the number: "#" + id + "#" + pin.
    QString getDialOutAppend() const;

    // How often the tile's widgets were changed (a test watches the idle refresh with it).
    int redraws() const { return m_redraws; }

private:
    void updateAccessibleName();
    void applyColour();

    QString m_statusText;
    unsigned m_status = 0;
    int m_buddyId = -1;
    bool m_available = false;
    DirectoryTile *m_tile = nullptr; // the account's label
    QString m_colour;
    int m_redraws = 0;
};
