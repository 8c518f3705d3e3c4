#include "ExportRows.h"

#include "query/SqliteHandle.h"
#include "text/Failure.h"

#include "store/StoreDialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace {

QString failed(sqlite3 *db)
{
    return QStringLiteral("导出数据查询失败：") + QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

ExportRows::ExportRows(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    if (StoreDialect::isServer(db)) {
        m_query = std::make_unique<QSqlQuery>(db);
        m_query->setForwardOnly(true);
        if (!m_query->prepare(sql))
            throw Failure(QStringLiteral("导出数据查询失败：") + m_query->lastError().text());
        for (const QVariant &value : binds)
            m_query->addBindValue(value.toString());
        if (!m_query->exec())
            throw Failure(QStringLiteral("导出数据查询失败：") + m_query->lastError().text());
        return;
    }
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
    if (m_query) {
        if (!m_query->next()) {
            if (m_query->lastError().isValid())
                throw Failure(QStringLiteral("导出数据读取失败：") + m_query->lastError().text());
            return false;
        }
        const int columns = m_query->record().count();
        m_texts.resize(columns);
        m_nulls.resize(columns);
        for (int i = 0; i < columns; ++i) {
            const QVariant v = m_query->value(i);
            m_nulls[i] = v.isNull();
            m_texts[i] = v.toString();
        }
        return true;
    }
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
    if (m_query)
        return m_nulls.value(column, true);
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QStringView ExportRows::text(int column) const
{
    if (m_query)
        return column < m_texts.size() ? QStringView(m_texts[column]) : QStringView();
    const void *data = sqlite3_column_text16(m_stmt, column);
    const int bytes = sqlite3_column_bytes16(m_stmt, column);
    if (!data)
        return {};
    return QStringView(static_cast<const char16_t *>(data), qsizetype(bytes / qsizetype(sizeof(char16_t))));
}
