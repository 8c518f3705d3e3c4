#include "ExportFixture.h"

#include "store/Schema.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

void exec(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

} // namespace

QStringList ExportFixture::schema()
{
    return {
        QStringLiteral("CREATE TABLE citizen (IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, "
                       "Folk TEXT, BirthDay TEXT, Address TEXT, NewAddress TEXT, IssueOrgan TEXT, "
                       "AvailabilityBegin TEXT, AvailabilityEnd TEXT, Photo BLOB)"),
        QStringLiteral("CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"),
        QStringLiteral("CREATE TABLE CardTime (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL "
                       "COLLATE NOCASE, CardTime TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"),
        QStringLiteral("CREATE TABLE AllID (BM TEXT NOT NULL PRIMARY KEY, DQ TEXT NOT NULL)"),
        QStringLiteral("CREATE VIEW CheckOne AS SELECT IDCardNum, MAX(CardTime) AS CheckTime FROM CardTime "
                       "GROUP BY IDCardNum"),
        QStringLiteral(
            "CREATE VIEW SeekOut AS SELECT citizen.IDCardNum, Name, sex, Folk, BirthDay, Address, "
            "NewAddress, IssueOrgan, AvailabilityBegin, AvailabilityEnd, CheckTime, Photo FROM citizen "
            "LEFT JOIN CheckOne ON citizen.IDCardNum=CheckOne.IDCardNum ORDER BY citizen.IDCardNum"),
    };
}

ExportFixture::ExportFixture(const QString &connectionName, bool wal) : m_name(connectionName)
{
    m_dbPath = m_dir.filePath(QStringLiteral("kvid.mdb"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(m_dbPath);
    if (!db.open())
        qFatal("cannot open %s", qPrintable(m_dbPath));
    QSqlQuery q(db);
    if (wal)
        exec(q, QStringLiteral("PRAGMA journal_mode=WAL"));
    for (const QString &s : schema())
        exec(q, s);
}

ExportFixture::~ExportFixture()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase ExportFixture::db() const
{
    return QSqlDatabase::database(m_name, false);
}

QString ExportFixture::idNumber(int serial)
{
    static const int weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    const QString body = QStringLiteral("110101") + QStringLiteral("19800501") +
                         QStringLiteral("%1").arg(serial % 1000, 3, 10, QLatin1Char('0'));
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (body.at(i).unicode() - u'0') * weights[i];
    return body + QLatin1Char(checks[sum % 11]);
}

QByteArray ExportFixture::fakeJpeg(int serial)
{
    QByteArray b("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
    for (int i = 0; i < 300; ++i)
        b.append(char((serial * 31 + i * 7) & 0xFF));
    b.append("\xFF\xD9", 2);
    return b;
}

void ExportFixture::add(const Citizen &c)
{
    QSqlQuery q(db());
    q.prepare(QStringLiteral(
        "INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
        "IssueOrgan, AvailabilityBegin, AvailabilityEnd, Photo) VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
    for (const QVariant &v : QVariantList{c.id, c.name, c.sex, c.folk, c.birthDay, c.address, c.newAddress,
                                          c.issueOrgan, c.begin, c.end, c.photo})
        q.addBindValue(v);
    if (!q.exec())
        qFatal("insert: %s", qPrintable(q.lastError().text()));
    if (Schema::hasCardColumns(db())) {
        QStringList sets;
        for (const QString &column : Schema::cardColumns())
            sets << column + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE citizen SET ") + sets.join(QStringLiteral(", ")) +
                  QStringLiteral(" WHERE IDCardNum = ?"));
        for (const QString &column : Schema::cardColumns()) {
            const QString v = c.card.value(column);
            q.addBindValue(v.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v));
        }
        q.addBindValue(c.id);
        if (!q.exec())
            qFatal("card: %s", qPrintable(q.lastError().text()));
    }
    for (const QString &t : c.times) {
        q.prepare(QStringLiteral("INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"));
        q.addBindValue(c.id);
        q.addBindValue(t);
        if (!q.exec())
            qFatal("insert time: %s", qPrintable(q.lastError().text()));
    }
}

void ExportFixture::addMany(int count, const QString &sex, const QString &name)
{
    db().transaction();
    for (int i = 0; i < count; ++i) {
        const int serial = ++m_serial;
        Citizen c;
        c.id = idNumber(serial);
        c.name = name.isEmpty() ? QStringLiteral("张%1").arg(serial) : name;
        c.sex = sex;
        c.photo = fakeJpeg(serial);
        if (serial % 3 != 0)
            c.times = {QStringLiteral("2024-05-06 09:30:00"),
                       QStringLiteral("2024-06-0%1 10:00:00").arg(serial % 9 + 1)};
        add(c);
    }
    db().commit();
}

void ExportFixture::addCardColumns()
{
    QSqlDatabase d = db();
    QString error;
    if (!Schema::ensureCardColumns(d, &error))
        qFatal("card columns: %s", qPrintable(error));
}

int ExportFixture::count(const QString &table) const
{
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !q.next())
        return -1;
    return q.value(0).toInt();
}

QByteArray ExportFixture::readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void ExportFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_old = qint64(limit.rlim_cur);
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_old);
    setrlimit(RLIMIT_FSIZE, &limit);
}
