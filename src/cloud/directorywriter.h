#pragma once

#include <functional>
#include <vector>

#include "cloud/directoryreply.h"

class dbmgr;

// Caches the company directory in the database: the departments (one row per name and tenant
// mode, the first entry's party id and greeting kept) and the directory's accounts rows
// (companydevice = 1, fromapi = 1). One person delivered twice, once with a desk extension and
// once with a personal phone, under the same department and full name, becomes one row holding
// both. Failing statements are logged and otherwise skipped.
class DirectoryWriter final
{
public:
    // Called before each entry is handled, so that a progress window can move and repaint.
    using Step = std::function<void(int index)>;

    explicit DirectoryWriter(dbmgr &db);

    // Replaces the departments with those of the entries and returns the entries' accounts, each
    // with the id of its department.
    std::vector<Extension> storeDepartments(
        const std::vector<DirectoryEntry> &entries, const Step &step = {});

    // The stored department of this name and tenant mode, inserted when there is none; -1 when
    // neither works.
    int add_department(
        const QString &tenantmode, const QString &partyid, const QString &name, const QString &greeting);

    // Replaces the directory's accounts rows with these records.
    void writeRows(const std::vector<Extension> &records, const Step &step = {});

private:
    int findDepartment(const QString &name, const QString &tenantmode);
    void writeRow(const Extension &record);

    dbmgr &m_db;
};
