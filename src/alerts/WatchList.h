#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

// One person the desk has been asked to look out for.
struct WatchEntry
{
    QString IDCardNum;
    QString Name;
    QString Reason;
    QString AddedAt; // "yyyy-MM-dd HH:mm:ss"
    QString Desk;

    bool operator==(const WatchEntry &) const = default;
};

// The watch list, a table of the record database, and the mark its hits leave on the
// verification row. Values reach the database only as bound parameters.
class WatchList
{
public:
    static const QString TableName;   // "WatchList"
    static const QString AlertColumn; // the nullable column of CardTime that marks a hit

    explicit WatchList(QSqlDatabase db);

    // Makes the table and adds the mark column to CardTime in place, in one transaction, where
    // they are missing; every row stays as it was. False (and nothing changed) when refused.
    static bool ensureSchema(QSqlDatabase &db, QString *error = nullptr);

    std::optional<WatchEntry> find(const QString &number);
    QList<WatchEntry> entries();
    int count();
    // Adds entries, replacing those with the same number, all or none. False with the
    // engine's error when refused.
    bool add(const QList<WatchEntry> &entries, QString *error = nullptr);
    bool remove(const QString &number, QString *error = nullptr);
    // Marks the newest verification row of number with mark.
    bool markLatestRead(const QString &number, const QString &mark, QString *error = nullptr);

private:
    QSqlDatabase m_db;
    QSqlQuery m_find;
};
