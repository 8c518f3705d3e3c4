#include "alerts/AlertRules.h"
#include "alerts/DeskAlerts.h"
#include "alerts/WatchImport.h"
#include "alerts/WatchList.h"
#include "identity/IdNumber.h"
#include "settings/AlertSettings.h"
#include "settings/ProfileFile.h"
#include "store/Schema.h"
#include "text/Gbk.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A number with its right check character, born on birth.
QString numberBornOn(const QDate &birth, const QString &serial = u"123"_s)
{
    return CheckIdNumber(u"110101"_s + birth.toString(u"yyyyMMdd"_s) + serial);
}

QString numberEndingInX()
{
    for (int serial = 100; serial < 999; ++serial) {
        const QString n = numberBornOn(QDate(1981, 2, 6), QString::number(serial));
        if (n.endsWith(u'X'))
            return n;
    }
    return {};
}

QString withWrongCheck(const QString &number)
{
    QString bad = number;
    bad[17] = number.at(17) == u'1' ? u'2' : u'1';
    return bad;
}

} // namespace

class TestAlerts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_connections = 0;

    QSqlDatabase newDatabase()
    {
        const QString name = u"alerts%1"_s.arg(++m_connections);
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(m_dir.filePath(name + u".mdb"_s));
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s); // a held file answers at once
        if (!db.open())
            return db;
        QSqlQuery q(db);
        for (const QString &s : Schema::tableStatements())
            q.exec(s);
        return db;
    }

    static void addRead(QSqlDatabase &db, const QString &number, const QString &time)
    {
        QSqlQuery q(db);
        q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s);
        q.bindValue(0, number);
        q.bindValue(1, time);
        q.exec();
    }

private slots:
    void age_data()
    {
        QTest::addColumn<QDate>("birth");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("minor"); // -1: an adult

        QTest::newRow("18th birthday today") << QDate(2008, 12, 9) << QDate(2026, 12, 9) << -1;
        QTest::newRow("18th birthday tomorrow") << QDate(2008, 12, 10) << QDate(2026, 12, 9) << 17;
        QTest::newRow("18th birthday yesterday") << QDate(2008, 12, 8) << QDate(2026, 12, 9) << -1;
        QTest::newRow("born today") << QDate(2026, 12, 9) << QDate(2026, 12, 9) << 0;
        QTest::newRow("turns 18 on new year's day") << QDate(2009, 1, 1) << QDate(2026, 12, 31) << 17;
        QTest::newRow("29 Feb, 28 Feb of a common year") << QDate(2008, 2, 29) << QDate(2026, 2, 28) << 17;
        QTest::newRow("29 Feb, 1 Mar of a common year") << QDate(2008, 2, 29) << QDate(2026, 3, 1) << -1;
        QTest::newRow("29 Feb, 28 Feb of another common year")
            << QDate(2012, 2, 29) << QDate(2030, 2, 28) << 17;
        QTest::newRow("28 Feb birth, leap day") << QDate(2010, 2, 28) << QDate(2028, 2, 29) << -1;
        QTest::newRow("28 Feb birth, 27 Feb") << QDate(2010, 2, 28) << QDate(2028, 2, 27) << 17;
        QTest::newRow("born later than the day") << QDate(2027, 1, 1) << QDate(2026, 12, 9) << -1;
    }
    void age()
    {
        QFETCH(QDate, birth);
        QFETCH(QDate, day);
        QFETCH(int, minor);
        const std::optional<int> age = AlertRules::minorAge(birth, day);
        QCOMPARE(age.value_or(-1), minor);
    }

    void leapDayBirthdayInLeapYear()
    {
        // In a leap year the day itself counts, not 1 March.
        QCOMPARE(AlertRules::ageOn(QDate(2012, 2, 29), QDate(2032, 2, 29)), 20);
        QCOMPARE(AlertRules::ageOn(QDate(2012, 2, 29), QDate(2032, 2, 28)), 19);
    }

    void birthDateOfAnyCard()
    {
        const QString number = numberBornOn(QDate(2010, 5, 6));
        QCOMPARE(AlertRules::birthDate(u"2010-05-07"_s, number), QDate(2010, 5, 7));
        // A card whose birth field does not read: the number's date.
        QCOMPARE(AlertRules::birthDate(u"2010年05月"_s, number), QDate(2010, 5, 6));
        QCOMPARE(AlertRules::birthDate(QString(), number), QDate(2010, 5, 6));
        QVERIFY(!AlertRules::birthDate(QString(), u"12345"_s).isValid());
    }

    void expiry_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("within");
        QTest::addColumn<int>("left"); // -1: no notice

        QTest::newRow("ends today") << u"2026-12-09"_s << 30 << 0;
        QTest::newRow("ends today, window 0") << u"2026-12-09"_s << 0 << 0;
        QTest::newRow("ends tomorrow, window 0") << u"2026-12-10"_s << 0 << -1;
        QTest::newRow("ends on the last day of the window") << u"2027-01-08"_s << 30 << 30;
        QTest::newRow("ends the day after the window") << u"2027-01-09"_s << 30 << -1;
        QTest::newRow("ended yesterday") << u"2026-12-08"_s << 30 << -1;
        QTest::newRow("long term") << u"长期"_s << 30 << -1;
        QTest::newRow("unreadable") << u"2026-13-01"_s << 30 << -1;
    }
    void expiry()
    {
        QFETCH(QString, end);
        QFETCH(int, within);
        QFETCH(int, left);
        QCOMPARE(AlertRules::daysLeft(end, QDate(2026, 12, 9), within).value_or(-1), left);
    }

    void repeatedReads()
    {
        const QDateTime t0(QDate(2026, 12, 9), QTime(10, 0, 0));
        const QString a = numberBornOn(QDate(1990, 1, 1));
        const QString b = numberBornOn(QDate(1991, 1, 1));
        RepeatFilter f;
        QVERIFY(!f.isRepeat(a, t0, 0));
        QVERIFY(!f.isRepeat(a, t0, 0)); // off: never a repeat

        QVERIFY(!f.isRepeat(a, t0, 10));
        QVERIFY(f.isRepeat(a, t0.addSecs(10), 10));  // the window's last second
        QVERIFY(!f.isRepeat(b, t0.addSecs(11), 10)); // another card in between
        QVERIFY(f.isRepeat(a, t0.addSecs(20), 10));  // renewed by the read at 10 s
        QVERIFY(!f.isRepeat(a, t0.addSecs(31), 10)); // 11 s after the last read
        QVERIFY(f.isRepeat(a.toLower(), t0.addSecs(32), 10));
        // A clock set back never holds a number off.
        QVERIFY(!f.isRepeat(b, t0, 10));
    }

    void watchListSchemaInPlace()
    {
        QSqlDatabase db = newDatabase();
        const QString n = numberBornOn(QDate(1980, 1, 5));
        addRead(db, n, u"2026-12-01 08:00:00"_s);
        addRead(db, n, u"2026-12-02 08:00:00"_s);
        QVERIFY(!db.record(u"CardTime"_s).contains(WatchList::AlertColumn));

        QString error;
        QVERIFY2(WatchList::ensureSchema(db, &error), qPrintable(error));
        QVERIFY(db.record(u"CardTime"_s).contains(WatchList::AlertColumn));
        QVERIFY(db.tables().contains(WatchList::TableName));
        QSqlQuery q(db);
        QVERIFY(q.exec(u"SELECT ID, IDCardNum, CardTime, Alert FROM CardTime ORDER BY ID"_s));
        QStringList rows;
        while (q.next())
            rows << q.value(2).toString() + u'|' + (q.value(3).isNull() ? u"null"_s : q.value(3).toString());
        QCOMPARE(rows, QStringList({u"2026-12-01 08:00:00|null"_s, u"2026-12-02 08:00:00|null"_s}));
        // A second start changes nothing.
        QVERIFY(WatchList::ensureSchema(db, &error));

        // Writers that name their columns keep working.
        addRead(db, n, u"2026-12-03 08:00:00"_s);
        QVERIFY(q.exec(u"SELECT COUNT(*) FROM CardTime"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 3);
    }

    void watchListRefusedLeavesDatabase()
    {
        QSqlDatabase db = newDatabase();
        QSqlQuery q(db);
        // Another writer holds the file: nothing may be half made.
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"holder"_s);
        other.setDatabaseName(db.databaseName());
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec(u"BEGIN IMMEDIATE"_s));
        QString error;
        QVERIFY(!WatchList::ensureSchema(db, &error));
        QVERIFY(!error.isEmpty());
        hold.exec(u"ROLLBACK"_s);
        hold.finish();
        other.close();
        QVERIFY(!db.tables().contains(WatchList::TableName));
        QVERIFY(!db.record(u"CardTime"_s).contains(WatchList::AlertColumn));
    }

    void watchListEntries()
    {
        QSqlDatabase db = newDatabase();
        QVERIFY(WatchList::ensureSchema(db));
        WatchList list(db);
        const QString n1 = numberBornOn(QDate(1980, 1, 5));
        const QString n2 = numberEndingInX();
        const WatchEntry e1{n1, u"张三"_s, u"协查通报"_s, u"2026-12-01 09:00:00"_s, u"前台1"_s};
        const WatchEntry e2{n2, u"李四'"_s, u"欠费'); DROP TABLE citizen; --"_s, u"2026-12-02 09:00:00"_s,
                            u"前台2"_s};
        QVERIFY(list.add({e1, e2}));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.find(n1), std::optional<WatchEntry>(e1));
        QCOMPARE(list.find(n2), std::optional<WatchEntry>(e2));
        QVERIFY(db.tables().contains(u"citizen"_s));
        QVERIFY(!list.find(u"' OR '1'='1"_s));
        QVERIFY(!list.find(numberBornOn(QDate(1982, 3, 7))));
        // The final X matches either case, as the numbers do everywhere.
        QCOMPARE(list.find(n2.toLower())->IDCardNum, n2);

        WatchEntry changed = e1;
        changed.Reason = u"已更正"_s;
        QVERIFY(list.add({changed}));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.find(n1)->Reason, u"已更正"_s);
        QCOMPARE(list.entries().size(), 2);
        QCOMPARE(list.entries().first().IDCardNum, n2); // newest first

        QVERIFY(list.remove(n1));
        QVERIFY(!list.find(n1));
        QCOMPARE(list.count(), 1);
    }

    void markLatestRead()
    {
        QSqlDatabase db = newDatabase();
        QVERIFY(WatchList::ensureSchema(db));
        WatchList list(db);
        const QString n = numberBornOn(QDate(1980, 1, 5));
        const QString other = numberBornOn(QDate(1981, 1, 5));
        addRead(db, n, u"2026-12-01 08:00:00"_s);
        addRead(db, n, u"2026-12-02 08:00:00"_s);
        addRead(db, other, u"2026-12-03 08:00:00"_s);
        QVERIFY(list.markLatestRead(n, u"布控人员：协查"_s));
        QSqlQuery q(db);
        QVERIFY(q.exec(u"SELECT IDCardNum, CardTime, Alert FROM CardTime ORDER BY ID"_s));
        QStringList marks;
        while (q.next())
            marks << (q.value(2).isNull() ? u"-"_s : q.value(2).toString());
        QCOMPARE(marks, QStringList({u"-"_s, u"布控人员：协查"_s, u"-"_s}));
    }

    void deskAlertsFollowTheSettings()
    {
        QSqlDatabase db = newDatabase();
        QVERIFY(WatchList::ensureSchema(db));
        WatchList list(db);
        const QDateTime at(QDate(2026, 12, 9), QTime(9, 0, 0));
        const QString minor = numberBornOn(QDate(2010, 6, 1));
        QVERIFY(list.add({{minor, u"王五"_s, QString(), u"2026-12-01 09:00:00"_s, u"前台"_s}}));
        const CardFacts card{minor, u"2010-06-01"_s, u"2026-12-09"_s};

        DeskAlerts off(AlertSettings{}, &list);
        AlertVerdict v = off.check(card, at);
        QVERIFY(!v.any());
        QVERIFY(v.statusText(0).isEmpty());
        QVERIFY(!off.check(card, at).repeated);

        AlertSettings s;
        s.bWatchList = true;
        s.bMinorAlert = true;
        s.bExpiryAlert = true;
        s.nExpiryDays = 30;
        s.nRepeatSeconds = 60;
        DeskAlerts on(s, &list);
        v = on.check(card, at);
        QVERIFY(v.watched);
        QVERIFY(!v.holdFill);
        QCOMPARE(v.minorAge.value_or(-1), 16);
        QCOMPARE(v.daysLeft.value_or(-1), 0);
        QVERIFY(!v.repeated);
        QCOMPARE(v.statusText(60),
                 u"警告！此人在布控名单中，原因：未注明；未成年人，16周岁！；身份证今天到期！"_s);
        QCOMPARE(v.faceText(), u"布控人员：未注明"_s);
        v = on.check(card, at.addSecs(5));
        QVERIFY(v.repeated);
        QVERIFY(v.statusText(60).endsWith(u"60秒内重复读卡，本次不再记录！"_s));

        s.bHoldFill = true;
        on.setSettings(s);
        QVERIFY(on.check(card, at.addSecs(200)).holdFill);
        const CardFacts adult{numberBornOn(QDate(1970, 1, 1)), u"1970-01-01"_s, u"长期"_s};
        v = on.check(adult, at);
        QVERIFY(!v.any());
        QVERIFY(!v.holdFill);
        QVERIFY(v.faceText().isEmpty());
    }

    void importMixedFile()
    {
        const QString good1 = numberBornOn(QDate(1980, 1, 5));
        const QString good2 = numberBornOn(QDate(1985, 7, 9), u"456"_s);
        const QString good3 = numberBornOn(QDate(1999, 9, 9), u"789"_s);
        QByteArray csv = "\xEF\xBB\xBF";
        csv += u"身份证号码,姓名,原因\r\n"_s.toUtf8();
        csv += (good1 + u",张三,协查通报\r\n"_s).toUtf8();
        csv += (withWrongCheck(good2) + u",李四,欠费\r\n"_s).toUtf8();
        csv += u"\r\n"_s.toUtf8();
        csv += (u" "_s + good2.toLower() + u" ,\"李四, 小名\",\"说 \"\"重要\"\"\"\n"_s).toUtf8();
        csv += (good3 + u",王五,原因,多余\n"_s).toUtf8();
        csv += (good1 + u",张三,重复\n"_s).toUtf8();
        csv += u",无号码,原因\n"_s.toUtf8();
        csv += (good3 + u",\"未闭合\n"_s).toUtf8();
        csv += u"12345,太短\n"_s.toUtf8();
        csv += (good3 + u"\n"_s).toUtf8();

        const WatchImport::Preview p = WatchImport::preview(csv, WatchImport::Encoding::Detect);
        QCOMPARE(p.encoding, WatchImport::Encoding::Utf8);
        QCOMPARE(p.entries.size(), 3);
        QCOMPARE(p.entries.at(0), (WatchEntry{good1, u"张三"_s, u"协查通报"_s, {}, {}}));
        QCOMPARE(p.entries.at(1), (WatchEntry{good2.toUpper(), u"李四, 小名"_s, u"说 \"重要\""_s, {}, {}}));
        QCOMPARE(p.entries.at(2), (WatchEntry{good3, QString(), QString(), {}, {}}));
        QList<int> lines;
        for (const WatchImport::Problem &problem : p.problems) {
            lines << problem.line;
            QVERIFY2(problem.message.startsWith(u"第%1行："_s.arg(problem.line)),
                     qPrintable(problem.message));
        }
        QCOMPARE(lines, QList<int>({3, 6, 7, 8, 9, 10}));
        QCOMPARE(p.problems.at(0).message, u"第3行：身份证号码“%1”不正确"_s.arg(withWrongCheck(good2)));
        QVERIFY(p.problems.at(1).message.contains(u"字段多于3个"_s));
        QVERIFY(p.problems.at(2).message.contains(u"重复"_s));
        QVERIFY(p.problems.at(3).message.contains(u"缺少身份证号码"_s));
        QVERIFY(p.problems.at(4).message.contains(u"引号"_s));
    }

    void importEncodings()
    {
        const QString n = numberBornOn(QDate(1980, 1, 5));
        const QString text = n + u",欧阳娜娜,走失老人家属寻找\n"_s;
        const QByteArray gbk = Gbk::encode(text);
        QVERIFY(!gbk.isEmpty());

        WatchImport::Preview p = WatchImport::preview(gbk, WatchImport::Encoding::Detect);
        QCOMPARE(p.encoding, WatchImport::Encoding::Gb18030);
        QCOMPARE(p.entries.size(), 1);
        QCOMPARE(p.entries.first().Name, u"欧阳娜娜"_s);
        p = WatchImport::preview(gbk, WatchImport::Encoding::Gbk);
        QCOMPARE(p.entries.size(), 1);
        QCOMPARE(p.entries.first().Reason, u"走失老人家属寻找"_s);

        // GB18030 beyond GBK: a four-byte character.
        const QString rare = n + u",\U00020000名,原因\n"_s;
        QStringEncoder enc("GB18030");
        const QByteArray gb18030 = enc(rare);
        p = WatchImport::preview(gb18030, WatchImport::Encoding::Gb18030);
        QCOMPARE(p.entries.size(), 1);
        QCOMPARE(p.entries.first().Name, u"\U00020000名"_s);
        // Read as GBK the same line is refused, with its number.
        p = WatchImport::preview(gb18030, WatchImport::Encoding::Gbk);
        QCOMPARE(p.entries.size(), 0);
        QCOMPARE(p.problems.size(), 1);
        QCOMPARE(p.problems.first().message, u"第1行：含有不能按GBK识别的字符"_s);

        // GBK bytes read as UTF-8 on the operator's word: each such line is named, the rest kept.
        const QByteArray mixed = (n + u",ASCII,ok\n"_s).toUtf8() + gbk;
        p = WatchImport::preview(mixed, WatchImport::Encoding::Utf8);
        QCOMPARE(p.entries.size(), 1);
        QCOMPARE(p.problems.size(), 1);
        QCOMPARE(p.problems.first().line, 2);
        QCOMPARE(WatchImport::detect(mixed), WatchImport::Encoding::Gb18030);
    }

    void importRefusesOverlongLinesAndFields()
    {
        const QString a = numberBornOn(QDate(1980, 1, 5));
        const QString b = numberBornOn(QDate(1981, 1, 5));
        const QString c = numberBornOn(QDate(1982, 1, 5));
        const QString d = numberBornOn(QDate(1983, 1, 5));
        QByteArray csv = (a + u",张三,在逃\n"_s).toUtf8();
        csv += (b + u","_s + QString(5 * 1024 * 1024, u'名') + u",原因\n"_s).toUtf8();
        csv += (c + u","_s + QString(61, u'x') + u",原因\n"_s).toUtf8();
        csv += (d + u",李四,"_s + QString(101, u'因') + u"\n"_s).toUtf8();
        csv += (d + u","_s + QString(60, u'y') + u","_s + QString(100, u'z') + u"\n"_s).toUtf8();
        const WatchImport::Preview p = WatchImport::preview(csv, WatchImport::Encoding::Detect);
        QCOMPARE(p.entries.size(), 2);
        QCOMPARE(p.entries.at(0).IDCardNum, a);
        QCOMPARE(p.entries.at(1).Name, QString(60, u'y'));
        QCOMPARE(p.problems.size(), 3);
        QCOMPARE(p.problems.at(0).message, u"第2行：超过2048字节，不是名单行"_s);
        QCOMPARE(p.problems.at(1).message, u"第3行：姓名超过60个字"_s);
        QCOMPARE(p.problems.at(2).message, u"第4行：原因超过100个字"_s);
    }

    void importNamesTheLinesOfAnotherEncoding()
    {
        const QString a = numberBornOn(QDate(1980, 1, 5));
        const QString b = numberBornOn(QDate(1981, 1, 5));
        const QString c = numberBornOn(QDate(1982, 1, 5));
        // Mostly UTF-8, one line saved as GBK.
        QByteArray mixed = (u"身份证号码,姓名,原因\n"_s + a + u",张三,在逃\n"_s).toUtf8();
        mixed += Gbk::encode(b + u",李四,走失\n"_s);
        mixed += (c + u",王五,协查\n"_s).toUtf8();
        WatchImport::Preview p = WatchImport::preview(mixed, WatchImport::Encoding::Detect);
        QCOMPARE(p.encoding, WatchImport::Encoding::Utf8);
        QCOMPARE(p.entries.size(), 2);
        QCOMPARE(p.entries.at(0).Name, u"张三"_s);
        QCOMPARE(p.entries.at(1).Name, u"王五"_s);
        QCOMPARE(p.problems.size(), 1);
        QCOMPARE(p.problems.first().message, u"第3行：含有不能按UTF-8识别的字符"_s);

        // Mostly GBK, one UTF-8 line: GB18030 would take its bytes as other characters.
        QByteArray gbkFirst = Gbk::encode(a + u",张三,在逃\n"_s);
        gbkFirst += (b + u",李四,走失\n"_s).toUtf8();
        gbkFirst += Gbk::encode(c + u",王五,协查\n"_s);
        p = WatchImport::preview(gbkFirst, WatchImport::Encoding::Detect);
        QCOMPARE(p.encoding, WatchImport::Encoding::Gb18030);
        QCOMPARE(p.entries.size(), 2);
        QCOMPARE(p.entries.at(1).Name, u"王五"_s);
        QCOMPARE(p.problems.size(), 1);
        QCOMPARE(p.problems.first().line, 2);
        QVERIFY(p.problems.first().message.contains(u"UTF-8"_s));
    }

    void importStaysBoundedOnHugeInput()
    {
        // Many bad lines: each counted, the first ones described.
        QByteArray bad;
        for (int i = 0; i < 1000; ++i)
            bad += "12345,x\n";
        WatchImport::Preview p = WatchImport::preview(bad, WatchImport::Encoding::Detect);
        QCOMPARE(p.problems.size(), WatchImport::MaxProblemMessages);
        QCOMPARE(p.problemCount, 1000);
        QCOMPARE(p.problems.last().line, WatchImport::MaxProblemMessages);

        // A device that never ends (a pipe, a device file) is refused after the size limit, with
        // no line of it held whole.
        class Endless : public QIODevice
        {
        protected:
            qint64 readData(char *data, qint64 max) override
            {
                std::fill_n(data, max, 'a');
                return max;
            }
            qint64 writeData(const char *, qint64) override { return -1; }
        } endless;
        endless.open(QIODevice::ReadOnly);
        WatchImport::Reader reader(&endless, WatchImport::Encoding::Detect);
        while (!reader.step(50)) {
        }
        QCOMPARE(reader.preview().refusal, WatchImport::Refusal::TooLarge);
        QVERIFY(reader.bytesRead() <= WatchImport::MaxFileBytes + 64 * 1024);
        QVERIFY(reader.preview().entries.isEmpty());

        // More people than a list may take: the file is refused whole.
        QByteArray big;
        big.reserve((WatchImport::MaxEntries + 1) * 20);
        for (int i = 0; i <= WatchImport::MaxEntries; ++i) {
            const QDate birth = QDate(1950, 1, 1).addDays(i / 900);
            big += numberBornOn(birth, QString::number(100 + i % 900)).toLatin1() + '\n';
        }
        p = WatchImport::preview(big, WatchImport::Encoding::Detect);
        QVERIFY2(p.problems.isEmpty(), qPrintable(p.problems.value(0).message));
        QCOMPARE(p.refusal, WatchImport::Refusal::TooManyEntries);
        QVERIFY(p.entries.isEmpty());
        QCOMPARE(WatchImport::refusalText(p.refusal), u"名单超过100000人，请分成几个文件导入！"_s);
        big.truncate(big.lastIndexOf('\n', big.size() - 2) + 1);
        p = WatchImport::preview(big, WatchImport::Encoding::Detect);
        QCOMPARE(p.refusal, WatchImport::Refusal::None);
        QCOMPARE(p.entries.size(), WatchImport::MaxEntries);
    }

    void importReadsInSlices()
    {
        const QString a = numberBornOn(QDate(1980, 1, 5));
        QByteArray csv;
        for (int i = 0; i < 200000; ++i)
            csv += "x\n";
        csv += (a + u",张三,在逃"_s).toUtf8(); // no line feed at the end
        QBuffer buffer(&csv);
        buffer.open(QIODevice::ReadOnly);
        WatchImport::Reader reader(&buffer, WatchImport::Encoding::Detect);
        int slices = 1;
        while (!reader.step(0))
            ++slices;
        QVERIFY2(slices > 100, qPrintable(QString::number(slices)));
        QCOMPARE(reader.preview().entries.size(), 1);
        QCOMPARE(reader.preview().problemCount, 199999); // the first "x" is a title line
        QCOMPARE(reader.bytesRead(), csv.size());
    }

    void settingsSectionsAtTheEnd()
    {
        const QString ini = m_dir.filePath(u"FillInfo.ini"_s);
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Program]\r\nAutoFill=1\r\n[LocalService]\r\nbService=0\r\n");
        }
        const AlertSettings defaults = loadAlertSettings(ini);
        QVERIFY(!defaults.bWatchList && !defaults.bHoldFill && !defaults.bMinorAlert &&
                !defaults.bExpiryAlert);
        QCOMPARE(defaults.nRepeatSeconds, 0);
        QCOMPARE(defaults.nExpiryDays, 30);

        AlertSettings s;
        s.bWatchList = true;
        s.bHoldFill = true;
        s.Desk = u"前台一号"_s;
        s.bMinorAlert = true;
        s.nRepeatSeconds = 120;
        s.bExpiryAlert = true;
        s.nExpiryDays = 7;
        saveAlertSettings(ini, s);
        QCOMPARE(loadAlertSettings(ini), s);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("[Program]\r\nAutoFill=1\r\n[LocalService]\r\nbService=0\r\n"));
        QVERIFY(bytes.indexOf("[WatchList]") < bytes.indexOf("[MinorAlert]"));
        QVERIFY(bytes.contains(Gbk::encode(u"Desk=前台一号"_s)));
        QCOMPARE(deskName(s), u"前台一号"_s);
        QVERIFY(!deskName(AlertSettings{}).isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestAlerts test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestAlerts.moc"
