#pragma once

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include "core/dbmgr.h"
#include "core/settings.h"

// A fresh database created through dbmgr in a temporary directory (settings file included).
struct TestDatabase
{
    QTemporaryDir dir;
    Settings settings {dir.path()};
    dbmgr db {settings};

    bool open() { return dir.isValid() && db.open(); }

    QString path() const { return dir.filePath(QStringLiteral("orvalo.db")); }

    // Inserts an account row and returns its id.
    int addAccount(const QString &name, const QString &extension, const QString &domain,
        const QString &codecs = QString(), const QString &dtmf = QString())
    {
        QSqlQuery q = db.account_query();
        q.prepare(
            QStringLiteral("INSERT INTO accounts (accountname, extension, domain, user, sipserveraddress, "
                           "audiocodecs, dtmftype, sipport, registrationtime) VALUES (:n, :e, :d, :e, :d, "
                           ":c, :t, '5060', 3600)"));
        q.bindValue(QStringLiteral(":n"), name);
        q.bindValue(QStringLiteral(":e"), extension);
        q.bindValue(QStringLiteral(":d"), domain);
        q.bindValue(QStringLiteral(":c"), codecs);
        q.bindValue(QStringLiteral(":t"), dtmf);
        q.exec();
        return q.lastInsertId().toInt();
    }

    int count(const QString &table)
    {
        QSqlQuery q = db.query();
        q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table);
        return q.next() ? q.value(0).toInt() : -1;
    }
};
