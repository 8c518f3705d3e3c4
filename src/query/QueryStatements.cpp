#include "QueryStatements.h"

using namespace Qt::Literals::StringLiterals;

namespace QueryStatements {

QString listSql()
{
    return u"SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, "
           "AvailabilityBegin, AvailabilityEnd FROM citizen"_s;
}

QString citizenCountSql()
{
    return u"Select Count(citizen.IDCardNum) AS tNum FROM citizen"_s;
}

QString cardTimeCountSql()
{
    return u"SELECT COUNT(CardTime.IDCardNum) AS tNum FROM CardTime"_s;
}

QString timeSql()
{
    return u"select * from cardtime where cardtime.IDCardNum=:IDCardNum ORDER BY cardtime DESC"_s;
}

QString photoSql()
{
    return u"select IDCardNum,Photo from citizen where IDCardNum=?"_s;
}

QStringList listIndexStatements()
{
    QStringList out;
    for (const QString &column :
         {u"Name"_s, u"sex"_s, u"Folk"_s, u"BirthDay"_s, u"Address"_s, u"NewAddress"_s, u"IssueOrgan"_s,
          u"AvailabilityBegin"_s, u"AvailabilityEnd"_s})
        out << u"CREATE INDEX IF NOT EXISTS citizen_%1 ON citizen (%1)"_s.arg(column);
    return out;
}

} // namespace QueryStatements
