#pragma once

#include <vector>

#include <QString>

#include "cloud/extension.h"

class QJsonObject;

// One entry of the company directory ("company_devices"): the department or tenant it is shown
// under and the account it describes. The department id of the account is left at -1; the writer
// gives it the id of the stored department.
struct DirectoryEntry
{
    QString tenantmode;
    QString partyid; // "directoryindex"
    QString name; // "tabheading"
    QString greeting;
    Extension extension;
};

// The directory as the cloud service sends it, in the login reply or its own reply, read without
// trusting its shape.
struct DirectoryReply
{
    // False when the text is not a JSON object; parseError then holds the parser's message.
    bool valid = false;
    QString parseError;
    // In reply order; a missing "company_devices" gives none, entries that are not objects are
    // skipped.
    std::vector<DirectoryEntry> entries;
};

// A directory entry as an account. Text members are taken only when they are JSON strings, and
// the text "null" counts as nothing; the dial-out id and pin are read as integers, 0 giving the
// empty text.
DirectoryEntry directoryEntry(const QJsonObject &entry);

DirectoryReply readDirectoryReply(const QString &text);
