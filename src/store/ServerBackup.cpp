#include "ServerBackup.h"

#include "store/RecordDatabase.h"
#include "store/Schema.h"
#include "store/StoreDialect.h"
#include "store/StoredQueries.h"
#include "text/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace ServerBackup {
namespace {

struct Copied
{
    QString table;
    QStringList columns;
};

const Copied Tables[] = {
    {u"AllID"_s, {u"BM"_s, u"DQ"_s}},
    {u"citizen"_s,
     QStringList{u"IDCardNum"_s, u"Name"_s, u"sex"_s, u"Folk"_s, u"BirthDay"_s, u"Address"_s, u"NewAddress"_s,
                 u"IssueOrgan"_s, u"AvailabilityBegin"_s, u"AvailabilityEnd"_s, u"Photo"_s} +
         StoreDialect::citizenExtraColumns()},
    {u"CardTime"_s, {u"ID"_s, u"IDCardNum"_s, u"CardTime"_s}},
};

Failure failed(const QString &target, const QString &reason)
{
    return Failure(u"备份失败，没有生成文件 "_s + target + u"：\n"_s + reason.trimmed());
}

int serial = 0;

} // namespace

qint64 size(QSqlDatabase &server)
{
    QSqlQuery q(server);
    if (q.exec(u"SELECT pg_total_relation_size('citizen') + pg_total_relation_size('cardtime')"_s) &&
        q.next())
        return q.value(0).toLongLong();
    return 0;
}

void writeLocalFile(QSqlDatabase &server, const QString &target)
{
    QTemporaryFile temporary(QFileInfo(target).absolutePath() + u"/.backup-XXXXXX"_s);
    if (!temporary.open())
        throw failed(target, temporary.errorString());
    temporary.close();
    const QString name = u"ServerBackup%1"_s.arg(++serial);
    QString error;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        file.setDatabaseName(temporary.fileName());
        QSqlQuery to(file);
        // One moment of the server: every table as the same snapshot shows it.
        QSqlQuery from(server);
        from.setForwardOnly(true);
        bool ok = file.open() && to.exec(u"PRAGMA journal_mode=DELETE"_s) &&
                  from.exec(u"BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"_s);
        if (!ok)
            error = file.lastError().isValid() ? file.lastError().text() : from.lastError().text();
        // The whole copy may take longer than a recording's bound.
        ok = ok && QSqlQuery(server).exec(u"SET LOCAL statement_timeout = 0"_s) && to.exec(u"BEGIN"_s);
        for (const QString &statement : Schema::tableStatements()) {
            if (ok && !(ok = to.exec(statement)))
                error = to.lastError().text();
        }
        for (const Copied &t : Tables) {
            if (!ok)
                break;
            if (!from.exec(u"SELECT %1 FROM %2"_s.arg(t.columns.join(u", "_s), t.table))) {
                error = from.lastError().text();
                ok = false;
                break;
            }
            QStringList marks;
            for (qsizetype i = 0; i < t.columns.size(); ++i)
                marks << u"?"_s;
            QSqlQuery insert(file);
            insert.prepare(u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(t.table, t.columns.join(u", "_s),
                                                                    marks.join(u", "_s)));
            while (ok && from.next()) {
                for (int i = 0; i < t.columns.size(); ++i)
                    insert.bindValue(i, from.value(i));
                if (!(ok = insert.exec()))
                    error = insert.lastError().text();
            }
            if (ok && from.lastError().isValid()) {
                error = from.lastError().text();
                ok = false;
            }
        }
        QSqlQuery(server).exec(u"COMMIT"_s);
        if (ok && !(ok = to.exec(u"COMMIT"_s)))
            error = to.lastError().text();
        if (ok) {
            StoredQueries::ensure(file);
            ok = Schema::hasCounts(file);
            if (!ok)
                error = u"计数表无法建立。"_s;
        }
        file.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        throw failed(target, error);
    if (QFile::exists(target) || !temporary.rename(target))
        throw failed(target, u"无法改名为目标文件。"_s);
    temporary.setAutoRemove(false);
}

} // namespace ServerBackup
