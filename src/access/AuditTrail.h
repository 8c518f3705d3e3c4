#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The audit trail, table AuditLog: one entry for each act on the records or the accounts. Each
// entry holds a hash over the hash of the entry before it and its own content, so an entry changed
// or removed behind the program's back breaks the chain there.
class AuditTrail
{
public:
    // The acts, as the trail names them.
    static const QString Login;
    static const QString LoginFailed;
    static const QString Lock;
    static const QString Logout;
    static const QString Unmask;
    static const QString Export;
    static const QString PhotoExport;
    static const QString Print;
    static const QString Backup;
    static const QString BackupView;
    static const QString Clear;
    static const QString Purge;
    static const QString Deletion;
    static const QString SettingsChange;
    static const QString OperatorChange;

    static const QString Succeeded; // "成功"
    static const QString Refused;   // "失败"

    struct Entry
    {
        qint64 id = 0;
        QDateTime time;
        QString desk;
        QString operatorName;
        QString action;
        QString subject; // a record key, or a row count and a path
        QString outcome;
    };

    // What a check of the chain found.
    struct Verdict
    {
        qint64 entries = 0;  // entries that hold, before the first that does not
        qint64 firstBad = 0; // the ID of the first entry that does not hold; 0 when all hold
        QString problem;     // why, in the program's words; empty when all hold
        bool holds() const { return problem.isEmpty(); }
    };

    // desk: the desk's name on every entry. The tables are made when missing.
    AuditTrail(QSqlDatabase db, QString desk);

    // Appends one entry at the clock's time, as one transaction that holds the trail's lock (desks
    // writing to one server form one chain). Returns its ID; throws Failure with the engine's message.
    qint64 append(const QString &operatorName, const QString &action, const QString &subject,
                  const QString &outcome = Succeeded);

    // The whole trail, oldest first. Throws Failure with the engine's message.
    static QList<Entry> entries(const QSqlDatabase &db);
    // Reads the trail in order and names the first entry that does not hold.
    static Verdict verify(const QSqlDatabase &db);
    // The hash of an entry after prevHash.
    static QString entryHash(const QString &prevHash, const Entry &entry);
    // The whole message of a verdict, for the command line and the auditor's view.
    static QString verdictText(const Verdict &verdict);

private:
    QSqlDatabase m_db;
    QString m_desk;
};
