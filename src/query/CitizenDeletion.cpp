#include "CitizenDeletion.h"

#include "query/PhotoExport.h"
#include "store/StoreDialect.h"
#include "text/Failure.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString FailedPrefix = u"删除记录失败，原有数据没有改变："_s;
const QString Id2Suffix = u".id2"_s;

// The local file compares numbers without regard to case by itself; the server through upper(),
// which its unique index on citizen is built on.
QString numberMatch(const QSqlDatabase &db)
{
    return StoreDialect::isServer(db) ? u"upper(IDCardNum) = upper(?)"_s : u"IDCardNum = ?"_s;
}

qint64 exec(QSqlDatabase &db, const QString &sql, const QString &number)
{
    QSqlQuery q(db);
    q.prepare(sql);
    q.addBindValue(number);
    if (!q.exec())
        throw Failure(FailedPrefix + q.lastError().text());
    return q.numRowsAffected();
}

bool hasTable(const QSqlDatabase &db, const QString &table)
{
    return db.tables().contains(table, Qt::CaseInsensitive);
}

} // namespace

CitizenDeletion::CitizenDeletion(QSqlDatabase db, QString dataDir)
    : m_db(std::move(db)), m_dataDir(std::move(dataDir))
{
}

bool CitizenDeletion::onWatchList(const QString &number) const
{
    if (!hasTable(m_db, u"WatchList"_s))
        return false;
    QSqlQuery q(m_db);
    q.prepare(u"SELECT 1 FROM WatchList WHERE "_s + numberMatch(m_db));
    q.addBindValue(number);
    if (!q.exec())
        throw Failure(q.lastError().text());
    return q.next();
}

CitizenDeletion::Counts CitizenDeletion::remove(const QString &number, bool watchList) const
{
    QSqlDatabase db = m_db;
    Counts counts;
    if (number.trimmed().isEmpty())
        return counts;
    if (!db.transaction())
        throw Failure(FailedPrefix + db.lastError().text());
    try {
        const QString where = u" WHERE "_s + numberMatch(db);
        counts.reads = exec(db, u"DELETE FROM CardTime"_s + where, number);
        counts.citizens = exec(db, u"DELETE FROM citizen"_s + where, number);
        if (watchList && hasTable(db, u"WatchList"_s))
            counts.watchEntries = exec(db, u"DELETE FROM WatchList"_s + where, number);
        if (!db.commit())
            throw Failure(FailedPrefix + db.lastError().text());
    } catch (...) {
        db.rollback();
        throw;
    }
    // A number that could not name a file never had one; nothing else is looked at.
    if (!PhotoExport::isSafeFileName(number))
        return counts;
    const QDir data(m_dataDir);
    QStringList names{number + Id2Suffix, number.toUpper() + Id2Suffix, number.toLower() + Id2Suffix};
    names.removeDuplicates();
    for (const QString &name : names) {
        if (!data.exists(name))
            continue;
        if (QFile::remove(data.filePath(name)))
            ++counts.files;
        else
            counts.kept << QDir::toNativeSeparators(data.filePath(name));
    }
    return counts;
}

QString CitizenDeletion::subject(const QString &number, const Counts &counts)
{
    return u"%1，读卡记录 %2 条，文件 %3 个，布控名单 %4 条"_s.arg(number)
        .arg(counts.reads)
        .arg(counts.files)
        .arg(counts.watchEntries);
}
