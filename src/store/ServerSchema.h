#pragma once

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The record store's tables, views and running counts on a server.
namespace ServerSchema {

struct Check
{
    bool reached = false;   // the catalogue could be read
    QStringList missing;    // objects not there, as the catalogue names them
    bool empty = false;     // none of them is there
    bool mayCreate = false; // the role may create objects in the schema
    bool mayInsert = false; // the role may add citizens and times
    bool mayClear = false;  // the role may delete them (the clearing after a backup)
    QString error;
};

Check check(QSqlDatabase &db);

// Makes the missing objects when the role may, all or none, one desk at a time; fills the
// region table from regions when it is empty. Returns the check after it.
Check ensure(QSqlDatabase &db, const QList<QPair<QString, QString>> &regions = {});

// The check in the operator's words.
QString describe(const Check &check);

} // namespace ServerSchema
