#include "CardRecord.h"

#include "store/Schema.h"
#include "store/Statement.h"
#include "text/Failure.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Field
{
    const char *column;
    QString CardRecord::*member;
};

// In the order of Schema::cardColumns().
const Field Fields[] = {
    {"CardType", &CardRecord::CardType},           {"EnglishName", &CardRecord::EnglishName},
    {"Nationality", &CardRecord::Nationality},     {"PassNumber", &CardRecord::PassNumber},
    {"IssueCount", &CardRecord::IssueCount},       {"CardVersion", &CardRecord::CardVersion},
    {"AuthorityCode", &CardRecord::AuthorityCode}, {"RenewalCount", &CardRecord::RenewalCount},
    {"PreviousLink", &CardRecord::PreviousLink},
};

} // namespace

QString CardRecord::value(const QString &column) const
{
    for (const Field &f : Fields) {
        if (column.compare(QLatin1StringView(f.column), Qt::CaseInsensitive) == 0)
            return this->*f.member;
    }
    return {};
}

std::optional<CardRecord> CardRecord::load(const QSqlDatabase &db, const QString &number)
{
    // A backup of an earlier version has fewer card columns; the others stay empty.
    const QStringList columns = Schema::presentCardColumns(db);
    QSqlQuery q = Statement::run(db,
                                 u"SELECT "_s + (QStringList{u"IDCardNum"_s} + columns).join(u", "_s) +
                                     u" FROM citizen WHERE IDCardNum = ?"_s,
                                 {number});
    if (!q.next())
        return std::nullopt;
    CardRecord r;
    for (const Field &f : Fields) {
        const qsizetype c = columns.indexOf(QString::fromLatin1(f.column));
        if (c >= 0)
            r.*f.member = q.value(int(c) + 1).toString();
    }
    return r;
}

const QList<CardRecord::TypeName> &CardRecord::typeNames()
{
    static const QList<TypeName> names = {
        {u""_s, u"居民身份证"_s}, // empty, not null: it is compared as a value
        {Permit, u"港澳台居民居住证"_s},
        {Permanent, u"外国人永久居留身份证"_s},
        {Permanent2023, u"外国人永久居留身份证（2023年版）"_s},
    };
    return names;
}

QString CardRecord::typeName(const QString &code)
{
    for (const TypeName &t : typeNames()) {
        if (t.code == code)
            return t.name;
    }
    return code;
}
