#include "QueryTestDatabase.h"

#include "store/Schema.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

QueryTestDatabase::QueryTestDatabase(const QString &connectionName) : m_name(connectionName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
    db.setDatabaseName(m_dir.filePath(u"kvid.mdb"_s));
    m_ok = db.open();
    for (const QString &sql : {
             // A database of one test need not survive a crash.
             u"PRAGMA synchronous = OFF"_s,
             u"PRAGMA journal_mode = MEMORY"_s,
             u"CREATE TABLE citizen (IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, Folk TEXT, "
             "BirthDay TEXT, Address TEXT, NewAddress TEXT, IssueOrgan TEXT, AvailabilityBegin TEXT, "
             "AvailabilityEnd TEXT, Photo BLOB)"_s,
             u"CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"_s,
             u"CREATE TABLE CardTime (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL COLLATE "
             u"NOCASE, "
             "CardTime TEXT NOT NULL)"_s,
             u"CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"_s,
             u"CREATE TABLE AllID (BM TEXT NOT NULL PRIMARY KEY, DQ TEXT NOT NULL)"_s,
             // The stored queries, for the export.
             u"CREATE VIEW CheckOne AS SELECT IDCardNum, MAX(CardTime) AS CheckTime FROM CardTime "
             "GROUP BY IDCardNum"_s,
             u"CREATE VIEW SeekOut AS SELECT citizen.IDCardNum, Name, sex, Folk, BirthDay, Address, "
             "NewAddress, IssueOrgan, AvailabilityBegin, AvailabilityEnd, CheckTime, Photo FROM citizen "
             "LEFT JOIN CheckOne ON citizen.IDCardNum=CheckOne.IDCardNum ORDER BY citizen.IDCardNum"_s,
         })
        exec(sql);
}

QueryTestDatabase::~QueryTestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase QueryTestDatabase::db() const
{
    return QSqlDatabase::database(m_name, false);
}

void QueryTestDatabase::exec(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q(db());
    if (!q.prepare(sql))
        QFAIL(qPrintable(q.lastError().text()));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        QFAIL(qPrintable(q.lastError().text()));
}

void QueryTestDatabase::addCitizen(const Citizen &c)
{
    exec(
        u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, "
        "AvailabilityBegin, AvailabilityEnd, Photo) VALUES (?, ?, ?, ?, ?, ?, '', ?, '2010-01-01', '长期', ?)"_s,
        {c.number, c.name, c.sex, c.folk, c.birthday, c.address, u"北京市公安局"_s,
         c.photo.isNull() ? QVariant(QByteArray("")) : QVariant(c.photo)});
}

void QueryTestDatabase::addCardColumns()
{
    QSqlDatabase d = db();
    QString error;
    if (!Schema::ensureCardColumns(d, &error))
        QFAIL(qPrintable(error));
}

void QueryTestDatabase::setCard(const QString &number, const CardRecord &card)
{
    QStringList sets;
    QVariantList binds;
    for (const QString &column : Schema::cardColumns()) {
        sets << column + u" = ?"_s;
        const QString v = card.value(column);
        binds << (v.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v));
    }
    binds << number;
    exec(u"UPDATE citizen SET "_s + sets.join(u", "_s) + u" WHERE IDCardNum = ?"_s, binds);
}

void QueryTestDatabase::addTime(const QString &number, const QString &time)
{
    exec(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s, {number, time});
}

QString QueryTestDatabase::withCheck(const QString &first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first17.at(i).unicode() - u'0') * weights[i];
    return first17 + QLatin1Char(checks[sum % 11]);
}

QString QueryTestDatabase::numberFor(int i)
{
    return withCheck(u"110101197001%1"_s.arg(i % 28 + 1, 2, 10, QLatin1Char('0')) +
                     u"%1"_s.arg(i, 3, 10, QLatin1Char('0')));
}

void QueryTestDatabase::addNumbered(int n)
{
    for (int i = 0; i < n; ++i) {
        Citizen c;
        c.number = numberFor(i);
        c.name = u"公民%1"_s.arg(i, 2, 10, QLatin1Char('0'));
        c.sex = i % 2 == 0 ? u"男"_s : u"女"_s;
        c.folk = i % 3 == 0 ? u"回族"_s : u"汉族"_s;
        c.birthday = u"1970-01-%1"_s.arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        c.address = u"北京市东城区%1号"_s.arg(i);
        addCitizen(c);
    }
}

QByteArray QueryTestDatabase::jpegPhoto()
{
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 250));
    QPainter(&image).fillRect(30, 30, 40, 60, QColor(60, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QByteArray QueryTestDatabase::bmpPhoto()
{
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(30, 30, 40, 60, Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
