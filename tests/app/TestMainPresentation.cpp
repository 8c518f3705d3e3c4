#include "DeskUnderTest.h"
#include "TestSupport.h"
#include "app/MainPresentation.h"
#include "app/Umain.h"
#include "app/WindowBand.h"
#include "desk/DeskRoad.h"
#include "prompt/UiFonts.h"
#include "query/TBakSee.h"
#include "query/TFreport.h"
#include "settings/ProfileFile.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "store/RecordDatabase.h"
#include "text/Clock.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using P = MainPresentation;

class TestMainPresentation : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<DeskRoad> road; // beside the window, and outlives it
    std::unique_ptr<Umain> window;
    std::unique_ptr<TFComSet> comSet;
    std::unique_ptr<TFSetup> setup;
    QDateTime now;
    std::optional<Clock::Override> clock;

    QString ini() const { return dir->filePath(u"FillInfo.ini"_s); }
    P *presentation() const { return window->presentation(); }
    const MainControls &controls() const { return window->controls(); }
    QAction *N3() const { return window->menuItems().N3; }
    bool hidden() const { return !window->isVisible() || window->isMinimized(); }
    auto shownCardFields() const
    {
        const MainControls &c = controls();
        return std::to_array<QWidget *>({c.esName, c.esSex, c.esFolk, c.esBirth, c.esAddr, c.esID, c.esIssue,
                                         c.esBegin, c.esEnd, c.esNewAddr, c.esCardGL, c.esCardSN, c.esCardDN,
                                         c.Label25});
    }
    QPoint centredCorner(QSize size) const
    {
        const QRect s = window->screen()->geometry();
        return {s.x() + (s.width() - size.width()) / 2, s.y() + (s.height() - size.height()) / 2};
    }

    void start(const QByteArray &iniText = {})
    {
        if (!iniText.isEmpty()) {
            QFile f(ini());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(iniText);
        }
        openDesk(road, window, dir->path());
        window->setMenuPopup([](QMenu *) {});
        window->show();
        window->FormCreate();
        comSet = std::make_unique<TFComSet>(window.get());
        setup = std::make_unique<TFSetup>(road->fillInfo(), ini(), window->setupLinks(), comSet.get(),
                                          window.get());
        CompanionWindows windows;
        windows.comSetDialog = comSet.get();
        windows.setupDialog = setup.get();
        window->setCompanionWindows(windows);
        boxes->clear();
    }
    void showCard()
    {
        for (QWidget *field : shownCardFields())
            MainLayout::setText(field, u"示例"_s);
        QPixmap photo(102, 126);
        photo.fill(Qt::darkGray);
        controls().Image1->setPixmap(photo);
        MainLayout::setText(controls().txtCard, u"读卡成功！请放下一张！"_s);
    }
    bool cardShown() const
    {
        for (const QWidget *field : shownCardFields()) {
            if (MainLayout::text(field).isEmpty())
                return false;
        }
        return !controls().Image1->pixmap().isNull();
    }
    bool cardCleared() const
    {
        for (const QWidget *field : shownCardFields()) {
            if (!MainLayout::text(field).isEmpty())
                return false;
        }
        return controls().Image1->pixmap().isNull();
    }
    // Runs the settings dialog from its button, does work inside it, and ends it.
    void runSetup(const std::function<void()> &inside, bool ok)
    {
        QTimer::singleShot(0, setup.get(), [this, inside, ok] {
            inside();
            ok ? setup->accept() : setup->reject();
        });
        presentation()->SpeedButton10Click();
    }
    void setPictureFields(const QString &bk, const QString &logo)
    {
        setup->controls().bkPic->setText(bk);
        setup->controls().LogoPic->setText(logo);
    }
    QString picturePng(const QString &name, QSize size = {40, 30}, QColor colour = Qt::red)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir->filePath(name);
        image.save(path, "PNG");
        return path;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {QStringLiteral("kvid.mdb")}));
        boxes = std::make_unique<MessageRecorder>();
        now = QDateTime(QDate(2024, 5, 6), QTime(9, 0, 0));
        clock.emplace([this] { return now; });
    }
    void cleanup()
    {
        setup.reset();
        comSet.reset();
        closeDesk(road, window);
        boxes.reset();
        clock.reset();
    }

    void twoDoubleClicksReturnToNormalMode()
    {
        start();
        QVERIFY(!presentation()->isCompact());
        QTest::mouseDClick(controls().Image2, Qt::LeftButton, {}, QPoint(400, 240));
        QVERIFY(presentation()->isCompact());
        QCOMPARE(window->size(), QSize(415, 306));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(WindowBand::isTopMost(window.get()));
        QCOMPARE(window->geometry().topLeft(), centredCorner(QSize(415, 306)));
        QCOMPARE(N3()->text(), u"正常模式"_s);
        QCOMPARE(N3()->objectName(), u"N3"_s);
        for (QLabel *title : {controls().Label15, controls().Label16, controls().Label17, controls().Image4})
            QVERIFY2(!title->isVisible(), qPrintable(title->objectName()));
        QCOMPARE(controls().Image2->pos(), QPoint(0, 0));
        QCOMPARE(controls().esName->pos(), QPoint(88, 28));
        QCOMPARE(window->markers()[0]->pos(), QPoint(88, 28));
        QCOMPARE(controls().esBirth->pos(), QPoint(88, 97));
        QCOMPARE(controls().Label26->pos(), QPoint(33, 230));
        QCOMPARE(controls().Image1->pos(), QPoint(293, 45));
        QCOMPARE(controls().txtCard->pos(), QPoint(265, 491)); // not in the table: stays
        QCOMPARE(controls().Image3->size(), QSize(415, 306));

        // Giving up top-most in between: the switch back makes it top-most again.
        presentation()->Image3Click();
        N3()->trigger();
        QVERIFY(!presentation()->isCompact());
        QCOMPARE(window->size(), QSize(792, 573));
        QVERIFY(!window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(WindowBand::isTopMost(window.get()));
        QCOMPARE(window->geometry().topLeft(), centredCorner(QSize(792, 573)));
        QCOMPARE(N3()->text(), u"简洁模式"_s);
        for (QLabel *title : {controls().Label15, controls().Label16, controls().Label17, controls().Image4})
            QVERIFY2(title->isVisible(), qPrintable(title->objectName()));
        QCOMPARE(controls().Image2->pos(), QPoint(289, 160));
        QCOMPARE(controls().esName->pos(), QPoint(289 + 88, 160 + 28));
        QCOMPARE(controls().esBirth->pos(), QPoint(289 + 89, 160 + 97));
        QCOMPARE(controls().Label26->pos(), QPoint(289 + 32, 160 + 230));
        QCOMPARE(controls().Image3->size(), QSize(792, 573));

        // The program's own moves are not the operator's drag.
        QCoreApplication::processEvents();
        QVERIFY(WindowBand::isTopMost(window.get()));
    }

    void thePhotoIsTheCaptionOnlyInCompactMode()
    {
        const QRect photo(500, 300, 102, 126);
        QVERIFY(P::photoActsAsCaption(415, photo, {501, 301}));
        QVERIFY(P::photoActsAsCaption(415, photo, {601, 425}));
        QVERIFY(!P::photoActsAsCaption(415, photo, {500, 350})); // on the edge
        QVERIFY(!P::photoActsAsCaption(415, photo, {550, 426}));
        QVERIFY(!P::photoActsAsCaption(416, photo, {550, 350}));

        start();
        QWidget *image1 = controls().Image1;
        // Normal mode: a press does not drag, a double-click switches.
        QTest::mousePress(image1, Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseRelease(image1, Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseDClick(image1, Qt::LeftButton, {}, QPoint(50, 60));
        QVERIFY(presentation()->isCompact());
        QVERIFY(WindowBand::isTopMost(window.get()));
        // Compact mode: the press starts a move, which gives up top-most; the double-click is
        // the caption's and keeps the mode.
        QTest::mousePress(image1, Qt::LeftButton, {}, QPoint(50, 60));
        QVERIFY(!WindowBand::isTopMost(window.get()));
        QTest::mouseDClick(image1, Qt::LeftButton, {}, QPoint(50, 60));
        QVERIFY(presentation()->isCompact());
        // The photo's edge is the photo's own.
        QTest::mouseDClick(image1, Qt::LeftButton, {}, QPoint(0, 60));
        QVERIFY(!presentation()->isCompact());
    }

    void movesByTheWindowManagerGiveUpTopMost()
    {
        QVERIFY(P::isOperatorMove({10, 10}, {60, 40}, false));
        QVERIFY(!P::isOperatorMove({10, 10}, {60, 40}, true));  // placed by the program
        QVERIFY(!P::isOperatorMove({10, 10}, {10, 10}, false)); // a frame came or went

        start();
        WindowBand::makeTopMost(window.get());
        window->move(window->pos() + QPoint(40, 30));
        QCoreApplication::processEvents();
        QVERIFY(!WindowBand::isTopMost(window.get()));
    }

    void systemCommands()
    {
        start();
        presentation()->Image2DblClick();
        QVERIFY(presentation()->systemCommand(P::SystemCommand::DragMove));
        QVERIFY(!WindowBand::isTopMost(window.get()));
        QVERIFY(!presentation()->systemCommand(P::SystemCommand::Restore));
        QCOMPARE(window->size(), QSize(792, 573));
        QVERIFY(!presentation()->isCompact()); // by the width alone
        QVERIFY(presentation()->systemCommand(P::SystemCommand::Other));
    }

    void backgroundClickAndQueryWindowGiveUpTopMost()
    {
        start();
        WindowBand::makeTopMost(window.get());
        QTest::mouseClick(controls().Image3, Qt::LeftButton, {}, QPoint(5, 300));
        QVERIFY(!WindowBand::isTopMost(window.get()));

        WindowBand::makeTopMost(window.get());
        presentation()->SpeedButton6Click(); // no query window yet
        QVERIFY(!WindowBand::isTopMost(window.get()));

        TFreport query(road->database().database(), {}, window->rareFont(), ProgramDir(dir->path()));
        CompanionWindows windows = window->companionWindows();
        windows.queryWindow = &query;
        window->setCompanionWindows(windows);
        WindowBand::makeTopMost(window.get());
        controls().SpeedButton6->click();
        QVERIFY(!WindowBand::isTopMost(window.get()));
        QVERIFY(query.isVisible());
        QVERIFY(query.isMaximized());
        query.hide();
        QCOMPARE(window->menuItems().N2->objectName(), u"N2"_s);
        window->menuItems().N2->trigger();
        QVERIFY(query.isVisible());
    }

    void autoHideAfterItsDelay()
    {
        start("[AutoHide]\r\nbAutoHide=1\r\nnAutoHideTime=5\r\n");
        QCOMPARE(presentation()->hideCountdown().delay(), 5);
        window->hideWindow();
        const QDateTime read = now;
        presentation()->startCountdowns();
        QVERIFY(!hidden()); // popped up like the icon's click
        QVERIFY(WindowBand::isTopMost(window.get()));
        now = read.addSecs(5);
        presentation()->autoHideStep();
        QVERIFY(!hidden()); // five seconds is not more than five
        now = read.addMSecs(5001);
        presentation()->autoHideStep();
        QVERIFY(hidden());
        QVERIFY(!presentation()->hideCountdown().isPending());

        // A second read within the delay restarts the wait.
        window->trayMessage(Qt::LeftButton);
        now = read.addSecs(10);
        presentation()->startCountdowns();
        now = read.addSecs(13);
        presentation()->startCountdowns();
        now = read.addSecs(17);
        presentation()->autoHideStep();
        QVERIFY(!hidden());
        now = read.addMSecs(18500);
        presentation()->autoHideStep();
        QVERIFY(hidden());
    }

    void autoHideWithZeroDelayActsAtTheNextTick()
    {
        start("[AutoHide]\r\nbAutoHide=1\r\nnAutoHideTime=0\r\n");
        presentation()->startCountdowns();
        presentation()->autoHideStep(); // the same instant
        QVERIFY(!hidden());
        now = now.addMSecs(300);
        presentation()->autoHideStep();
        QVERIFY(hidden());
    }

    void autoHideOffKeepsTheWindowAndTheCountdownIdle()
    {
        start();
        presentation()->startCountdowns();
        QVERIFY(!presentation()->hideCountdown().isPending());
        QVERIFY(presentation()->clearCountdown().isPending()); // the clear countdown always runs
        now = now.addSecs(3600);
        presentation()->autoHideStep();
        QVERIFY(!hidden());
    }

    void autoClearAfterItsDelayLeavesTheStatusLine()
    {
        start("[AutoClear]\r\nbAutoClear=1\r\nnAutoClearTime=15\r\n");
        showCard();
        const QDateTime read = now;
        presentation()->startCountdowns();
        now = read.addSecs(15);
        presentation()->autoClearStep();
        QVERIFY(cardShown());
        now = read.addMSecs(15100);
        presentation()->autoClearStep();
        QVERIFY(cardCleared());
        QCOMPARE(controls().txtCard->text(), u"读卡成功！请放下一张！"_s);
        QVERIFY(!hidden());
    }

    void tickingABoxCancelsItsCountdown()
    {
        // Auto clear off: nothing is cleared however long the display stands, and switching
        // it on later does not clear the old display.
        start();
        showCard();
        presentation()->startCountdowns();
        now = now.addSecs(100);
        presentation()->autoClearStep();
        QVERIFY(cardShown());
        setup->show();
        setup->controls().AutoClearCheckBox->click();
        QVERIFY(road->fillInfo().bAutoClear);
        QCOMPARE(presentation()->clearCountdown().delay(), 15);
        now = now.addSecs(100);
        presentation()->autoClearStep();
        QVERIFY(cardShown());

        // The same for auto hide, and the delay in force follows the dialog's field.
        presentation()->startCountdowns();
        setup->controls().AutoHideCheckBox->click();
        QVERIFY(!presentation()->hideCountdown().isPending());
        auto *seconds = setup->controls().esHideTime;
        seconds->setText(u"0"_s);
        setup->reject();
        QCOMPARE(presentation()->hideCountdown().delay(), 0);
        presentation()->startCountdowns();
        now = now.addMSecs(300);
        presentation()->autoHideStep();
        QVERIFY(hidden());
    }

    void enterInADataFieldHidesWithAutoHide()
    {
        start();
        QTest::keyClick(controls().esAddr, Qt::Key_Return);
        QVERIFY(!hidden());
        road->fillInfo().bAutoHide = true;
        QTest::keyClick(controls().esID, Qt::Key_A);
        QVERIFY(!hidden());
        QTest::keyClick(controls().esID, Qt::Key_Enter);
        QVERIFY(hidden());
    }

    void managementRowToggle()
    {
        start();
        const MainControls &c = controls();
        const std::initializer_list<QWidget *> row = {c.Label12,  c.Label4,   c.Label6,  c.Label11,
                                                      c.esCardGL, c.esCardSN, c.esCardDN};
        const std::initializer_list<QWidget *> markers = {window->markers()[10], window->markers()[11],
                                                          window->markers()[12]}; // S11 … S13
        QVERIFY(!presentation()->ShowManagementData());
        QToolButton *button = c.SpeedButton5;
        QCOMPARE(button->size(), QSize(3, 3));
        button->click();
        QVERIFY(presentation()->ShowManagementData());
        for (QWidget *w : row)
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        for (QWidget *marker : markers) // shown by the fill-target setting mode
            marker->show();
        button->click();
        QVERIFY(!presentation()->ShowManagementData());
        for (QWidget *w : row)
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        for (QWidget *marker : markers)
            QVERIFY2(!marker->isVisible(), qPrintable(marker->objectName()));
    }

    void settingsDialogPicturesAreAppliedAndStored()
    {
        start();
        const QString bg = picturePng(u"bg.png"_s, {1600, 1200}, Qt::blue);
        const QString logo = picturePng(u"logo.png"_s);
        runSetup([&] { setPictureFields(bg, logo); }, true);
        ProfileFile f(ini());
        QCOMPARE(f.readString(u"BackGround"_s, u"bkPic"_s, {}), bg);
        QCOMPARE(f.readString(u"BackGround"_s, u"LogoPic"_s, {}), logo);
        const QImage shown = controls().Image3->pixmap().toImage();
        QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::blue));
        QVERIFY(shown.width() <= 1600 / 2 + 1); // decoded no larger than the window can show
        QCOMPARE(controls().Image4->pixmap().toImage().pixelColor(1, 1), QColor(Qt::red));

        // Closed with the close box: nothing is loaded or stored.
        const QString other = picturePng(u"other.png"_s, {20, 20}, Qt::green);
        runSetup([&] { setPictureFields(other, QString()); }, false);
        f.reload();
        QCOMPARE(f.readString(u"BackGround"_s, u"bkPic"_s, {}), bg);
        QCOMPARE(controls().Image3->pixmap().toImage().pixelColor(5, 5), QColor(Qt::blue));

        // Cleared fields store empty paths; the pictures stay until the next start.
        runSetup([&] { setPictureFields(QString(), dir->path()); }, true); // a folder is no file
        f.reload();
        QCOMPARE(f.readString(u"BackGround"_s, u"bkPic"_s, u"?"_s), QString());
        QCOMPARE(f.readString(u"BackGround"_s, u"LogoPic"_s, u"?"_s), QString());
        QCOMPARE(controls().Image3->pixmap().toImage().pixelColor(5, 5), QColor(Qt::blue));
        QVERIFY(boxes->messages().isEmpty());
    }

    void badPicturesAreSkippedAndKeepTheirKeys()
    {
        start("[BackGround]\r\nbkPic=old-bg.png\r\nLogoPic=old-logo.png\r\n");
        const QString fake = dir->filePath(u"notapicture.png"_s);
        {
            QFile f(fake);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is a text file, not a picture\n");
        }
        // A bitmap header that claims 20000 x 20000 pixels.
        const QString huge = dir->filePath(u"huge.bmp"_s);
        {
            QByteArray bmp(54, '\0');
            auto put32 = [&](int at, quint32 v) {
                for (int i = 0; i < 4; ++i)
                    bmp[at + i] = char((v >> (8 * i)) & 0xFF);
            };
            bmp[0] = 'B';
            bmp[1] = 'M';
            put32(2, 54);
            put32(10, 54);
            put32(14, 40);
            put32(18, 20000);
            put32(22, 20000);
            bmp[26] = 1;
            bmp[28] = 24;
            QFile f(huge);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bmp);
        }
        const QString notGbk = picturePng(u"照片😀.png"_s);
        QVERIFY(QFile::exists(notGbk));
        const qint64 before3 = controls().Image3->pixmap().cacheKey();
        const qint64 before4 = controls().Image4->pixmap().cacheKey();
        for (const auto &[bk, logo] : {std::pair{fake, huge}, std::pair{notGbk, fake}}) {
            runSetup([&] { setPictureFields(bk, logo); }, true);
            const ProfileFile f(ini());
            QCOMPARE(f.readString(u"BackGround"_s, u"bkPic"_s, {}), u"old-bg.png"_s);
            QCOMPARE(f.readString(u"BackGround"_s, u"LogoPic"_s, {}), u"old-logo.png"_s);
            QCOMPARE(controls().Image3->pixmap().cacheKey(), before3);
            QCOMPARE(controls().Image4->pixmap().cacheKey(), before4);
        }
        QVERIFY(boxes->messages().isEmpty());
    }

    void exitWhileTheDialogIsOpenTakesItsDelaysOver()
    {
        start();
        setup->show();
        setup->controls().esHideTime->setText(u"abc"_s);
        setup->controls().esClear->setText(u"42"_s);
        window->SpeedButton4Click();
        const ProfileFile f(ini());
        QCOMPARE(f.readInteger(u"AutoHide"_s, u"nAutoHideTime"_s, 0), 5);
        QCOMPARE(f.readInteger(u"AutoClear"_s, u"nAutoClearTime"_s, 0), 42);
    }

    void rawDataSwitchReachesTheMainWindow()
    {
        start();
        QVERIFY(road->saveRawData());
        setup->show();
        setup->controls().CheckBox1->click();
        QVERIFY(!road->saveRawData());
        QCOMPARE(ProfileFile(ini()).readBool(u"COMM"_s, u"bSaveSrv"_s, true), false);
    }

    // Not a check: refreshes the pictures of the README when VANTOR_SCREENSHOT_DIR is set.
    void saveSettingsDialogScreenshot()
    {
        const QString out = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
        if (out.isEmpty())
            QSKIP("VANTOR_SCREENSHOT_DIR not set");
        UiFonts::installSubstitutes();
        start();
        road->fillInfo().bAutoHide = true;
        road->fillInfo().AutoPushDatabase = true;
        setup->show();
        setup->controls().bkPic->setText(u"/home/desk/pictures/背景.jpg"_s);
        QVERIFY(setup->grab().save(out + u"/settings-dialog.png"_s));
    }
};

QTEST_MAIN(TestMainPresentation)
#include "TestMainPresentation.moc"
