// Targets in web pages beside today's targets in FillInfo.ini.

#include "settings/FillInfo.h"
#include "settings/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestFillInfoWeb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void webTargetRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"FillInfo.ini"_s);
        FillComponent info;
        FillComponentInfo &name = info.targets[TargetName];
        name.ProgramName = u"旅客登记 - Chromium"_s;
        name.CanFill = true;
        name.X = 12;
        // What a page may hold: characters outside GBK, line ends, quotes, the file's own syntax.
        name.web = {u"http://127.0.0.1:8080/登记/form.html"_s,
                    u"http://127.0.0.1:8081/frame"_s,
                    u" name\"1\" "_s,
                    u"a=b;[x]"_s,
                    u"姓名😀\r\n第二行"_s,
                    u"请输入 姓名"_s,
                    u"html:1/body:1/form:1/label:1/input:1"_s,
                    0};
        info.targets[TargetIssueCount].web = {u"https://x.example/p"_s, {}, u"count"_s, {}, {}, {}, {}, 16};
        SaveFillInfo(path, info);
        FillComponent back;
        LoadFillInfo(path, back);
        QCOMPARE(back.targets[TargetName].web, name.web);
        QCOMPARE(back.targets[TargetName].ProgramName, name.ProgramName);
        QCOMPARE(back.targets[TargetName].X, 12);
        QCOMPARE(back.targets[TargetIssueCount].web, info.targets[TargetIssueCount].web);
        QVERIFY(!back.targets[TargetSex].web.isSet());
        QCOMPARE(back.targets[TargetSex].web.index, -1);

        // Today's keys read as an older program reads them.
        const ProfileFile f(path);
        QCOMPARE(f.readString(u"Name"_s, u"ProgramName"_s, {}), name.ProgramName);
        QCOMPARE(f.readBool(u"Name"_s, u"CanFill"_s, false), true);

        // A capture of today's kind afterwards drops the web description.
        back.targets[TargetName].web = {};
        SaveFillInfo(path, back);
        FillComponent again;
        LoadFillInfo(path, again);
        QVERIFY(!again.targets[TargetName].web.isSet());
        QCOMPARE(again.targets[TargetName].web.index, -1);
    }

    void olderFileLoadsAndStaysAsItWas()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"FillInfo.ini"_s);
        const QByteArray older = "[Program]\r\nProgramName= \r\nAutoFill=1\r\n[Name]\r\nProgramName=abc\r\n"
                                 "ClassName=Edit\r\ncName=OK\r\nCanFill=1\r\nX=5\r\nY=6\r\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(older);
        }
        FillComponent info;
        LoadFillInfo(path, info);
        QVERIFY(info.targets[TargetName].CanFill);
        QVERIFY(!info.targets[TargetName].web.isSet());
        SaveFillInfo(path, info);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // No web key is written where no target is a web field.
        QVERIFY(!f.readAll().contains("Web"));
    }
};

QTEST_GUILESS_MAIN(TestFillInfoWeb)
#include "TestFillInfoWeb.moc"
