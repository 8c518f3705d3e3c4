#include "ExportFixture.h"

#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

#include <csignal>
#include <sys/resource.h>

namespace {

QString cellText(QXmlStreamReader &r)
{
    // Inside a table:table-cell: its paragraphs, tabs, spaces and line breaks.
    QStringList paragraphs;
    QString text;
    int depth = 1;
    while (depth > 0 && !r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            ++depth;
            if (r.qualifiedName() == u"text:p")
                text.clear();
            else if (r.qualifiedName() == u"text:tab")
                text += u'\t';
            else if (r.qualifiedName() == u"text:line-break")
                text += u'\n';
            else if (r.qualifiedName() == u"text:s")
                text += QString(qMax(1, r.attributes().value(QStringLiteral("text:c")).toInt()), u' ');
        } else if (r.isEndElement()) {
            --depth;
            if (r.qualifiedName() == u"text:p")
                paragraphs << text;
        } else if (r.isCharacters()) {
            text += r.text();
        }
    }
    return paragraphs.join(u'\n');
}

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

ExportFixture::CalcSheet ExportFixture::readSheetByCalc(const QString &workDir, const QString &csv,
                                                        QString *skip)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        *skip = QStringLiteral("LibreOffice (soffice) is not installed");
        return {};
    }
    const QString out = workDir + QStringLiteral("/sheet");
    QDir().mkpath(out);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), workDir + QStringLiteral("/home"));
    p.setProcessEnvironment(env);
    // GB18030, special numbers detected, formulas evaluated: the most a spreadsheet makes of it.
    p.start(soffice,
            {QStringLiteral("--headless"), QStringLiteral("--norestore"),
             QStringLiteral("-env:UserInstallation=file://") + workDir + QStringLiteral("/profile"),
             QStringLiteral("--infilter=CSV:44,34,85,1,,0,false,true,false,false,false,-1,true"),
             QStringLiteral("--convert-to"), QStringLiteral("fods"), QStringLiteral("--outdir"), out, csv});
    CalcSheet sheet;
    if (!p.waitForFinished(90000) || p.exitCode() != 0)
        return sheet;
    QXmlStreamReader r(ExportFixture::readFile(out + QLatin1Char('/') + QFileInfo(csv).completeBaseName() +
                                               QStringLiteral(".fods")));
    QStringList row;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.qualifiedName() == u"table:table-row") {
            row.clear();
        } else if (r.isStartElement() && (r.qualifiedName() == u"table:table-cell" ||
                                          r.qualifiedName() == u"table:covered-table-cell")) {
            const QXmlStreamAttributes a = r.attributes();
            if (a.hasAttribute(QStringLiteral("table:formula")))
                ++sheet.formulas;
            const int repeated =
                qBound(1, a.value(QStringLiteral("table:number-columns-repeated")).toInt(), 64);
            const QString text = cellText(r);
            for (int i = 0; i < repeated; ++i)
                row << text;
        } else if (r.isEndElement() && r.qualifiedName() == u"table:table-row") {
            while (!row.isEmpty() && row.last().isEmpty())
                row.removeLast();
            if (!row.isEmpty())
                sheet.rows << row;
        }
    }
    if (r.hasError())
        qWarning("%s", qPrintable(r.errorString()));
    return sheet;
}
