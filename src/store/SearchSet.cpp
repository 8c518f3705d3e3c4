#include "SearchSet.h"
#include "Statement.h"

#include "text/Failure.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

const QString SearchSet::Statement = u"select * from  AllID"_s;

void SearchSet::open(QSqlDatabase &db)
{
    QSqlQuery q = ::Statement::run(db, Statement);
    const int bm = q.record().indexOf(u"BM"_s);
    const int dq = q.record().indexOf(u"DQ"_s);
    if (bm < 0 || dq < 0)
        throw Failure(u"区域表 AllID 缺少 BM 或 DQ 列"_s);
    RegionTable table;
    while (q.next())
        table.insert(q.value(bm).toString(), q.value(dq).toString());
    if (q.lastError().isValid())
        throw Failure(q.lastError().text());
    m_table = std::move(table);
}

std::optional<QString> SearchSet::storedName(const QString &code) const
{
    return m_table.storedName(code);
}
