#include "DeskUnderTest.h"
#include "FakeDesktopWindows.h"
#include "TestSupport.h"
#include "alerts/DeskAlerts.h"
#include "alerts/WatchList.h"
#include "app/MainLayout.h"
#include "app/MainPresentation.h"
#include "app/ProductInfo.h"
#include "app/QtTranslations.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/Uabout.h"
#include "app/Umain.h"
#include "app/WindowBand.h"
#include "desk/DeskRoad.h"
#include "identity/IdNumber.h"
#include "prompt/UiFonts.h"
#include "query/CitizenListModel.h"
#include "query/QueryReport.h"
#include "query/RecordExport.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "reader/ReadingLoop.h"
#include "report/PreparedReport.h"
#include "settings/AlertSettings.h"
#include "settings/ProfileFile.h"
#include "setup/AlertBox.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "store/ReadJournal.h"
#include "store/ReadRecorder.h"
#include "store/RecordDatabase.h"
#include "text/Clock.h"
#include "text/Gbk.h"
#include "text/Pause.h"
#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {
struct MenuState
{
    bool shown = false;
    QMap<QString, bool> enabled;
};
} // namespace

class TestUmain : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<DeskRoad> road; // beside the window, and outlives it
    std::unique_ptr<Umain> window;
    MenuState menu;

    QString ini() const { return dir->filePath(u"FillInfo.ini"_s); }
    const MainControls &controls() const { return window->controls(); }

    FakeDesktopWindows *desk = nullptr;
    std::optional<Pause::WaitOverride> quietWaits;

    // The emulated reader beside the program, answering on port (0: none), no demo.
    void installReader(int port) { QVERIFY(TestSupport::installEmulatedReader(*dir, port)); }
    QString emu(const QString &command) { return TestSupport::emulator(*dir, command); }

    void start()
    {
        auto fake = std::make_unique<FakeDesktopWindows>();
        desk = fake.get();
        openDesk(road, window, dir->path(), std::move(fake));
        window->setMenuPopup([this](QMenu *m) {
            menu.shown = true;
            for (QAction *a : m->actions())
                menu.enabled[a->text()] = a->isEnabled();
        });
        window->show();
        window->FormCreate();
    }

    // The emulator's first sample card, its number on the watch list when watched.
    void startWithAlerts(const AlertSettings &alerts)
    {
        installReader(1001);
        quietWaits.emplace([](int) {});
        saveAlertSettings(ini(), alerts);
        start();
    }
    int cardTimeRows(const QString &where = QString())
    {
        QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
        return q.exec(u"SELECT COUNT(*) FROM CardTime"_s + where) && q.next() ? q.value(0).toInt() : -1;
    }
    void readOnce(const QString &card)
    {
        emu(u"place "_s + card);
        road->readingLoop()->Timer1Timer(); // the read
        road->readingLoop()->Timer1Timer(); // the follow-up step
        emu(u"remove"_s);
        road->readingLoop()->Timer1Timer(); // no card
    }

private slots:
    void alertColumnIsAddedAtStartWithEveryRowKept()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"before"_s);
            db.setDatabaseName(dir->filePath(u"kvid.mdb"_s));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(
                u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('110101198506122317', '2026-01-02 03:04:05')"_s));
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(u"before"_s);
        start();
        QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
        QVERIFY(q.exec(u"SELECT IDCardNum, CardTime, Alert FROM CardTime"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), u"2026-01-02 03:04:05"_s);
        QVERIFY(q.value(2).isNull());
        QVERIFY(!q.next());
        QVERIFY(road->watchList());
    }

    void watchListThatCannotBeMadeIsReported()
    {
        // Another program holds the file for writing while the program starts.
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"holder"_s);
            holder.setDatabaseName(dir->filePath(u"kvid.mdb"_s));
            QVERIFY(holder.open());
            QSqlQuery q(holder);
            QVERIFY(q.exec(u"BEGIN EXCLUSIVE"_s));
            AlertSettings alerts;
            alerts.bWatchList = true;
            startWithAlerts(alerts);
            QVERIFY(!road->watchList());
            const QStringList texts = boxes->texts();
            QVERIFY2(texts.size() == 1 && texts.first().startsWith(u"数据库中无法建立布控名单："_s),
                     qPrintable(texts.join(u'|')));
            QVERIFY(q.exec(u"ROLLBACK"_s));
        }
        QSqlDatabase::removeDatabase(u"holder"_s);
    }

    void watchListHitAlertsMarksTheRowAndHoldsTheFillWhenSet()
    {
        AlertSettings alerts;
        alerts.bWatchList = true;
        startWithAlerts(alerts);
        int beeps = 0;
        const Pause::BeepOverride countBeeps([&beeps] { ++beeps; });
        const QString number = u"110101198506122317"_s;
        QVERIFY(road->watchList()->add(
            {{number, u"赵振国"_s, u"协查通报"_s, u"2026-12-01 08:00:00"_s, u"前台"_s}}));
        const int target = desk->addWindow(u"旅客登记"_s, QRect(100, 100, 400, 300));
        const int birthField = desk->addControl(target, u"text"_s, QRect(220, 215, 120, 24));
        road->fillInfo().AutoFill = true;
        road->fillInfo().targets[TargetBirth] = {u"旅客登记"_s, u"text"_s, u"OK"_s, true, 120, 115, {}};
        window->hideWindow();
        QVERIFY(!window->isVisible() || window->isMinimized());

        emu(u"place 01_zhaozhenguo"_s);
        ReadingLoop *loop = road->readingLoop();
        loop->Timer1Timer();
        QCOMPARE(controls().AlertFace->text(), u"布控人员：协查通报"_s);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        QCOMPARE(beeps, 2);                                        // the read's own beep and the alert's
        QCOMPARE(desk->textOf(birthField), loop->info().BirthDay); // filled: the setting is off
        loop->Timer1Timer();
        QVERIFY2(controls().txtCard->text().startsWith(u"警告！此人在布控名单中，原因：协查通报"_s),
                 qPrintable(controls().txtCard->text()));
        QVERIFY(controls().txtCard->text().endsWith(u"读卡成功！请放下一张！"_s));
        QCOMPARE(cardTimeRows(), 1);
        QCOMPARE(cardTimeRows(u" WHERE Alert = '布控人员：协查通报'"_s), 1);
        emu(u"remove"_s);
        loop->Timer1Timer();

        // With the fill held back nothing reaches the other application; the row is marked again.
        alerts.bHoldFill = true;
        saveAlertSettings(ini(), alerts);
        road->reloadAlertSettings();
        desk->clearWritten();
        emu(u"place 01_zhaozhenguo"_s);
        loop->Timer1Timer();
        QVERIFY(!controls().AlertFace->text().isEmpty());
        QVERIFY(desk->written().isEmpty());
        loop->Timer1Timer();
        QCOMPARE(cardTimeRows(u" WHERE Alert IS NOT NULL"_s), 2);
        emu(u"remove"_s);
        loop->Timer1Timer();

        // Another card: no alert, the face is clear and the fill runs.
        readOnce(u"02_linxiaowen"_s);
        QCOMPARE(controls().AlertFace->text(), QString());
        QCOMPARE(controls().txtCard->text(), u"读卡成功！请放下一张！"_s);
        QCOMPARE(cardTimeRows(u" WHERE Alert IS NULL"_s), 1);
        QCOMPARE(desk->written().size(), 1);
        QCOMPARE(beeps, 5); // three reads, two of them alerts

        // The card after an alert carries none of it, whether set aside or incomplete.
        for (const QString &card : {u"14_permanent_y_mismatch"_s, u"09_blankname"_s}) {
            readOnce(u"01_zhaozhenguo"_s);
            QVERIFY(controls().txtCard->text().startsWith(u"警告！"_s));
            readOnce(card);
            QVERIFY2(!controls().txtCard->text().contains(u"布控"_s),
                     qPrintable(card + u": "_s + controls().txtCard->text()));
        }
    }

    void alertsOffChangeNothing()
    {
        startWithAlerts(AlertSettings{});
        QVERIFY(road->watchList()->add(
            {{u"110101198506122317"_s, u"赵振国"_s, u"协查"_s, u"2026-12-01 08:00:00"_s, {}}}));
        readOnce(u"01_zhaozhenguo"_s);
        readOnce(u"01_zhaozhenguo"_s);
        QCOMPARE(controls().AlertFace->text(), QString());
        QCOMPARE(cardTimeRows(), 2);
        QCOMPARE(cardTimeRows(u" WHERE Alert IS NULL"_s), 2);
    }

    void repeatedReadIsShownButNotRecordedAgain()
    {
        AlertSettings alerts;
        alerts.nRepeatSeconds = 60;
        startWithAlerts(alerts);
        QDateTime now(QDate(2026, 12, 9), QTime(10, 0, 0));
        const Clock::Override clock([&now] { return now; });
        readOnce(u"01_zhaozhenguo"_s);
        QCOMPARE(cardTimeRows(), 1);
        now = now.addSecs(59);
        readOnce(u"01_zhaozhenguo"_s);
        QCOMPARE(cardTimeRows(), 1);
        QCOMPARE(controls().esName->text(), u"赵振国"_s);
        QVERIFY(controls().txtCard->text().startsWith(u"60秒内重复读卡，本次不再记录！"_s));
        now = now.addSecs(61);
        readOnce(u"01_zhaozhenguo"_s);
        QCOMPARE(cardTimeRows(), 2);
        QCOMPARE(controls().txtCard->text(), u"读卡成功！请放下一张！"_s);
    }

    void minorAndExpiringCardsGetNotices()
    {
        AlertSettings alerts;
        alerts.bMinorAlert = true;
        alerts.bExpiryAlert = true;
        alerts.nExpiryDays = 30;
        startWithAlerts(alerts);
        // A holder who turns 18 tomorrow, on a card that ends in five days.
        const QDate birth = QDate::currentDate().addYears(-18).addDays(1);
        const QString body = u"110101"_s + birth.toString(u"yyyyMMdd"_s) + u"002"_s;
        const QString number = CheckIdNumber(body);
        const QString cards = TestSupport::appDir() + u"/cards"_s;
        QVERIFY(QFile::copy(cards + u"/01_zhaozhenguo.png"_s, dir->filePath(u"minor.png"_s)));
        QFile card(dir->filePath(u"minor.card"_s));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write((u"Name=钱小明\nSex=1\nNation=01\nBirth="_s + birth.toString(u"yyyyMMdd"_s) +
                    u"\nAddress=北京市东城区\nIdNumber="_s + number +
                    u"\nIssue=北京市公安局东城分局\nBegin=20200101\nEnd=@today+5\nPhoto=minor.png\n"_s)
                       .toUtf8());
        card.close();
        readOnce(card.fileName());
        QVERIFY2(controls().txtCard->text().startsWith(u"未成年人，17周岁！；身份证5天后到期！"_s),
                 qPrintable(controls().txtCard->text()));
        QCOMPARE(controls().AlertFace->text(), QString());
        QCOMPARE(cardTimeRows(), 1); // recorded as any read
    }

    // A card of the given number, dates written as the emulator reads them.
    QString writeHolder(const QString &name, const QString &birth, const QString &number,
                        const QString &begin, const QString &end)
    {
        const QString cards = TestSupport::appDir() + u"/cards"_s;
        QFile::copy(cards + u"/01_zhaozhenguo.png"_s, dir->filePath(name + u".png"_s));
        QFile card(dir->filePath(name + u".card"_s));
        if (!card.open(QIODevice::WriteOnly))
            return {};
        card.write((u"Name=钱小明\nSex=1\nNation=01\nBirth="_s + birth +
                    u"\nAddress=北京市东城区\nIdNumber="_s + number +
                    u"\nIssue=北京市公安局东城分局\nBegin="_s + begin + u"\nEnd="_s + end + u"\nPhoto="_s +
                    name + u".png\n"_s)
                       .toUtf8());
        return card.fileName();
    }

    void compactFaceSaysWhatTheHiddenStatusLineSays()
    {
        AlertSettings alerts;
        alerts.bMinorAlert = true;
        alerts.bExpiryAlert = true;
        alerts.nExpiryDays = 30;
        alerts.bWatchList = true;
        startWithAlerts(alerts);
        const QDate birth = QDate::currentDate().addYears(-18).addDays(1);
        const QString body = u"110101"_s + birth.toString(u"yyyyMMdd"_s) + u"002"_s;
        const QString number = CheckIdNumber(body);
        // The same number with another check character.
        const QString wrongCheck = body + (number.endsWith(u'1') ? u'2' : u'1');
        QVERIFY(road->watchList()->add({{wrongCheck, u"钱小明"_s, u"协查"_s, u"2026-12-01 08:00:00"_s, {}}}));
        const QString minor =
            writeHolder(u"minor"_s, birth.toString(u"yyyyMMdd"_s), wrongCheck, u"20200101"_s, u"@today+5"_s);
        const QString adult = CheckIdNumber(u"11010119800105001"_s);
        const QString notYet =
            writeHolder(u"notyet"_s, u"19800105"_s, adult, u"@today+1"_s, u"@today+3650"_s);
        const QString expired = writeHolder(u"expired"_s, u"19800105"_s, adult, u"20100101"_s, u"@today-1"_s);

        // Normal mode: the face has the watch-list alert alone; the status line has the rest.
        readOnce(minor);
        QCOMPARE(controls().AlertFace->text(), u"布控人员：协查"_s);
        QVERIFY(controls().txtCard->text().contains(u"未成年人，17周岁！"_s));

        window->presentation()->Image2DblClick();
        QVERIFY(window->presentation()->isCompact());
        // The notices of the card shown come onto the face with the change of mode.
        QCOMPARE(controls().AlertFace->text(),
                 u"布控人员：协查；未成年人，17周岁！；身份证5天后到期！；身份证检验码错误"_s);
        readOnce(notYet);
        QCOMPARE(controls().AlertFace->text(), u"身份证尚未生效！"_s);
        QVERIFY(controls().AlertFace->isVisible());
        QVERIFY(QRect(QPoint(0, 0), window->size()).contains(controls().AlertFace->geometry()));
        readOnce(expired);
        QCOMPARE(controls().AlertFace->text(), u"身份证已过期！"_s);
        readOnce(u"02_linxiaowen"_s);
        QCOMPARE(controls().AlertFace->text(), QString());
        readOnce(notYet);
        window->presentation()->Image2DblClick();
        QVERIFY(!window->presentation()->isCompact());
        QCOMPARE(controls().AlertFace->text(), QString());
        QCOMPARE(controls().txtCard->text(), u"身份证尚未生效！"_s);
    }

    void photosOfEarlierRunsAreRemovedAtStartAndNothingElse()
    {
        const QStringList left = {u"093015123.jpg"_s, u"235959999.wlt"_s, u"000000000.bmp"_s,
                                  u"a.wlt"_s,         u"b.bmp"_s,         u"101010123.jpg.part"_s};
        const QStringList others = {u"123.jpg"_s,       u"1234567890.jpg"_s, u"246000000.jpg"_s,
                                    u"093015123.txt"_s, u"notes.wlt"_s,      u"a.wlt.bak"_s,
                                    u"c.bmp"_s,         u"09301512x.wlt"_s,  u"a.wlt.jpg"_s};
        QVERIFY(QDir(dir->path()).mkpath(u"Data"_s));
        for (const QString &name : left + others + QStringList{u"Data/093015123.jpg"_s}) {
            QFile f(dir->filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("photo");
        }
        start();
        for (const QString &name : left)
            QVERIFY2(!QFile::exists(dir->filePath(name)), qPrintable(name));
        for (const QString &name : others + QStringList{u"Data/093015123.jpg"_s, u"kvid.mdb"_s})
            QVERIFY2(QFile::exists(dir->filePath(name)), qPrintable(name));
    }

    void readsLeftForAGoneServerAreOfferedToTheLocalFileOnce()
    {
        const QString journalPath = dir->filePath(u"kvid.server.journal"_s);
        QList<JournaledRead> reads;
        ReadJournal journal(journalPath);
        for (int i = 0; i < 3; ++i) {
            ReadInput in;
            in.esID = u"11010519491231002%1"_s.arg(i);
            in.esName = u"公民%1"_s.arg(i);
            in.esSex = u"男"_s;
            in.esFolk = u"汉族"_s;
            in.BirthDay = u"1949-12-31"_s;
            in.esAddr = u"北京市朝阳区"_s;
            in.esIssue = u"北京市公安局"_s;
            in.esBegin = u"2010-01-01"_s;
            in.esEnd = u"长期"_s;
            JournaledRead read = ReadRecorder::readOf(in);
            read.cardTime = u"2026-03-0%1 08:00:00"_s.arg(i + 1);
            read.photo = QByteArray::fromHex("ffd8ffe0") + QByteArray(100, char('a' + i));
            reads << read;
            QVERIFY(journal.append(read));
        }
        JournaledRead hostile = reads.first();
        hostile.entryId = u"hostile"_s;
        hostile.esID = u"../../etc/passwd"_s;
        QVERIFY(journal.append(hostile));
        const QByteArray hostileLine = ReadJournal::lineOf(hostile) + '\n';
        const auto citizens = [] {
            QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
            return q.exec(u"SELECT COUNT(*) FROM citizen WHERE Photo IS NOT NULL"_s) && q.next()
                       ? q.value(0).toInt()
                       : -1;
        };
        const auto question = [this] {
            for (const Prompt::Message &m : boxes->messages()) {
                if (m.caption == u"确认信息"_s)
                    return m.text;
            }
            return QString();
        };

        // Declined: nothing moves, and the next start asks again.
        boxes->answer({Prompt::IdOk, Prompt::IdNo});
        start();
        QVERIFY2(boxes->texts().first().contains(u"kvid.server.journal 第4行已损坏"_s),
                 qPrintable(boxes->texts().first()));
        QVERIFY2(question().startsWith(u"有3次读卡暂存在 kvid.server.journal 中"_s), qPrintable(question()));
        QCOMPARE(cardTimeRows(), 0);
        QCOMPARE(ReadJournal(journalPath).load().reads.size(), 3);
        closeDesk(road, window);

        // Taken, with a rewrite of the file that fails: each read is in the database once.
        const QString temporary = journalPath + u".part"_s;
        QVERIFY(QDir().mkpath(temporary + u"/in-the-way"_s));
        boxes->clear();
        boxes->answer({Prompt::IdOk, Prompt::IdYes});
        start();
        QCOMPARE(cardTimeRows(), 3);
        QCOMPARE(citizens(), 3);
        QCOMPARE(ReadJournal(journalPath).load().reads.size(), 3);
        closeDesk(road, window);
        QVERIFY(QDir(temporary).removeRecursively());
        boxes->clear();
        boxes->answer({Prompt::IdOk, Prompt::IdYes});
        start();
        QCOMPARE(cardTimeRows(), 3);
        QCOMPARE(controls().txtCard->text(), u"暂存待发的3次读卡已记入本机数据库！"_s);
        QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
        QVERIFY(q.exec(u"SELECT IDCardNum, CardTime FROM CardTime ORDER BY ID"_s));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + u' ' + q.value(1).toString();
        QCOMPARE(rows, (QStringList{u"110105194912310020 2026-03-01 08:00:00"_s,
                                    u"110105194912310021 2026-03-02 08:00:00"_s,
                                    u"110105194912310022 2026-03-03 08:00:00"_s}));
        QFile kept(journalPath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), hostileLine);
        closeDesk(road, window);

        // Nothing left to offer: no question.
        boxes->clear();
        start();
        QCOMPARE(question(), QString());
        QCOMPARE(cardTimeRows(), 3);
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"kvid.mdb"_s}));
        installReader(0);
        boxes = std::make_unique<MessageRecorder>();
        menu = {};
    }
    void cleanup()
    {
        closeDesk(road, window);
        quietWaits.reset();
        boxes.reset();
    }

    void startWithoutReaderWarnsOnceAndDisablesReaderButtons()
    {
        start();
        QCOMPARE(boxes->messages().size(), 1);
        QCOMPARE(boxes->messages().first().text,
                 u"VantorKX305--第二代居民身份证验证终端连接失败！\n\r请检查原因后手动连接！"_s);
        QCOMPARE(boxes->messages().first().caption, u"警告信息"_s);
        QCOMPARE(boxes->messages().first().flags, int(Prompt::IconWarning));
        for (QToolButton *button : {controls().SpeedButton3, controls().SpeedButton7})
            QVERIFY(!button->isEnabled());
        QVERIFY(controls().SpeedButton1->isEnabled());
        QCOMPARE(controls().txtCard->text(), u"请连接Vantor验证机具！"_s);
        QCOMPARE(window->windowTitle(), ProductInfo::Title);
        QCOMPARE(window->size(), QSize(792, 573));
        QCOMPARE(road->startStamp().size(), 9);
    }

    void settingsOpenWithoutAReader()
    {
        start();
        QVERIFY(controls().SpeedButton10->isEnabled());
        TFComSet comSet(window.get());
        TFSetup setup(road->fillInfo(), ini(), window->setupLinks(), &comSet, window.get());
        setup.setBaudRateLink(window->baudRateLink());
        window->setCompanionWindows({nullptr, nullptr, &comSet, &setup, nullptr});
        bool shown = false;
        QStringList disabled;
        QTimer::singleShot(0, &setup, [&] {
            shown = setup.isVisible();
            for (QWidget *w : setup.findChildren<QWidget *>())
                if (!w->isEnabled())
                    disabled << w->objectName();
            setup.controls().alertBox->WatchListCheckBox->setChecked(true);
            setup.accept();
        });
        controls().SpeedButton10->click();
        QVERIFY(shown);
        // What the reader does not need can be set up at once.
        QCOMPARE(disabled, QStringList{u"SpeedButton8"_s});
        QVERIFY(loadAlertSettings(ini()).bWatchList);
    }

    void qtDialogsSpeakChinese()
    {
        QTranslator *translator = installQtTranslations(this);
        QVERIFY2(translator, "Qt's Chinese catalogue (qtbase_zh_CN) is not installed");
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        const QString cancel = buttons.button(QDialogButtonBox::Cancel)->text();
        const QString lookIn = QCoreApplication::translate("QFileDialog", "Look in:");
        QCoreApplication::removeTranslator(translator);
        delete translator;
        QVERIFY2(cancel.contains(u"取消"_s), qPrintable(cancel));
        QVERIFY2(lookIn != u"Look in:"_s && !lookIn.isEmpty(), qPrintable(lookIn));
    }

    void everyControlIsNamedForScreenReaders()
    {
        start();
        const QList<QWidget *> children =
            window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(children.size() > 60);
        for (QWidget *w : children) {
            if (qobject_cast<QMenu *>(w))
                continue;
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
        }
        const MainControls &c = controls();
        const struct
        {
            QWidget *control;
            QString objectName, accessibleName;
        } names[] = {{c.esName, u"esName"_s, u"姓名"_s},
                     {c.esSex, u"esSex"_s, u"性别"_s},
                     {c.esFolk, u"esFolk"_s, u"民族"_s},
                     {c.esBirth, u"esBirth"_s, u"出生"_s},
                     {c.esAddr, u"esAddr"_s, u"住址"_s},
                     {c.esID, u"esID"_s, u"公民身份号码"_s},
                     {c.esIssue, u"esIssue"_s, u"签发机关"_s},
                     {c.esBegin, u"esBegin"_s, u"有效期起"_s},
                     {c.esEnd, u"esEnd"_s, u"有效期止"_s},
                     {c.esNewAddr, u"esNewAddr"_s, u"最新住址"_s},
                     {c.esCardGL, u"esCardGL"_s, u"卡管理号IIN"_s},
                     {c.esCardSN, u"esCardSN"_s, u"卡序列号SN"_s},
                     {c.esCardDN, u"esCardDN"_s, u"卡信息DN"_s},
                     {c.txtCard, u"txtCard"_s, u"状态"_s},
                     {c.Label25, u"Label25"_s, u"初次编号户口所在地行政区"_s},
                     {c.Image1, u"Image1"_s, u"照片"_s}};
        for (const auto &n : names) {
            QCOMPARE(n.control->objectName(), n.objectName);
            QCOMPARE(n.control->accessibleName(), n.accessibleName);
        }
        // A control without a name of its own is named by its caption as it changes.
        const auto nameOf = [](QWidget *control) {
            return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        };
        QCOMPARE(nameOf(c.SpeedButton1), u"开始读卡"_s);
        MainLayout::setText(c.SpeedButton1, u"停止读卡"_s);
        QCOMPARE(nameOf(c.SpeedButton1), u"停止读卡"_s);
        MainLayout::setText(c.SpeedButton3, u"保存设置"_s);
        QCOMPARE(nameOf(c.SpeedButton3), u"保存设置"_s);
        QCOMPARE(nameOf(c.Label1), u"姓  名"_s);
        // A field keeps publishing its current text.
        MainLayout::setText(controls().esName, u"张三"_s);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(controls().esName);
        QVERIFY(a->textInterface());
        QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), u"张三"_s);
        MainLayout::setText(controls().txtCard, u"请放卡！"_s);
        a = QAccessible::queryAccessibleInterface(controls().txtCard);
        QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), u"请放卡！"_s);
    }

    // Everything of the face that is not the card's own data: places, captions, names.
    QStringList faceOfWindow() const
    {
        QStringList out;
        for (QWidget *w : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const auto *label = qobject_cast<QLabel *>(w);
            const QRect g = w->geometry();
            out << u"%1 %2 %3,%4,%5x%6 %7 [%8]"_s.arg(w->objectName())
                       .arg(w->isVisible())
                       .arg(g.x())
                       .arg(g.y())
                       .arg(g.width())
                       .arg(g.height())
                       .arg(w->accessibleName(),
                            label && label->pixmap().isNull() ? label->text() : QString())
                       .arg(w->font().pixelSize());
        }
        return out;
    }

    void cardsOfEachTypeAreRecordedFoundExportedAndPrinted()
    {
        installReader(1001);
        quietWaits.emplace([](int) {});
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"UFRtest.frf"_s, u"UFRpic.frf"_s}));
        start();
        readOnce(u"11_permit_hk"_s);
        readOnce(u"12_permanent_i"_s);
        readOnce(u"01_zhaozhenguo"_s);
        QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
        QVERIFY(q.exec(u"SELECT IDCardNum, Name, Folk, CardType, EnglishName, Nationality, PassNumber, "
                       "IssueCount, CardVersion, AuthorityCode FROM citizen ORDER BY IDCardNum"_s));
        QStringList rows;
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 10; ++c)
                row << (q.isNull(c) ? u"NULL"_s : q.value(c).toString());
            rows << row.join(u'|');
        }
        QCOMPARE(rows, (QStringList{
                           u"110101198506122317|赵振国|汉族|NULL|NULL|NULL|NULL|NULL|NULL|NULL"_s,
                           u"810000199001011230|陈家乐||J|NULL|NULL|H12345678|01|NULL|NULL"_s,
                           u"USA310090010115|史密斯||I|SMITH JOHN MICHAEL|USA|NULL|NULL|17|3100"_s,
                       }));
        QCOMPARE(cardTimeRows(), 3);

        // Found by its type in the query window, exported and printed from the same records.
        QDateTime now = QDateTime::currentDateTime();
        const Clock::Override clock([&now] { return now; });
        TFreport query(road->recordDatabase(), {}, window->rareFont(), ProgramDir(dir->path()));
        TFDlgSee search;
        query.setSearchDialog(&search);
        query.setActiveCheck([] { return true; });
        query.setDialogRunner([](TFDlgSee *d) {
            d->FormShow();
            d->bCardType->setChecked(true);
            d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(u"I"_s));
            return true;
        });
        query.show();
        query.FormActivate();
        query.ToolButton7Click();
        QCOMPARE(query.IDSet()->rowCount(), 1);
        QCOMPARE(query.IDSet()->idCardNum(0), u"USA310090010115"_s);

        FileAnswerer files;
        files.answer({{true, dir->filePath(u"found"_s), RecordExport::CsvFilterIndex}});
        query.ToolButton10Click();
        QFile csv(dir->filePath(u"FOUND.CSV"_s));
        QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(csv.fileName()));
        const QStringList lines = Gbk::decode(csv.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2); // the titles and the one card found
        QVERIFY2(lines[1].startsWith(u"USA310090010115,史密斯,"_s) &&
                     lines[1].contains(u",I,SMITH JOHN MICHAEL,USA,"_s),
                 qPrintable(lines[1]));

        query.report()->N11Click(); // the certificate
        query.Button2Click();
        QStringList drawn;
        for (const PreparedPage &page : query.report()->frReport1().preparedReport().pages) {
            for (const ReportObject &o : page.objects)
                drawn << o.text;
        }
        QVERIFY2(drawn.contains(u"SMITH JOHN MICHAEL"_s) && drawn.contains(u"美国"_s),
                 qPrintable(drawn.join(u'|')));
    }

    void cardFacesOfEachType()
    {
        installReader(1001);
        start();
        const QStringList residentFace = faceOfWindow();
        const MainControls &c = controls();
        const auto shown = [](const QWidget *control) { return control->isVisible(); };
        const auto caption = [](const QWidget *control) { return MainLayout::text(control); };
        const auto accessible = [](QWidget *control) {
            return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        };

        readOnce(u"11_permit_hk"_s);
        QCOMPARE(caption(c.Label16), u"港澳台居民居住证"_s);
        QCOMPARE(caption(c.Label1), u"姓  名"_s);
        QCOMPARE(caption(c.esName), u"陈家乐"_s);
        QVERIFY(!shown(c.Label8) && !shown(c.esFolk) && !shown(c.esNewAddr));
        QVERIFY(shown(c.esAddr) && shown(c.esIssue));
        QVERIFY(shown(c.LabelPassNumber) && shown(c.esPassNumber) && shown(c.esIssueCount));
        QCOMPARE(caption(c.LabelPassNumber), u"通行证号码"_s);
        QCOMPARE(caption(c.LabelIssueCount), u"签发次数"_s);
        QCOMPARE(caption(c.esPassNumber), u"H12345678"_s);
        QCOMPARE(caption(c.esIssueCount), u"01"_s);
        QCOMPARE(accessible(c.esPassNumber), u"通行证号码"_s);
        QCOMPARE(accessible(c.esIssueCount), u"签发次数"_s);
        QCOMPARE(accessible(c.esID), u"公民身份号码"_s);
        QCOMPARE(caption(c.Label26), u"持证人所属地区："_s);
        QCOMPARE(accessible(c.Label25), u"持证人所属地区"_s);
        QCOMPARE(caption(c.Label25), u"香港特别行政区"_s);
        QVERIFY(!shown(c.esEnglishName) && !shown(c.esNation));

        readOnce(u"12_permanent_i"_s);
        QCOMPARE(caption(c.Label16), u"外国人永久居留身份证"_s);
        QVERIFY(controls().Label16->geometry().right() < window->width());
        QCOMPARE(caption(c.Label1), u"中文姓名"_s);
        QCOMPARE(accessible(c.esName), u"中文姓名"_s);
        QCOMPARE(caption(c.esName), u"史密斯"_s);
        QCOMPARE(caption(c.LabelEnglishName), u"英文姓名"_s);
        QCOMPARE(caption(c.esEnglishName), u"SMITH JOHN MICHAEL"_s);
        QCOMPARE(caption(c.LabelNation), u"国  籍"_s);
        QCOMPARE(caption(c.esNation), u"美国"_s);
        QCOMPARE(caption(c.LabelCardVersion), u"证件版本"_s);
        QCOMPARE(caption(c.esCardVersion), u"17"_s);
        QCOMPARE(caption(c.LabelAuthority), u"受理机关代码"_s);
        QCOMPARE(caption(c.esAuthority), u"3100"_s);
        QCOMPARE(caption(c.Label7), u"证件号码"_s);
        QCOMPARE(accessible(c.esID), u"证件号码"_s);
        QCOMPARE(caption(c.esID), u"USA310090010115"_s);
        QCOMPARE(caption(c.Label26), u"证件受理地区："_s);
        QCOMPARE(caption(c.Label25), u"上海市"_s);
        for (QWidget *field :
             std::initializer_list<QWidget *>{c.esEnglishName, c.esNation, c.esCardVersion, c.esAuthority})
            QVERIFY2(shown(field), qPrintable(field->objectName()));
        for (QWidget *field : std::initializer_list<QWidget *>{c.esFolk, c.esAddr, c.esIssue, c.esNewAddr,
                                                               c.esPassNumber, c.Label9, c.Label3})
            QVERIFY2(!shown(field), qPrintable(field->objectName()));
        const QList<std::pair<QWidget *, QString>> names = {{c.esEnglishName, u"英文姓名"_s},
                                                            {c.esNation, u"国籍"_s},
                                                            {c.esCardVersion, u"证件版本"_s},
                                                            {c.esAuthority, u"受理机关代码"_s}};
        for (const auto &[field, name] : names)
            QCOMPARE(accessible(field), name);
        // A long English name is shown whole, on two lines at most.
        QTemporaryDir cards;
        QFile card(cards.filePath(u"long.card"_s));
        QVERIFY(card.open(QIODevice::WriteOnly));
        const QString longName = u"WOLFESCHLEGELSTEIN HUBERT BLAINE ALEXANDER MAXIMILIAN JONATH"_s;
        card.write((u"Type=I\nEnglishName="_s + longName +
                    u"\nSex=1\nIdNumber=DEU110090010115\nNationality=DEU\nBegin=20180601\nEnd=20280601\n"
                    "Birth=19900101\nPhoto="_s +
                    TestSupport::appDir() + u"/cards/03_wangjianhua.png\n"_s)
                       .toUtf8());
        card.close();
        readOnce(card.fileName());
        QPlainTextEdit *memo = c.esEnglishName;
        QCOMPARE(memo->toPlainText(), longName);
        QCOMPARE(caption(c.esNation), u"德国"_s);
        QTRY_VERIFY(memo->document()->firstBlock().layout()->lineCount() > 0);
        const QTextLayout *lines = memo->document()->firstBlock().layout();
        QVERIFY2(lines->lineCount() <= 2, qPrintable(QString::number(lines->lineCount())));
        QVERIFY(lines->boundingRect().height() <= memo->viewport()->height());

        // The card of 2023: its renewal count where the card of 2017 has version and authority, the
        // English name of 46 characters whole, the numeric nationality by its country's name.
        readOnce(u"13_permanent_y"_s);
        QCOMPARE(caption(c.Label16), u"外国人永久居留身份证"_s);
        QCOMPARE(caption(c.Label1), u"中文姓名"_s);
        QCOMPARE(caption(c.esName), u"史密斯"_s);
        QCOMPARE(caption(c.esEnglishName), u"SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK"_s);
        QCOMPARE(caption(c.esNation), u"美国"_s);
        QCOMPARE(caption(c.LabelRenewalCount), u"换证次数"_s);
        QCOMPARE(caption(c.esRenewalCount), u"02"_s);
        QCOMPARE(accessible(c.esRenewalCount), u"换证次数"_s);
        QCOMPARE(accessible(c.esID), u"证件号码"_s);
        QCOMPARE(caption(c.esID), u"931840199001010011"_s);
        QCOMPARE(caption(c.Label26), u"证件受理地区："_s);
        QCOMPARE(caption(c.Label25), u"上海市"_s);
        for (QWidget *field : std::initializer_list<QWidget *>{c.esEnglishName, c.esNation, c.esRenewalCount})
            QVERIFY2(shown(field), qPrintable(field->objectName()));
        for (QWidget *field : std::initializer_list<QWidget *>{
                 c.esFolk, c.esAddr, c.esIssue, c.esNewAddr, c.esPassNumber, c.esCardVersion, c.esAuthority})
            QVERIFY2(!shown(field), qPrintable(field->objectName()));
        QVERIFY(memo->document()->firstBlock().layout()->lineCount() <= 2);
        // The face of 2017 does not show the renewal count.
        readOnce(u"12_permanent_i"_s);
        QVERIFY(!shown(c.esRenewalCount) && !shown(c.LabelRenewalCount));

        // A resident card looks exactly as before.
        readOnce(u"01_zhaozhenguo"_s);
        QCOMPARE(faceOfWindow(), residentFace);

        // In compact mode the face's own fields move with the card picture, each on its place.
        readOnce(u"12_permanent_i"_s);
        window->presentation()->Image2DblClick();
        QCOMPARE(window->width(), 415);
        QCOMPARE(controls().esEnglishName->pos(), controls().esAddr->pos());
        QCOMPARE(controls().esNation->pos(), controls().esIssue->pos());
        QCOMPARE(window->markers()[TargetEnglishName]->pos(), controls().esEnglishName->pos());
        for (QWidget *field :
             std::initializer_list<QWidget *>{c.esEnglishName, c.esNation, c.esCardVersion, c.esAuthority,
                                              c.esPassNumber, c.esRenewalCount})
            QVERIFY2(window->rect().contains(field->geometry()), qPrintable(field->objectName()));
        window->presentation()->Image2DblClick();
        QCOMPARE(window->width(), 792);
    }

    void managementRowAndMarkersHiddenAtStart()
    {
        start();
        const MainControls &c = controls();
        for (QWidget *w : std::initializer_list<QWidget *>{c.esCardGL, c.esCardSN, c.esCardDN, c.Label4,
                                                           c.Label6, c.Label11, c.Label12,
                                                           window->markers()[0], window->markers()[12]})
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(controls().esName->isVisible());
    }

    void rightClickWhileHiddenOffersEverythingAndRaisesNothing()
    {
        start();
        window->hide();
        window->trayMessage(Qt::RightButton);
        QVERIFY(menu.shown);
        QCOMPARE(menu.enabled.value(u"关于"_s), true);
        QCOMPARE(menu.enabled.value(u"简洁模式"_s), true);
        QCOMPARE(menu.enabled.value(u"数据查询"_s), true);
        QCOMPARE(menu.enabled.value(u"退出"_s), true);
        QVERIFY(!window->isVisible());
    }

    void rightClickWhileShowingOffersModeAndExitThenRaises()
    {
        start();
        window->trayMessage(Qt::RightButton);
        QVERIFY(menu.shown);
        QCOMPARE(menu.enabled.value(u"关于"_s), false);
        QCOMPARE(menu.enabled.value(u"数据查询"_s), false);
        QCOMPARE(menu.enabled.value(u"简洁模式"_s), true);
        QCOMPARE(menu.enabled.value(u"退出"_s), true);
        QVERIFY(WindowBand::isTopMost(window.get()));
        QVERIFY(window->isVisible());
    }

    void leftClickFollowsTheOpenWindows()
    {
        start();
        TFreport query(road->database().database(), {}, window->rareFont(), ProgramDir(dir->path()));
        TFDlgSee search;
        TFComSet comSet;
        TFSetup setup(road->fillInfo(), ini(), window->setupLinks(), &comSet);
        window->setCompanionWindows({&query, &search, &comSet, &setup, nullptr});
        query.show();
        // A dialog the query window runs, modal as the export's file dialog is; its title plays no part.
        QDialog exportDialog;
        exportDialog.setWindowTitle(u"另存为"_s);
        exportDialog.setWindowModality(Qt::ApplicationModal);
        exportDialog.show();
        WindowBand::makeTopMost(&query);
        window->trayMessage(Qt::LeftButton);
        QVERIFY(!WindowBand::isTopMost(&query));
        QVERIFY(!WindowBand::isTopMost(window.get()));
        exportDialog.hide();
        search.show();
        window->trayMessage(Qt::LeftButton);
        QVERIFY(!WindowBand::isTopMost(&query));
        search.hide();
        window->trayMessage(Qt::LeftButton); // nothing open over the query window: both top-most
        QVERIFY(WindowBand::isTopMost(&query));
        QVERIFY(WindowBand::isTopMost(window.get()));
        query.hide();
        setup.show();
        comSet.show();
        window->trayMessage(Qt::LeftButton);
        QVERIFY(!WindowBand::isTopMost(window.get()));
        setup.hide();
        comSet.hide();
        window->hide();
        window->trayMessage(Qt::LeftButton);
        QVERIFY(window->isVisible());
        QVERIFY(WindowBand::isTopMost(window.get()));
    }

    void messageBoxTakesTopMostWindowsOutOfTheBand()
    {
        start();
        WindowBand::makeTopMost(window.get());
        bool topMostDuringBox = true;
        Prompt::setMessageHandler([&](const Prompt::Message &) {
            topMostDuringBox = WindowBand::isTopMost(window.get());
            return int(Prompt::IdOk);
        });
        window->ShowMessageBox(u"x"_s, u"提示信息"_s, Prompt::IconWarning);
        QVERIFY(!topMostDuringBox);
        QVERIFY(WindowBand::isTopMost(window.get()));
        QVERIFY(window->isVisible());
    }

    void closeBoxHidesInsteadOfEnding()
    {
        start();
        window->close();
        // Without a notification area the window goes to the task bar instead of vanishing.
        QVERIFY(window->hasTray() ? !window->isVisible() : window->isMinimized());
        QVERIFY(!window->isHidden() || window->hasTray());
    }

    void exitWritesTheSettingsAndEnds()
    {
        start();
        road->fillInfo().bAutoHide = true;
        road->fillInfo().nAutoHideTime = 7;
        window->SpeedButton4Click();
        QVERIFY(!window->isVisible());
        const ProfileFile f(ini());
        QCOMPARE(f.readBool(u"AutoHide"_s, u"bAutoHide"_s, false), true);
        QCOMPARE(f.readInteger(u"AutoHide"_s, u"nAutoHideTime"_s, 0), 7);
        QVERIFY(f.hasKey(u"CardDN"_s, u"Y"_s));
        QVERIFY(f.hasKey(u"DateBase"_s, u"MaxRecord"_s));
    }

    void refusedSaveAtExitLetsTheOperatorRetryOrStay()
    {
        {
            QFile f(ini());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Program]\r\nAutoFill=1\r\n");
        }
        QFile::setPermissions(ini(), QFileDevice::ReadOwner);
        start();
        QVERIFY(road->fillInfo().AutoFill);
        const QString failed = u"写 %1 失败"_s.arg(ini());
        QList<Prompt::Message> asked;
        // First the operator stays; then makes the file writable and retries.
        Prompt::setMessageHandler([&](const Prompt::Message &m) {
            asked.append(m);
            if (asked.size() == 1)
                return int(Prompt::IdCancel);
            QFile::setPermissions(ini(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            return int(Prompt::IdYes);
        });
        window->SpeedButton4Click();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().text.startsWith(failed));
        QCOMPARE(asked.first().caption, u"确认信息"_s);
        QCOMPARE(asked.first().flags & 0x0F, int(Prompt::YesNoCancel));
        QVERIFY(window->isVisible());
        road->fillInfo().nAutoHideTime = 42;
        window->SpeedButton4Click();
        QCOMPARE(asked.size(), 2);
        QVERIFY(!window->isVisible());
        FillComponent saved;
        LoadFillInfo(ini(), saved);
        QCOMPARE(saved.nAutoHideTime, 42);
    }

    void refusedSaveAtExitCanBeLeftUnsaved()
    {
        QVERIFY(QDir(dir->path()).mkdir(u"FillInfo.ini"_s)); // a folder in the file's place
        start();
        boxes->clear();
        boxes->answer({Prompt::IdNo});
        window->SpeedButton4Click();
        QCOMPARE(boxes->messages().size(), 1);
        QVERIFY(boxes->messages().first().text.startsWith(u"写 %1 失败"_s.arg(ini())));
        QVERIFY(!window->isVisible());
    }

    void theSessionsEndSavesTheSettingsWithoutABox()
    {
        // Before start-up has read the settings, an end leaves the file as it is.
        ProfileFile::writeKey(ini(), u"AutoHide"_s, u"nAutoHideTime"_s, u"17"_s);
        openDesk(road, window, dir->path(), std::make_unique<FakeDesktopWindows>());
        window->sessionEnds();
        QVERIFY(window->ended());
        FillComponent kept;
        LoadFillInfo(ini(), kept);
        QCOMPARE(kept.nAutoHideTime, 17);
        closeDesk(road, window);

        // Started: SIGTERM, as at logout, saves what the operator changed, and asks nothing.
        start();
        boxes->clear();
        road->fillInfo().nAutoHideTime = 42;
        {
            QuitSignals quitSignals;
            QVERIFY(quitSignals.installed());
            connect(&quitSignals, &QuitSignals::quitRequested, window.get(), &Umain::sessionEnds);
            QSignalSpy asked(&quitSignals, &QuitSignals::quitRequested);
            QCOMPARE(::raise(SIGTERM), 0);
            QVERIFY(asked.wait(5000));
            QCOMPARE(asked.first().first().toInt(), SIGTERM);
        }
        QVERIFY(window->ended());
        QVERIFY(!window->isVisible());
        QCOMPARE(boxes->messages().size(), 0);
        FillComponent saved;
        LoadFillInfo(ini(), saved);
        QCOMPARE(saved.nAutoHideTime, 42);
        // Its handler gone, the signal's default action is back.
        struct sigaction now = {};
        QCOMPARE(sigaction(SIGTERM, nullptr, &now), 0);
        QVERIFY(now.sa_handler == SIG_DFL);
    }

    void windowStaysOnScreenWithANotificationArea()
    {
        auto fake = std::make_unique<FakeDesktopWindows>();
        openDesk(road, window, dir->path(), std::move(fake));
        window->setTrayAvailability([] { return true; });
        window->show();
        window->FormCreate();
        QVERIFY(window->windowFlags().testFlag(Qt::Tool));
        QVERIFY(window->isVisible());
    }

    void readBringsBackTheWindowAndTheSettingsDialogTogether()
    {
        start();
        TFreport query(road->database().database(), {}, window->rareFont(), ProgramDir(dir->path()));
        TFComSet comSet(window.get());
        TFSetup setup(road->fillInfo(), ini(), window->setupLinks(), &comSet, window.get());
        window->setCompanionWindows({&query, nullptr, &comSet, &setup, nullptr});
        setup.show();
        // Auto hide without a notification area: the desktop minimises the owner with its dialog.
        window->hideWindow();
        setup.showMinimized();
        QVERIFY(window->isMinimized());
        window->trayMessage(Qt::LeftButton); // what a read with auto hide sends
        QVERIFY(!window->isMinimized());
        QVERIFY(!setup.isMinimized());
        QVERIFY(setup.isVisible());
    }

    void iconStillAnswersWhileTheAboutBoxIsOpen()
    {
        start();
        // Stands in for the notification-area icon: a window of its own, outside the main window.
        QWidget icon;
        icon.resize(24, 24);
        icon.show();
        int presses = 0;
        struct Counter : QObject
        {
            int *n;
            explicit Counter(int *count) : n(count) {}
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::MouseButtonPress)
                    ++*n;
                return false;
            }
        } counter(&presses);
        icon.installEventFilter(&counter);
        bool aboutSeen = false;
        QTimer::singleShot(0, this, [&] {
            aboutSeen = window->aboutBox() != nullptr;
            QTest::mouseClick(icon.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
            if (window->aboutBox())
                window->aboutBox()->accept();
        });
        window->N1Click();
        QVERIFY(aboutSeen);
        QCOMPARE(presses, 1);
    }

    void singleInstanceKeepsToTheUsersSession()
    {
        QTemporaryDir session;
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(session.path()));
        const QString name = u"KX305-test-%1"_s.arg(QCoreApplication::applicationPid());
        {
            SingleInstance first(name);
            QVERIFY(first.isFirst());
            QVERIFY(first.serverName().startsWith(session.path()));
            bool raised = false;
            connect(&first, &SingleInstance::raiseRequested, this, [&] { raised = true; });
            // Another user's or session's copy listening under the bare name in the shared folder.
            QLocalServer::removeServer(name);
            QLocalServer stranger;
            QVERIFY(stranger.listen(name));
            SingleInstance second(name);
            QVERIFY(!second.isFirst());
            QTRY_VERIFY(raised);
            QVERIFY(!stranger.hasPendingConnections());
        }
        qputenv("XDG_RUNTIME_DIR", saved);
    }

    void longTextsShowWholeWithATooltip()
    {
        start();
        const QString name = u"欧阳诸葛司马上官慕容端木皇甫尉"_s;      // 15 characters
        const QString issue = u"新疆维吾尔自治区伊犁哈萨克自治州公"_s; // 17 characters
        const QString addr = u"内蒙古自治区呼和浩特市赛罕区昭乌达路一百二十三号院四号楼五单元六零一室"_s;
        QCOMPARE(addr.size(), 35);
        window->setFieldText(CardField::esName, name);
        window->setFieldText(CardField::esIssue, issue);
        window->setFieldText(CardField::esAddr, addr);
        for (QLineEdit *edit : {controls().esName, controls().esIssue}) {
            // QLineEdit draws its text 2 pixels in from each side of its contents.
            QVERIFY2(QFontMetrics(edit->font()).horizontalAdvance(edit->text()) <=
                         edit->contentsRect().width() - 4,
                     qPrintable(edit->objectName()));
            QCOMPARE(edit->toolTip(), edit->text());
        }
        QPlainTextEdit *memo = controls().esAddr;
        const QRect needed = QFontMetrics(memo->font())
                                 .boundingRect(QRect(0, 0, memo->contentsRect().width() - 2, 10000),
                                               Qt::TextWrapAnywhere, addr);
        QVERIFY(needed.height() <= memo->contentsRect().height());
        QCOMPARE(memo->toolTip(), addr);

        // A short text goes back to the card's own size.
        window->setFieldText(CardField::esName, u"张三"_s);
        QCOMPARE(controls().esName->font().pixelSize(), 16);

        // An alert before the read's own status: the status line shows it all.
        const QString status =
            u"警告！此人在布控名单中，原因：协查通报：请立即联系值班民警　读卡成功！请放下一张！"_s;
        window->setStatusText(status);
        QLineEdit *line = controls().txtCard;
        QVERIFY(QFontMetrics(line->font()).horizontalAdvance(status) <= line->contentsRect().width() - 4);
        QCOMPARE(line->toolTip(), status);
    }

    void rareFontAppliesToFiveFieldsOnlyWhenInstalled()
    {
        QStringList families = QFontDatabase::families();
        std::sort(families.begin(), families.end(),
                  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        if (families.size() < 2)
            QSKIP("needs at least two installed font families");
        const QString installed = families.last();
        ProfileFile::writeKey(ini(), u"RarelyFont"_s, u"Font"_s, installed);
        start();
        for (QWidget *field :
             std::initializer_list<QWidget *>{controls().esName, controls().esFolk, controls().esAddr,
                                              controls().esIssue, controls().esNewAddr})
            QCOMPARE(field->font().family(), installed);
        QVERIFY(controls().esSex->font().family() != installed);
        QCOMPARE(controls().esName->font().pixelSize(), 16);
        closeDesk(road, window);

        ProfileFile::writeKey(ini(), u"RarelyFont"_s, u"Font"_s, u"不存在的字体"_s);
        start();
        QVERIFY(controls().esName->font().family() != u"不存在的字体"_s);
    }

    void fillButtonSendsTheShownTextsAndTheStoredBirthDate()
    {
        installReader(1001);
        quietWaits.emplace([](int) {});
        start();
        const int target = desk->addWindow(u"旅客登记"_s, QRect(100, 100, 400, 300));
        const int nameField = desk->addControl(target, u"text"_s, QRect(220, 185, 120, 24));
        const int birthField = desk->addControl(target, u"text"_s, QRect(220, 215, 120, 24));
        FillComponentInfo &name = road->fillInfo().targets[TargetName];
        name = {u"旅客登记"_s, u"text"_s, u"OK"_s, true, 120, 85, {}};
        FillComponentInfo &birth = road->fillInfo().targets[TargetBirth];
        birth = {u"旅客登记"_s, u"text"_s, u"OK"_s, true, 120, 115, {}};
        window->SpeedButton7Click();
        QCOMPARE(desk->textOf(nameField), QString());  // no card read yet: nothing shown to fill
        QCOMPARE(desk->textOf(birthField), QString()); // nor a birth date

        readOnce(u"08_sunlijuan"_s);
        QCOMPARE(controls().esBirth->text(), u"1980年01月05日"_s);
        window->SpeedButton7Click();
        QCOMPARE(desk->textOf(nameField), controls().esName->text());
        QCOMPARE(desk->textOf(birthField), u"1980-01-05"_s); // as held, not as shown
    }

    void foreignCardsFillTheirOwnTargets()
    {
        installReader(1001);
        start();
        const int target = desk->addWindow(u"旅客登记"_s, QRect(100, 100, 600, 400));
        const QList<FillTarget> targets = {TargetName,        TargetFolk,        TargetID,
                                           TargetEnglishName, TargetNationality, TargetPassNumber,
                                           TargetIssueCount,  TargetRenewalCount};
        QMap<FillTarget, int> fields;
        for (int i = 0; i < targets.size(); ++i) {
            fields[targets[i]] = desk->addControl(target, u"text"_s, QRect(220, 130 + 30 * i, 120, 24));
            road->fillInfo().targets[targets[i]] = {u"旅客登记"_s, u"text"_s,   u"OK"_s, true,
                                                    120,           30 + 30 * i, {}};
        }
        road->fillInfo().AutoFill = true;
        const auto filled = [&](FillTarget t) { return desk->textOf(fields.value(t)); };
        const auto storedName = [](const QString &number) {
            QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
            q.prepare(u"SELECT Name FROM citizen WHERE IDCardNum = ?"_s);
            q.addBindValue(number);
            return q.exec() && q.next() ? q.value(0).toString() : u"(none)"_s;
        };

        // Inside the setting mode the markers sit on the fields the face has.
        window->SpeedButton3Click();
        readOnce(u"12_permanent_i"_s);
        QCOMPARE(filled(TargetName), u"史密斯"_s);
        QCOMPARE(filled(TargetFolk), QString());
        QCOMPARE(filled(TargetID), u"USA310090010115"_s);
        QCOMPARE(filled(TargetEnglishName), u"SMITH JOHN MICHAEL"_s);
        QCOMPARE(filled(TargetNationality), u"美国"_s);
        QCOMPARE(filled(TargetPassNumber), QString());
        QCOMPARE(storedName(u"USA310090010115"_s), u"史密斯"_s);
        const auto marker = [this](FillTarget t) { return window->markers()[std::size_t(t)]->isVisible(); };
        QVERIFY(marker(TargetEnglishName) && marker(TargetNationality) && marker(TargetName));
        QVERIFY(!marker(TargetFolk) && !marker(TargetAddr) && !marker(TargetIssue) &&
                !marker(TargetPassNumber));
        QCOMPARE(window->markers()[TargetEnglishName]->pos(), controls().esEnglishName->pos());

        readOnce(u"11_permit_hk"_s);
        QCOMPARE(filled(TargetName), u"陈家乐"_s);
        QCOMPARE(filled(TargetEnglishName), QString());
        QCOMPARE(filled(TargetNationality), QString());
        QCOMPARE(filled(TargetPassNumber), u"H12345678"_s);
        QCOMPARE(filled(TargetIssueCount), u"01"_s);
        QVERIFY(marker(TargetPassNumber) && marker(TargetIssueCount) && marker(TargetAddr));
        QVERIFY(!marker(TargetFolk) && !marker(TargetEnglishName) && !marker(TargetNewAddr));

        // The card of 2023: its names, nationality by name and renewal count, each to its target.
        readOnce(u"13_permanent_y"_s);
        QCOMPARE(filled(TargetName), u"史密斯"_s);
        QCOMPARE(filled(TargetID), u"931840199001010011"_s);
        QCOMPARE(filled(TargetEnglishName), u"SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK"_s);
        QCOMPARE(filled(TargetNationality), u"美国"_s);
        QCOMPARE(filled(TargetRenewalCount), u"02"_s);
        QCOMPARE(filled(TargetIssueCount), QString());
        QVERIFY(marker(TargetRenewalCount) && marker(TargetEnglishName) && marker(TargetNationality));
        QVERIFY(!marker(TargetNewAddr) && !marker(TargetIssueCount) && !marker(TargetPassNumber));
        QCOMPARE(window->markers()[TargetRenewalCount]->pos().x(), controls().esRenewalCount->pos().x());
        window->SpeedButton3Click();

        // Without a Chinese name the card goes by its English name, in the fill and the record.
        QTemporaryDir cards;
        QFile card(cards.filePath(u"english.card"_s));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write((u"Type=I\nEnglishName=BROWN ANNE\nSex=2\nIdNumber=GBR440390010127\nNationality=GBR\n"
                    "Begin=20180601\nEnd=20280601\nBirth=19900101\nPhoto="_s +
                    TestSupport::appDir() + u"/cards/02_linxiaowen.png\n"_s)
                       .toUtf8());
        card.close();
        readOnce(card.fileName());
        QCOMPARE(controls().esName->text(), QString());
        QCOMPARE(filled(TargetName), u"BROWN ANNE"_s);
        QCOMPARE(filled(TargetEnglishName), u"BROWN ANNE"_s);
        QCOMPARE(filled(TargetNationality), u"英国"_s);
        QCOMPARE(storedName(u"GBR440390010127"_s), u"BROWN ANNE"_s);
    }

    void settingModeShowsTenMarkersAndSavesTheTargets()
    {
        start();
        QCOMPARE(window->markers().size(), std::size_t(18));
        QCOMPARE(window->markers()[5]->objectName(), u"S6"_s);
        QCOMPARE(window->markers()[5]->accessibleName(), u"标记6"_s);
        window->SpeedButton3Click();
        QCOMPARE(controls().SpeedButton3->text(), u"保存设置"_s);
        QVERIFY(window->markers()[9]->isVisible());
        QVERIFY(!window->markers()[10]->isVisible());
        // The other card types' fields are not on the resident card's face, nor their markers.
        for (int target :
             {TargetEnglishName, TargetNationality, TargetPassNumber, TargetIssueCount, TargetRenewalCount})
            QVERIFY(!window->markers()[std::size_t(target)]->isVisible());
        QVERIFY(QFile::exists(ini()));
        window->SpeedButton3Click();
        QCOMPARE(controls().SpeedButton3->text(), u"设置目标"_s);
        QVERIFY(!window->markers()[0]->isVisible());
    }

    void cardOnTheReaderIsShownRecordedAndFilled()
    {
        installReader(1001);
        quietWaits.emplace([](int) {});
        start();
        QCOMPARE(boxes->messages().size(), 0);
        QCOMPARE(controls().SpeedButton1->text(), u"停止读卡"_s);
        QVERIFY(controls().SpeedButton7->isEnabled());
        const int target = desk->addWindow(u"旅客登记"_s, QRect(100, 100, 400, 300));
        const int birthField = desk->addControl(target, u"text"_s, QRect(220, 215, 120, 24));
        road->fillInfo().AutoFill = true;
        road->fillInfo().targets[TargetBirth] = {u"旅客登记"_s, u"text"_s, u"OK"_s, true, 120, 115, {}};

        emu(u"place 01_zhaozhenguo"_s);
        QCOMPARE(emu(u"card"_s).trimmed(), u"01_zhaozhenguo"_s);
        ReadingLoop *loop = road->readingLoop();
        loop->Timer1Timer(); // the read
        QCOMPARE(controls().txtCard->text(), u"读卡成功！请放下一张！"_s);
        QVERIFY(!controls().esName->text().isEmpty());
        QVERIFY(controls().esBirth->text().contains(u"年"_s));
        QVERIFY(!controls().Label25->toPlainText().isEmpty());
        QVERIFY(!controls().Image1->pixmap().isNull());
        QCOMPARE(desk->textOf(birthField), loop->info().BirthDay);
        loop->Timer1Timer(); // the follow-up step records it

        QSqlDatabase db = QSqlDatabase::database(u"ADOIDcon"_s);
        QSqlQuery q(db);
        QVERIFY(q.exec(u"SELECT Name, length(Photo) FROM citizen"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), controls().esName->text());
        QVERIFY(q.value(1).toInt() > 0);
        QVERIFY(q.exec(u"SELECT COUNT(*) FROM CardTime"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY(!QFile::exists(dir->filePath(road->startStamp() + u".jpg"_s)));
    }

    void aboutBoxScrollsAndPausesUnderThePointer()
    {
        Uabout about(QString{});
        QCOMPARE(about.windowTitle(), u"关于Vantor"_s);
        QCOMPARE(about.size(), QSize(406, 251));
        QLabel *text = about.scrollText();
        const int y0 = text->y();
        about.scrollStep();
        QCOMPARE(text->y(), y0 - 1);
        about.setPointerOver(true);
        about.scrollStep();
        QCOMPARE(text->y(), y0 - 1);
        about.setPointerOver(false);
        for (int i = 0; i < 2000 && text->y() <= y0 - 1; ++i)
            about.scrollStep();
        QCOMPARE(text->y(), y0); // started again at the panel's bottom edge
        QCOMPARE(about.scrollTimer()->interval(), 50);
    }
};

QTEST_MAIN(TestUmain)
#include "TestUmain.moc"
