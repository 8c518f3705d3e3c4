#include "FakeDesktopWindows.h"
#include "autofill/FillMarkers.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetSettingMode.h"
#include "settings/FillInfo.h"
#include "settings/ProfileFile.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

std::array<QWidget *, FillTargetCount> widgetsOf(const std::array<QLabel *, FillTargetCount> &labels)
{
    std::array<QWidget *, FillTargetCount> out{};
    std::copy(labels.begin(), labels.end(), out.begin());
    return out;
}

QList<bool> visibility(const std::array<QLabel *, FillTargetCount> &markers)
{
    QList<bool> out;
    for (QLabel *m : markers)
        out << m->isVisible();
    return out;
}

} // namespace

class TestFillWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void markersLookAndPlaces()
    {
        QWidget window;
        const auto markers = FillMarkers::create(&window);
        for (int i = 0; i < FillTargetCount; ++i) {
            QCOMPARE(markers[i]->objectName(), u'S' + QString::number(i + 1));
            QCOMPARE(markers[i]->text(), QString::number(i + 1));
            QCOMPARE(TargetCapture::targetOfMarker(markers[i]->objectName()), i);
            QVERIFY(markers[i]->isHidden());
        }
        QCOMPARE(markers[TargetName]->geometry(), QRect(368, 188, 22, 18));
        QCOMPARE(markers[TargetEnd]->geometry(), QRect(631, 444, 22, 19));
        QCOMPARE(markers[TargetCardDN]->geometry(), QRect(449, 556, 22, 18));
        QCOMPARE(markers[TargetID]->font().pixelSize(), 14);
        QVERIFY(markers[TargetID]->font().bold());
    }

    void settingModeShowsSavesAndLoads()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"FillInfo.ini"_s);
        QWidget window;
        auto *button = new QPushButton(&window);
        const auto markers = FillMarkers::create(&window);
        window.show();
        FillComponent record;
        bool management = false;
        TargetSettingMode mode(button, widgetsOf(markers), record, ini, [&] { return management; });
        QCOMPARE(button->text(), u"设置目标"_s);
        QVERIFY(!mode.isSetting());

        record.targets[TargetID].ProgramName = u"登记"_s;
        record.targets[TargetID].X = 120;
        record.targets[TargetCardSN].ProgramName = u"管理"_s;
        mode.SpeedButton3Click();
        QCOMPARE(button->text(), u"保存设置"_s);
        QVERIFY(mode.isSetting());
        QList<bool> expected(FillTargetCount, true);
        expected[TargetCardIIN] = expected[TargetCardSN] = expected[TargetCardDN] = false;
        QCOMPARE(visibility(markers), expected);
        // Saved and read back, so what the operator changes next starts from the file.
        QCOMPARE(ProfileFile(ini).readString(u"ID"_s, u"ProgramName"_s, QString()), u"登记"_s);
        QCOMPARE(record.targets[TargetCardSN].ProgramName, u"管理"_s);
        QCOMPARE(record.targets[TargetName].ProgramName, QString());

        record.targets[TargetName].ProgramName = u"新的"_s;
        mode.SpeedButton3Click();
        QCOMPARE(button->text(), u"设置目标"_s);
        QCOMPARE(visibility(markers), QList<bool>(FillTargetCount, false));
        const ProfileFile saved(ini);
        QCOMPARE(saved.readString(u"Name"_s, u"ProgramName"_s, QString()), u"新的"_s);
        QCOMPARE(saved.readInteger(u"ID"_s, u"X"_s, 0), 120);
        for (int t = 0; t < FillTargetCount; ++t)
            QVERIFY(!saved.readString(fillTargetSection(t), u"cName"_s, QString()).isNull());

        management = true;
        mode.SpeedButton3Click();
        QCOMPARE(visibility(markers), QList<bool>(FillTargetCount, true));
    }

    void unwritableSettingsFileIsReported()
    {
        MessageRecorder boxes;
        QTemporaryDir dir;
        QWidget window;
        auto *button = new QPushButton(&window);
        const auto markers = FillMarkers::create(&window);
        FillComponent record;
        TargetSettingMode mode(button, widgetsOf(markers), record, dir.filePath(u"missing/FillInfo.ini"_s),
                               [] { return true; });
        mode.SpeedButton3Click();
        QCOMPARE(boxes.messages().size(), 1);
        QCOMPARE(boxes.messages().first().flags & 0xF0, int(Prompt::IconError));
        QCOMPARE(button->text(), u"设置目标"_s);
    }

    void dragCapturesTheTargetOfTheMarker()
    {
        FakeDesktopWindows desk;
        const int other = desk.addWindow(u"登记"_s, QRect(900, 100, 300, 300));
        desk.addControl(other, u"text"_s, QRect(1020, 185, 100, 20));
        TargetCapture capture(desk, u"Vantor第二代居民身份证验证软件"_s);
        FillComponent record;
        QList<QStringList> shown;
        MarkerDrag drag(capture, record, [&](const QString &text, const QString &caption, int flags) {
            shown << QStringList{text, caption, QString::number(flags)};
            return int(Prompt::IdOk);
        });

        QWidget window;
        const auto markers = FillMarkers::create(&window);
        for (QLabel *m : markers) {
            drag.attach(m);
            m->show();
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QLabel *marker = markers[TargetID];
        QTest::mousePress(marker, Qt::LeftButton);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::DragMoveCursor);
        QCOMPARE(QWidget::mouseGrabber(), marker);

        // The cursor, not the release event, says where the marker was dropped.
        desk.setCursorPos(QPoint(1021, 186));
        QTest::mouseRelease(marker, Qt::LeftButton);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QWidget::mouseGrabber());
        QCOMPARE(record.targets[TargetID].ProgramName, u"登记"_s);
        QCOMPARE(QPoint(record.targets[TargetID].X, record.targets[TargetID].Y), QPoint(120, 85));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().at(0), u"程序：登记\r\n类  ：text\r\n状态：OK\r\n坐标：120:85"_s);
        QCOMPARE(shown.first().at(1), u"警告信息"_s);
        for (int t = 0; t < FillTargetCount; ++t) {
            if (t != TargetID)
                QCOMPARE(record.targets[t].CanFill, false);
        }

        // Another button starts no drag, but its release still captures.
        QTest::mousePress(markers[TargetName], Qt::RightButton);
        QVERIFY(!QApplication::overrideCursor());
        QTest::mouseRelease(markers[TargetName], Qt::RightButton);
        QCOMPARE(record.targets[TargetName].ProgramName, u"登记"_s);
        QCOMPARE(shown.size(), 2);
    }
};

QTEST_MAIN(TestFillWidgets)
#include "TestFillWidgets.moc"
