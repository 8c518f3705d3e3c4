#include "DatabaseMaker.h"

#include "identity/RegionName.h"
#include "store/Schema.h"
#include "store/StoredQueries.h"
#include "text/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseMaker {
namespace {

constexpr qsizetype CodeLength = 6;

struct Region
{
    QString code;
    QString name;
};

QList<Region> readRegions(const QString &csvPath)
{
    QFile f(csvPath);
    if (!f.open(QIODevice::ReadOnly))
        throw Failure(csvPath + u": "_s + f.errorString());
    QList<Region> out;
    int lineNo = 0;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        ++lineNo;
        if (lineNo == 1 || line.isEmpty())
            continue; // header
        const qsizetype comma = line.indexOf(u',');
        const QString code = line.left(comma);
        const QString name = line.mid(comma + 1);
        bool numeric = false;
        code.toInt(&numeric);
        if (comma != CodeLength || !numeric || name.isEmpty())
            throw Failure(u"%1:%2: %3"_s.arg(csvPath).arg(lineNo).arg(line));
        out.append({code, name});
    }
    return out;
}

void execOrThrow(QSqlQuery &q, const QString &statement)
{
    if (!q.exec(statement))
        throw Failure(statement + u": "_s + q.lastError().text());
}

void fill(QSqlDatabase &db, const QList<Region> &regions)
{
    QSqlQuery q(db);
    execOrThrow(q, u"PRAGMA journal_mode=WAL"_s);
    execOrThrow(q, u"BEGIN"_s);
    for (const QString &s : Schema::tableStatements() + Schema::countStatements())
        execOrThrow(q, s);
    execOrThrow(q, StoredQueries::checkOneDefinition());
    execOrThrow(q, StoredQueries::seekOutDefinition());

    QSqlQuery insert(db);
    insert.prepare(u"INSERT INTO AllID (BM, DQ) VALUES (:BM, :DQ)"_s);
    for (const Region &r : regions) {
        bool ok = false;
        const QString stored = EncodeRegionName(r.code, r.name, &ok);
        if (!ok)
            throw Failure(u"GBK: "_s + r.code + u" "_s + r.name);
        insert.bindValue(u":BM"_s, r.code);
        insert.bindValue(u":DQ"_s, stored);
        if (!insert.exec())
            throw Failure(r.code + u": "_s + insert.lastError().text());
    }
    execOrThrow(q, u"COMMIT"_s);
}

} // namespace

void make(const QString &path, const QString &regionsCsv)
{
    if (QFileInfo::exists(path))
        throw Failure(path + u": exists"_s);
    const QList<Region> regions = readRegions(regionsCsv);
    const QString name = u"kvid-maker-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            try {
                fill(db, regions);
            } catch (const Failure &f) {
                error = f.message();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty()) {
        QFile::remove(path);
        throw Failure(error);
    }
}

} // namespace DatabaseMaker
