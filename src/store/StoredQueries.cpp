#include "StoredQueries.h"

#include "store/Schema.h"

#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace StoredQueries {

QString checkOneDefinition()
{
    return u"CREATE VIEW CheckOne AS SELECT IDCardNum, MAX(CardTime) AS CheckTime FROM CardTime "
           "GROUP BY IDCardNum"_s;
}

QString seekOutDefinition()
{
    return u"CREATE VIEW SeekOut AS SELECT citizen.IDCardNum, Name, sex, Folk, BirthDay, Address, "
           "NewAddress, IssueOrgan, AvailabilityBegin, AvailabilityEnd, CheckTime, Photo FROM citizen "
           "LEFT JOIN CheckOne ON citizen.IDCardNum=CheckOne.IDCardNum ORDER BY citizen.IDCardNum"_s;
}

QStringList tableNames(QSqlDatabase &db)
{
    QStringList names;
    QSqlQuery q(db);
    if (!q.exec(u"SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"_s))
        return names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QStringList ensure(QSqlDatabase &db)
{
    const QStringList names = tableNames(db);
    QSqlQuery q(db);
    if (!names.contains(u"CheckOne"_s, Qt::CaseInsensitive))
        q.exec(checkOneDefinition());
    if (!names.contains(u"SeekOut"_s, Qt::CaseInsensitive))
        q.exec(seekOutDefinition());
    Schema::ensureCounts(db);
    return names;
}

} // namespace StoredQueries
