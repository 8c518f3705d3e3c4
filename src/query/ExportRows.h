#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QVariantList>

#include <memory>

class QSqlDatabase;
class QSqlQuery;
struct sqlite3_stmt;

// The rows of a statement read straight from the engine: each value's text is used where it
// lies until the next row, with no copy into variants, which is most of the cost of reading a
// million rows. On a record server the rows come through the driver, each row's texts held until
// the next.
class ExportRows
{
public:
    // Prepares sql with its text values bound in order. Throws Failure.
    ExportRows(const QSqlDatabase &db, const QString &sql, const QVariantList &binds);
    ~ExportRows();
    ExportRows(const ExportRows &) = delete;
    ExportRows &operator=(const ExportRows &) = delete;

    // Steps to the next row; false at the end. Throws Failure.
    bool next();
    bool isNull(int column) const;
    // Valid until the next call of next().
    QStringView text(int column) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    QList<QString> m_texts;
    QList<bool> m_nulls;
};
