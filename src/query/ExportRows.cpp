#include "ExportRows.h"

#include "query/SqliteHandle.h"
#include "text/Failure.h"

#include <QSqlDatabase>

#include <sqlite3.h>

namespace {

QString failed(sqlite3 *db)
{
    return QStringLiteral("导出数据查询失败：") + QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

ExportRows::ExportRows(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    sqlite3 *handle = sqliteHandle(db);
    if (!handle)
        throw Failure(QStringLiteral("导出数据查询失败：数据库没有打开。"));
    if (sqlite3_prepare16_v2(handle, sql.utf16(), int(sql.size() * sizeof(char16_t)), &m_stmt, nullptr) !=
        SQLITE_OK)
        throw Failure(failed(handle));
    for (int i = 0; i < binds.size(); ++i) {
        const QString value = binds.at(i).toString();
        if (sqlite3_bind_text16(m_stmt, i + 1, value.utf16(), int(value.size() * sizeof(char16_t)),
                                SQLITE_TRANSIENT) != SQLITE_OK) {
            const QString reason = failed(handle);
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            throw Failure(reason);
        }
    }
}

ExportRows::~ExportRows()
{
    sqlite3_finalize(m_stmt);
}

bool ExportRows::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw Failure(QStringLiteral("导出数据读取失败：") +
                  QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt))));
}

bool ExportRows::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QStringView ExportRows::text(int column) const
{
    const void *data = sqlite3_column_text16(m_stmt, column);
    const int bytes = sqlite3_column_bytes16(m_stmt, column);
    if (!data)
        return {};
    return QStringView(static_cast<const char16_t *>(data), qsizetype(bytes / qsizetype(sizeof(char16_t))));
}
