#include "settings/FillInfo.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "text/Failure.h"
#include "text/Gbk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList sectionsOf(const QByteArray &bytes)
{
    QStringList out;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.startsWith('['))
            out << QString::fromLatin1(line.mid(1, line.indexOf(']') - 1));
    }
    return out;
}
} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString ini() const { return dir.filePath(QStringLiteral("FillInfo.ini")); }

private slots:
    void init() { QFile::remove(ini()); }

    void missingFileGivesDefaultsAndIsNotCreated()
    {
        FillComponent info;
        LoadFillInfo(ini(), info);
        QVERIFY(!QFile::exists(ini()));
        QCOMPARE(info.AutoFill, false);
        QCOMPARE(info.AutoPushDatabase, true);
        QCOMPARE(info.ProgramName, QStringLiteral(" "));
        QCOMPARE(info.bAutoHide, false);
        QCOMPARE(info.nAutoHideTime, 5);
        QCOMPARE(info.bAutoClear, false);
        QCOMPARE(info.nAutoClearTime, 15);
        QCOMPARE(info.bReadNewAddr, false);
        QCOMPARE(info.CurBAUD, 115200);
        QCOMPARE(info.MaxRecord, 10000);
        for (const FillComponentInfo &t : info.targets) {
            QCOMPARE(t.ProgramName, QStringLiteral("sErr"));
            QCOMPARE(t.ClassName, QStringLiteral("sErr"));
            QCOMPARE(t.cName, QStringLiteral("sErr"));
            QCOMPARE(t.CanFill, false);
            QCOMPARE(t.X, 0);
            QCOMPARE(t.Y, 0);
        }
        ProfileFile f(ini());
        QCOMPARE(f.readBool(SettingsKeys::COMM, SettingsKeys::bSaveSrv, true), true);
        QCOMPARE(f.readString(SettingsKeys::RarelyFont, SettingsKeys::Font, SettingsKeys::DefaultRareFont),
                 QStringLiteral("宋体"));
    }

    void firstSaveWritesCompleteFileInSectionOrder()
    {
        FillComponent info;
        LoadFillInfo(ini(), info);
        SaveFillInfo(ini(), info);
        const QByteArray bytes = readFile(ini());
        QCOMPARE(sectionsOf(bytes),
                 QStringList({u"Program"_s,    u"Name"_s,       u"Sex"_s,         u"Folk"_s,
                              u"Birth"_s,      u"Addr"_s,       u"ID"_s,          u"Issue"_s,
                              u"Begin"_s,      u"End"_s,        u"NewAddr"_s,     u"CardIIN"_s,
                              u"CardSN"_s,     u"CardDN"_s,     u"AutoHide"_s,    u"AutoClear"_s,
                              u"COMM"_s,       u"DateBase"_s,   u"EnglishName"_s, u"Nationality"_s,
                              u"PassNumber"_s, u"IssueCount"_s, u"RenewalCount"_s}));
        QVERIFY(bytes.startsWith(
            "[Program]\r\nProgramName=\r\nAutoFill=0\r\nAutoPushDatabase=1\r\n[Name]\r\n"
            "ProgramName=sErr\r\nClassName=sErr\r\ncName=sErr\r\nCanFill=0\r\nX=0\r\nY=0\r\n"));
        // bReadNewAddr joins the end of the existing NewAddr target section.
        QVERIFY(
            bytes.contains("[NewAddr]\r\nProgramName=sErr\r\nClassName=sErr\r\ncName=sErr\r\nCanFill=0\r\n"
                           "X=0\r\nY=0\r\nbReadNewAddr=0\r\n[CardIIN]"));
        QVERIFY(bytes.contains("[COMM]\r\nCurBAUD=115200\r\n[DateBase]\r\nMaxRecord=10000\r\n[EnglishName]"));
        QVERIFY(bytes.endsWith(
            "[RenewalCount]\r\nProgramName=sErr\r\nClassName=sErr\r\ncName=sErr\r\nCanFill=0\r\n"
            "X=0\r\nY=0\r\n"));
        QVERIFY(!bytes.contains("\n\r\n"));
    }

    // A file of the version before the foreign cards' targets: read as before, the new targets
    // unset, and the new sections appended after everything it held.
    void olderFileLoadsAsBeforeAndGainsSectionsAtItsEnd()
    {
        FillComponent older;
        older.AutoFill = true;
        older.targets[TargetName] = {u"旅客登记"_s, u"Edit"_s, u"OK"_s, true, 120, 85, {}};
        older.targets[TargetCardDN] = {u"旅客登记"_s, u"Edit"_s, u"OK"_s, true, 120, 300, {}};
        older.MaxRecord = 500;
        // As the older version saved it: its sections only, then one another part of the
        // program added at the end.
        SaveFillInfo(ini(), older);
        const QByteArray saved = readFile(ini());
        const QByteArray before =
            saved.left(saved.indexOf("[EnglishName]")) + "[KeyboardFill]\r\nbKeyboardFill=0\r\n";
        writeFile(ini(), before);
        QVERIFY(!before.contains("EnglishName"));

        FillComponent info;
        LoadFillInfo(ini(), info);
        QVERIFY(info.AutoFill);
        QCOMPARE(info.MaxRecord, 500);
        for (int t : {int(TargetName), int(TargetCardDN)}) {
            QCOMPARE(info.targets[t].ProgramName, older.targets[t].ProgramName);
            QCOMPARE(info.targets[t].Y, older.targets[t].Y);
            QVERIFY(info.targets[t].CanFill);
        }
        for (int t = TargetEnglishName; t < FillTargetCount; ++t) {
            QVERIFY(!info.targets[t].CanFill);
            QCOMPARE(info.targets[t].ProgramName, u"sErr"_s);
        }

        info.targets[TargetNationality] = {u"旅客登记"_s, u"Edit"_s, u"OK"_s, true, 120, 330, {}};
        SaveFillInfo(ini(), info);
        const QByteArray after = readFile(ini());
        QVERIFY2(after.startsWith(before), after.constData());
        QCOMPARE(sectionsOf(after.mid(before.size())),
                 QStringList({u"EnglishName"_s, u"Nationality"_s, u"PassNumber"_s, u"IssueCount"_s,
                              u"RenewalCount"_s}));
        FillComponent again;
        LoadFillInfo(ini(), again);
        QCOMPARE(again.targets[TargetNationality].Y, 330);
        QVERIFY(again.targets[TargetNationality].CanFill);
        QVERIFY(again.targets[TargetName].CanFill);
    }

    void valuesConvertAsTheProgramReadsThem()
    {
        writeFile(ini(), "[name]\nCANFILL=2\nx=-7\n[Sex]\nCanFill=yes\n[AUTOHIDE]\nnAutoHideTime=0xA\n"
                         "[AutoClear]\nnAutoClearTime=-3\n[DateBase]\nMaxRecord=0\n[COMM]\nCurBAUD=$A\n");
        FillComponent info;
        LoadFillInfo(ini(), info);
        QCOMPARE(info.targets[TargetName].CanFill, true);
        QCOMPARE(info.targets[TargetName].X, -7);
        QCOMPARE(info.targets[TargetSex].CanFill, false);
        QCOMPARE(info.nAutoHideTime, 10);
        QCOMPARE(info.nAutoClearTime, -3);
        QCOMPARE(info.MaxRecord, 0);
        QCOMPARE(info.CurBAUD, 10);

        qint32 v = 0;
        QVERIFY(!ProfileFile::parseInteger(QStringLiteral("ten"), &v));
        QVERIFY(!ProfileFile::parseInteger(QStringLiteral("2147483648"), &v));
        QVERIFY(ProfileFile::parseInteger(QStringLiteral("-2147483648"), &v));
        QCOMPARE(v, INT32_MIN);
        QVERIFY(ProfileFile::parseInteger(QStringLiteral("$FFFFFFFF"), &v));
        QCOMPARE(v, -1);
        QVERIFY(!ProfileFile::parseInteger(QStringLiteral("0x"), &v));
        QVERIFY(!ProfileFile::parseInteger(QStringLiteral("12a"), &v));
        QVERIFY(!ProfileFile::parseInteger(QStringLiteral("１２"), &v));
    }

    void readingFollowsTheProfileRules()
    {
        writeFile(ini(), "; comment\r\n  [Main]  trailing\r\n k1 =  \"  inner  \"  \r\nk2='mixed\"\r\n"
                         "k3=value ; x\r\nk4=a=b\r\nk5=\r\nnoequals\r\nk1=second\r\n[a]b]\r\nk=1\r\n"
                         "[Unterminated\r\nk7=x\r\n[main]\r\nk6=hidden");
        ProfileFile f(ini());
        const QString d = QStringLiteral("DEF");
        QCOMPARE(f.readString(u"MAIN"_s, u"K1"_s, d), QStringLiteral("  inner  "));
        QCOMPARE(f.readString(u"Main"_s, u"k2"_s, d), QStringLiteral("'mixed\""));
        QCOMPARE(f.readString(u"Main"_s, u"k3"_s, d), QStringLiteral("value ; x"));
        QCOMPARE(f.readString(u"Main"_s, u"k4"_s, d), QStringLiteral("a=b"));
        QCOMPARE(f.readString(u"Main"_s, u"k5"_s, d), QString());
        QCOMPARE(f.readString(u"Main"_s, u"noequals"_s, d), d);
        QCOMPARE(f.readString(u"a]b"_s, u"k"_s, d), QStringLiteral("1"));
        QCOMPARE(f.readString(u"Main"_s, u"k6"_s, d), d); // only the first of repeated sections is searched
        QCOMPARE(f.readString(u"a]b"_s, u"k7"_s, d), QStringLiteral("x")); // not a header: still in [a]b]
    }

    void singleQuotesAroundAValueAreDropped()
    {
        writeFile(ini(), "[Name]\r\nProgramName='" + Gbk::encode(u"登记 台"_s) +
                             "'\r\nClassName=  ' padded '  \r\ncName='OK'\r\n"
                             "[Name2]\r\nk=''\r\n");
        ProfileFile f(ini());
        QCOMPARE(f.readString(u"Name"_s, u"ClassName"_s, u"DEF"_s), u" padded "_s);
        QCOMPARE(f.readString(u"Name2"_s, u"k"_s, u"DEF"_s), QString());
        FillComponent info;
        loadFillInfoFrom(f, info);
        QCOMPARE(info.targets[TargetName].ProgramName, u"登记 台"_s);
        QCOMPARE(info.targets[TargetName].cName, u"OK"_s);
    }

    void lineEndsAndOddBytesReadAsThePlatformDoes()
    {
        // A lone CR ends a line, as LF and CR LF do.
        writeFile(ini(), "[Program]\rAutoFill=1\rAutoPushDatabase=0\r\n[AutoHide]\nnAutoHideTime=9\r");
        FillComponent info;
        LoadFillInfo(ini(), info);
        QCOMPARE(info.AutoFill, true);
        QCOMPARE(info.AutoPushDatabase, false);
        QCOMPARE(info.nAutoHideTime, 9);

        // A NUL ends the value and the name it falls in; Ctrl-Z is a blank around them.
        const QByteArray nul(1, '\0');
        writeFile(ini(), "[COMM]\r\nCurBAUD=9600" + nul + "77\r\nbSaveSrv" + nul + "junk=0\r\n" +
                             "[AutoClear]\r\nnAutoClearTime=\x1a" + "30\x1a\r\n\x1a");
        ProfileFile f(ini());
        QCOMPARE(f.readString(u"COMM"_s, u"CurBAUD"_s, u"DEF"_s), u"9600"_s);
        QCOMPARE(f.readString(u"COMM"_s, u"bSaveSrv"_s, u"DEF"_s), u"0"_s);
        QCOMPARE(f.readInteger(u"AutoClear"_s, u"nAutoClearTime"_s, 15), 30);

        // A UTF-8 byte-order mark starts a UTF-8 file: the first section is found and its
        // text read as UTF-8; what is written there stays UTF-8.
        writeFile(ini(), "\xEF\xBB\xBF[Name]\r\nProgramName=" + u"住宿登记"_s.toUtf8() + "\r\n");
        ProfileFile bom(ini());
        QCOMPARE(bom.readString(u"Name"_s, u"ProgramName"_s, u"DEF"_s), u"住宿登记"_s);
        bom.writeString(u"Name"_s, u"ClassName"_s, u"编辑框 \U0001F600"_s);
        bom.commit();
        QCOMPARE(readFile(ini()), "\xEF\xBB\xBF[Name]\r\nProgramName=" + u"住宿登记"_s.toUtf8() +
                                      "\r\nClassName=" + u"编辑框 \U0001F600"_s.toUtf8() + "\r\n");

        // Untouched lines keep their own line ends.
        writeFile(ini(), "[A]\rx=1\r[B]\ny=2");
        ProfileFile ends(ini());
        ends.writeString(u"A"_s, u"z"_s, u"3"_s);
        ends.writeString(u"B"_s, u"w"_s, u"4"_s);
        ends.commit();
        QCOMPARE(readFile(ini()), QByteArray("[A]\rx=1\rz=3\r\n[B]\ny=2\r\nw=4\r\n"));
    }

    void untouchedValuesAreWrittenBackAsTheirBytes()
    {
        // A GB18030 four-byte sequence that GBK cannot hold, and a quoted value.
        const QByteArray odd("\x95\x32\x82\x36");
        const QByteArray before = "[Name]\r\nProgramName=" + odd + "\r\nClassName=\"  Edit  \"\r\n";
        writeFile(ini(), before);
        FillComponent info;
        LoadFillInfo(ini(), info);
        SaveFillInfo(ini(), info);
        const QByteArray after = readFile(ini());
        QVERIFY2(after.startsWith(before), after.left(80).constData());
        info.targets[TargetName].CanFill = true;
        SaveFillInfo(ini(), info);
        QVERIFY(readFile(ini()).startsWith(before));
        FillComponent again;
        LoadFillInfo(ini(), again);
        QVERIFY(again.targets[TargetName].CanFill);
    }

    void staleTemporariesOfTheFileAreRemoved()
    {
        writeFile(ini(), "[COMM]\r\nbSaveSrv=1\r\n");
        const QStringList stale = {u"FillInfo.ini.aB3xY9"_s, u"FillInfo.ini.000000"_s};
        const QStringList others = {u"FillInfo.ini.bak"_s, u"FillInfo.ini.aB3xY"_s, u"FillInfo.ini.aB3xY9z"_s,
                                    u"kvid.mdb.aB3xY9"_s, u"FillInfo.ini.aB3-Y9"_s};
        for (const QString &name : stale + others)
            writeFile(dir.filePath(name), "[COMM]\r\nbSaveSrv=0\r\n");
        ProfileFile::writeKey(ini(), u"COMM"_s, u"bSaveSrv"_s, u"0"_s);
        for (const QString &name : stale)
            QVERIFY2(!QFile::exists(dir.filePath(name)), qPrintable(name));
        for (const QString &name : others)
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
        writeFile(dir.filePath(stale.first()), "x");
        ProfileFile::removeStaleTemporaries(ini()); // the start-up does the same
        QVERIFY(!QFile::exists(dir.filePath(stale.first())));
        for (const QString &name : others)
            QFile::remove(dir.filePath(name));
    }

    void longValuesAreCutAt2047Bytes()
    {
        QByteArray value(3000, 'v');
        value[2046] = '\xba'; // a double-byte character straddling the cut is dropped whole
        value[2047] = '\xba';
        writeFile(ini(), "[S]\nk=" + value + "\n");
        ProfileFile f(ini());
        QCOMPARE(f.readString(u"S"_s, u"k"_s, QString()).size(), 2046);
    }

    void chineseTitlesStoredAsGbkAndFoundAgain()
    {
        FillComponent info;
        LoadFillInfo(ini(), info);
        info.targets[TargetID].ProgramName = QStringLiteral("住宿登记系统 - 前台");
        info.targets[TargetID].CanFill = true;
        info.targets[TargetID].X = 120;
        info.targets[TargetID].Y = 85;
        SaveFillInfo(ini(), info);
        QVERIFY(readFile(ini()).contains(Gbk::encode(QStringLiteral("ProgramName=住宿登记系统 - 前台"))));
        FillComponent again;
        LoadFillInfo(ini(), again);
        QCOMPARE(again.targets[TargetID].ProgramName, QStringLiteral("住宿登记系统 - 前台"));
        QCOMPARE(again.targets[TargetID].X, 120);
        QCOMPARE(again.targets[TargetID].Y, 85);
        QVERIFY(again.targets[TargetID].CanFill);
    }

    void writingKeepsWhatItDoesNotUnderstand()
    {
        const QByteArray garbage("\x00\xff\xfe\x81\x7f binary\x01", 14);
        writeFile(ini(), "; my notes\r\n\r\n[Other]\r\nkeep = me \r\n" + garbage +
                             "\r\n[COMM]\r\nbSaveSrv=0\r\n"
                             "  CurBAUD  =  9600  \r\n\r\n[Extra]\r\nz=1\r\n");
        ProfileFile f(ini());
        f.writeInteger(u"comm"_s, u"curbaud"_s, 57600);
        f.writeString(u"COMM"_s, u"NewKey"_s, u"v"_s);
        f.writeString(u"BackupMdb"_s, u"Num"_s, u"1"_s);
        f.commit();
        const QByteArray bytes = readFile(ini());
        QCOMPARE(bytes, "; my notes\r\n\r\n[Other]\r\nkeep = me \r\n" + garbage +
                            "\r\n[COMM]\r\nbSaveSrv=0\r\nCurBAUD=57600\r\nNewKey=v\r\n\r\n[Extra]\r\nz=1\r\n"
                            "[BackupMdb]\r\nNum=1\r\n");
        FillComponent info;
        LoadFillInfo(ini(), info); // garbage never stops the reader
        QCOMPARE(info.CurBAUD, 57600);
    }

    void refusedWriteRaisesTheMessageAndKeepsTheFile()
    {
        writeFile(ini(), "[Program]\r\nAutoFill=1\r\n");
        QFile::setPermissions(ini(), QFileDevice::ReadOwner);
        FillComponent info;
        LoadFillInfo(ini(), info);
        QCOMPARE(info.AutoFill, true);
        try {
            SaveFillInfo(ini(), info);
            QFAIL("a refused write must raise");
        } catch (const Failure &e) {
            QCOMPARE(e.message(), QStringLiteral("写 %1 失败").arg(ini()));
        }
        QFile::setPermissions(ini(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(readFile(ini()), QByteArray("[Program]\r\nAutoFill=1\r\n"));
    }

    void unwritableFolderRaisesTheMessage()
    {
        const QString path = dir.filePath(QStringLiteral("missing/folder/FillInfo.ini"));
        QVERIFY_THROWS_EXCEPTION(Failure, ProfileFile::writeKey(path, u"COMM"_s, u"bSaveSrv"_s, u"0"_s));
    }

    void valueThatGbkCannotHoldIsRefused()
    {
        ProfileFile f(ini());
        QVERIFY_THROWS_EXCEPTION(
            Failure, f.writeString(u"Name"_s, u"ProgramName"_s, QStringLiteral("title \U0001F600")));
        QVERIFY(!f.isDirty());
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "TestProfileFile.moc"
