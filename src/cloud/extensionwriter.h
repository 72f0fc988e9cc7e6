#pragma once

#include <functional>
#include <vector>

#include <QList>
#include <QObject>

#include "cloud/extension.h"

class dbmgr;

// Writes the devices chosen at a login as accounts rows (fromapi = 1, companydevice = 0). Existing
// rows are overridden, merged with or left alone as the operator answers; an extension number that
// already has a row is updated in place when the operator agrees.
//
// A login's writes form one transaction: either every row the answers asked for is written, or, when
// a statement fails, none is (the driver's text is logged). The signals tell the panel what changed
// and are emitted only once the rows are committed, in the order the changes were made.
class ExtensionWriter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionWriter)

public:
    explicit ExtensionWriter(dbmgr &db, QObject *parent = nullptr);
    ~ExtensionWriter() override;

    // Writes each device as its own step (the questions are asked once per device), all in one
    // transaction. False when nothing could be written.
    bool write(const std::vector<Extension> &devices);

signals:
    // Every account row was deleted ("Override").
    void clear_extensions();
    // An existing row was updated in place.
    void reload_extension(int accountid);
    // Rows were inserted by one step.
    void load_new_extensions(QList<int> accountids);

private:
    // One step: the question about existing rows, then each record. False on a failed statement.
    bool load_extensions(const std::vector<Extension> &records);
    bool writeRecord(const Extension &record, QList<int> &inserted);

    dbmgr &m_db;
    // Signals of the open transaction, emitted after the commit.
    std::vector<std::function<void()>> m_pending;
};
