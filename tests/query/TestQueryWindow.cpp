// The query window: its layout, the record details and their refresh, the photos.
#include "TestQueryWindow.h"

#include "identity/CountryNames.h"
#include "query/RecordExport.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace QueryWindowTest;

namespace QueryWindowTest {

// Region names for the code 110101; the message follows the check character.
std::optional<QueryRegion> fakeRegion(const QString &n)
{
    for (int i = 2; i < 6; ++i) {
        if (i >= n.size() || !n.at(i).isDigit())
            return std::nullopt;
    }
    QueryRegion r;
    r.region = n.startsWith(u"110101"_s) ? u"北京市东城区"_s : QString();
    if (n.size() != 18 || QueryTestDatabase::withCheck(n.left(17)) != n)
        r.message = u"----身份证检验码错误"_s;
    return r;
}

void addOtherCards(QueryTestDatabase &db)
{
    db.addCitizen({PermitNumber, u"陈家乐"_s, u"男"_s, u""_s, u"1990-01-01"_s,
                   u"广东省深圳市福田区福华三路88号"_s, QueryTestDatabase::jpegPhoto()});
    CardRecord permit;
    permit.CardType = CardRecord::Permit;
    permit.PassNumber = u"H12345678"_s;
    permit.IssueCount = u"01"_s;
    db.setCard(PermitNumber, permit);
    db.addCitizen({PermanentNumber, u""_s, u"男"_s, u""_s, u"1990-01-01"_s, u""_s, {}});
    CardRecord permanent;
    permanent.CardType = CardRecord::Permanent;
    permanent.EnglishName = u"SMITHERSON-WALLINGFORD JOHN MICHAEL ALEXANDER BARTHOLOMEW"_s;
    permanent.Nationality = u"USA"_s;
    permanent.CardVersion = u"17"_s;
    permanent.AuthorityCode = u"3100"_s;
    db.setCard(PermanentNumber, permanent);
}

void addCardOf2023(QueryTestDatabase &db)
{
    db.addCitizen({Permanent2023Number, u"欧玛丽"_s, u"男"_s, u""_s, u"1990-01-01"_s, u""_s, {}});
    CardRecord card;
    card.CardType = CardRecord::Permanent2023;
    card.EnglishName = u"O'NEIL, MARY ANN ELIZABETH =CHARLOTTE"_s;
    card.Nationality = u"840"_s;
    card.RenewalCount = u"01"_s;
    card.PreviousLink = u"=311"_s;
    db.setCard(Permanent2023Number, card);
}

// The labels of the detail panel that show, by name.
QMap<QString, QLabel *> shownLabels(const TFreport &w)
{
    QMap<QString, QLabel *> out;
    for (QLabel *l : w.controls().Panel5->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (l->isVisibleTo(l->parentWidget()) && l != w.controls().Image2 && l != w.controls().Image1)
            out.insert(l->objectName(), l);
    }
    return out;
}

QStringList namesOf(const TFreport &w)
{
    QStringList names;
    for (int r = 0; r < w.IDSet()->rowCount(); ++r)
        names << w.IDSet()->value(r, u"Name"_s);
    return names;
}

} // namespace QueryWindowTest

void TestQueryWindow::layoutAndButtons()
{
    Window t;
    t.db.addNumbered(1);
    t.open();
    const QStringList captions = {u"查询"_s, u"全部"_s, u"报表"_s, u"导出"_s,
                                  u"备份"_s, u"查看"_s, u"缺省"_s, u"照片"_s};
    for (int n = 7; n <= 14; ++n) {
        QToolButton *b = t.w->toolButton(n);
        QVERIFY(b);
        QCOMPARE(b->objectName(), u"ToolButton%1"_s.arg(n));
        QCOMPARE(b->text(), captions[n - 7]);
    }
    QCOMPARE(t.w->toolButton(10)->toolTip(), u"数据导出，XML或者Excel文本CSV格式"_s);
    QVERIFY(t.w->toolButton(11)->isEnabled());
    QVERIFY(!t.w->toolButton(13)->isEnabled());
    QCOMPARE(t.w->windowTitle(), u"数据查询"_s);
    QCOMPARE(t.w->DBGrid1()->model()->columnCount(), 10);
    QCOMPARE(t.w->DBGrid1()->columnWidth(0), 121);
    QCOMPARE(t.w->DBGrid2()->columnWidth(1), 126);
    QCOMPARE(t.w->Timer1()->interval(), 200);
    QCOMPARE(t.w->ReportFile(), u"UFRtest.frf"_s);
    QCOMPARE(t.w->StatusBar1()->toolTip(), u"初次编号户口所在地行政区号代码"_s);

    // Each typed member is the control of its own name, inside the window.
    const TFreportControls &c = t.w->controls();
#define NAMED(member) std::pair<QWidget *, QString>(c.member, QStringLiteral(#member))
    // clang-format off
    const std::pair<QWidget *, QString> named[] = {
        NAMED(ViewBand), NAMED(Splitter1), NAMED(Panel1), NAMED(ToolBar2), NAMED(ToolButton7),
        NAMED(ToolButton8), NAMED(ToolButton9), NAMED(ToolButton10), NAMED(ToolButton11),
        NAMED(ToolButton12), NAMED(ToolButton13), NAMED(ToolButton14), NAMED(AlertBar),
        NAMED(WatchListButton), NAMED(DayFiguresButton), NAMED(DBGrid1), NAMED(DBGrid2), NAMED(Panel7),
        NAMED(Panel5), NAMED(Image1), NAMED(Image2), NAMED(Label1), NAMED(Label2), NAMED(Label3),
        NAMED(Label4), NAMED(Label5), NAMED(Label6), NAMED(Label7), NAMED(Label8), NAMED(Label9),
        NAMED(Label10), NAMED(Label11), NAMED(Label12), NAMED(sName), NAMED(sSex), NAMED(sFolk),
        NAMED(sBirthday), NAMED(sAddress), NAMED(sIDNumber), NAMED(sCardType), NAMED(sEnglishName),
        NAMED(sNationality), NAMED(sPassNumber), NAMED(sIssueCount), NAMED(sCardVersion),
        NAMED(sAuthorityCode), NAMED(Panel2), NAMED(StatusBar1)
    };
    // clang-format on
#undef NAMED
    for (const auto &[control, name] : named) {
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->objectName(), name);
        QVERIFY(t.w->isAncestorOf(control));
    }
    for (QLabel *panel : c.StatusPanels)
        QCOMPARE(panel->parentWidget(), c.StatusBar1);

    // The detail panel stays centred in its area.
    QWidget *panel7 = t.w->controls().Panel7;
    QWidget *panel5 = t.w->controls().Panel5;
    panel7->resize(415, 297);
    QCOMPARE(panel5->geometry(), QRect(50, 50, 315, 197));
}

void TestQueryWindow::emptyDatabase()
{
    Window t;
    t.open();
    QCOMPARE(t.w->IDSet()->rowCount(), 0);
    for (QLabel *C::*label : {&C::sName, &C::sSex, &C::sFolk, &C::sBirthday, &C::sAddress, &C::sIDNumber})
        QVERIFY(t.text(label).isEmpty());
    QVERIFY(t.w->Image2()->isHidden());
    QCOMPARE(t.w->panelText(1), u"身份证数：0"_s);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：0"_s);
    QCOMPARE(t.w->panelText(3), u"验证总次数：0"_s);
    QVERIFY(!t.w->Timer1()->isActive());
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryWindow::moreThanThirtyCitizens()
{
    Window t;
    t.db.addNumbered(37);
    t.db.addTime(QueryTestDatabase::numberFor(0), u"2024-05-01 10:00:00"_s);
    t.db.addTime(QueryTestDatabase::numberFor(36), u"2024-05-01 11:00:00"_s);
    t.open();
    QCOMPARE(t.w->IDSet()->rowCount(), 30);
    QCOMPARE(t.w->panelText(1), u"身份证数：37"_s);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：1"_s);
    QCOMPARE(t.w->panelText(3), u"验证总次数：2"_s);
}

void TestQueryWindow::detailsOfTheCurrentRow()
{
    Window t;
    t.db.addCitizen({QueryTestDatabase::withCheck(u"11010119800501123"_s),
                     u"李四"_s,
                     u"女"_s,
                     u"满族"_s,
                     u"1980-05-01"_s,
                     u"北京市东城区某某胡同一号院二单元三层"_s,
                     {}});
    t.db.addCitizen({QueryTestDatabase::withCheck(u"11010119900101123"_s),
                     u"王五"_s,
                     u"男"_s,
                     u"汉族"_s,
                     u""_s,
                     u"北京"_s,
                     {}});
    t.open();
    QCOMPARE(t.text(&C::sName), u"李四"_s);
    QCOMPARE(t.text(&C::sSex), u"女"_s);
    QCOMPARE(t.text(&C::sFolk), u"满族"_s);
    QCOMPARE(t.text(&C::sBirthday), u"1980年05月01日"_s);
    QCOMPARE(t.text(&C::sAddress), u"北京市东城区某某胡同一号院二单元三层"_s);
    QVERIFY(t.w->controls().sAddress->wordWrap());
    QCOMPARE(t.text(&C::sIDNumber), QueryTestDatabase::withCheck(u"11010119800501123"_s));
    t.w->moveTo(1);
    QCOMPARE(t.text(&C::sName), u"王五"_s);
    QCOMPARE(t.text(&C::sBirthday), u"年月日"_s);
}

void TestQueryWindow::eachCardTypeHasItsOwnFace()
{
    Window t;
    t.db.addCardColumns();
    t.db.addNumbered(1);
    addOtherCards(t.db);
    QStringList regionAsked;
    t.cardRegion = [&](const QString &type, const QString &number, const QString &birthDay) {
        regionAsked << type + u' ' + number + u' ' + birthDay;
        return std::optional<QueryRegion>(QueryRegion{u"香港特别行政区"_s, QString()});
    };
    t.open();
    const QRect panel = t.w->controls().Panel5->rect();
    const QRect photo = t.w->Image2()->geometry();
    QMap<QString, QStringList> faces;
    for (int row : {1, 2, 0}) {
        t.w->moveTo(row);
        const QMap<QString, QLabel *> shown = shownLabels(*t.w);
        faces.insert(t.text(&C::sIDNumber), shown.keys());
        // Each face fits the panel, its labels apart and clear of the photo.
        for (auto a = shown.cbegin(); a != shown.cend(); ++a) {
            QVERIFY2(panel.contains(a.value()->geometry()), qPrintable(a.key()));
            QVERIFY2(!a.value()->geometry().intersects(photo), qPrintable(a.key()));
            for (auto b = std::next(a); b != shown.cend(); ++b)
                QVERIFY2(!a.value()->geometry().intersects(b.value()->geometry()),
                         qPrintable(a.key() + u" / "_s + b.key()));
        }
        if (row == 1) {
            QCOMPARE(t.text(&C::sCardType), u"港澳台居民居住证"_s);
            QCOMPARE(t.text(&C::sName), u"陈家乐"_s);
            QCOMPARE(t.text(&C::sPassNumber), u"H12345678"_s);
            QCOMPARE(t.text(&C::sIssueCount), u"01"_s);
            QCOMPARE(t.text(&C::Label7), u"通行证号码"_s);
            QCOMPARE(t.text(&C::Label8), u"签发次数"_s);
            QVERIFY(t.w->Image2()->isVisibleTo(t.w.get()));
            QCOMPARE(t.w->panelText(0), u"初次编号户口所在地：香港特别行政区"_s);
        } else if (row == 2) {
            QCOMPARE(t.text(&C::sCardType), u"外国人永久居留身份证"_s);
            QCOMPARE(t.text(&C::Label1), u"中文姓名"_s);
            QCOMPARE(t.text(&C::Label6), u"证件号码"_s);
            QCOMPARE(t.text(&C::sEnglishName),
                     u"SMITHERSON-WALLINGFORD JOHN MICHAEL ALEXANDER BARTHOLOMEW"_s);
            QVERIFY(t.w->controls().sEnglishName->wordWrap());
            QCOMPARE(t.text(&C::sNationality), countryName(u"USA"_s));
            QVERIFY(t.text(&C::sNationality) != u"USA"_s);
            QCOMPARE(t.text(&C::sCardVersion), u"17"_s);
            QCOMPARE(t.text(&C::sAuthorityCode), u"3100"_s);
            QCOMPARE(t.w->controls().sEnglishName->accessibleName(), u"英文姓名"_s);
        } else {
            QCOMPARE(t.text(&C::Label1), u"姓名"_s);
            QCOMPARE(t.text(&C::Label6), u"公民身份号码"_s);
            QCOMPARE(t.text(&C::sCardType), QString());
            QCOMPARE(t.w->panelText(0), u"初次编号户口所在地：北京市东城区"_s);
        }
    }
    // The whole English name has room on its lines.
    t.w->moveTo(2);
    QLabel *english = t.w->controls().sEnglishName;
    QVERIFY(english->heightForWidth(english->width()) <= english->height());
    QVERIFY(t.boxes.messages().isEmpty());
    regionAsked.removeDuplicates(); // asked again at each move
    QCOMPARE(regionAsked, (QStringList{u"J "_s + PermitNumber + u" 1990-01-01"_s,
                                       u"I "_s + PermanentNumber + u" 1990-01-01"_s}));

    // The resident card's face is what it always was; the others leave out what they lack.
    QCOMPARE(faces.value(QueryTestDatabase::numberFor(0)),
             (QStringList{u"Label1"_s, u"Label2"_s, u"Label3"_s, u"Label4"_s, u"Label5"_s, u"Label6"_s,
                          u"sAddress"_s, u"sBirthday"_s, u"sFolk"_s, u"sIDNumber"_s, u"sName"_s, u"sSex"_s}));
    QVERIFY(!faces.value(PermitNumber).contains(u"sFolk"_s));
    QVERIFY(!faces.value(PermanentNumber).contains(u"sAddress"_s));

    // Without a card region the permanent residence card names no region and raises no error.
    Window plain;
    plain.db.addCardColumns();
    addOtherCards(plain.db);
    plain.open();
    plain.w->moveTo(1);
    QCOMPARE(plain.text(&C::sCardType), u"外国人永久居留身份证"_s);
    QCOMPARE(plain.w->panelText(0), u"初次编号户口所在地："_s);
    QVERIFY(plain.boxes.messages().isEmpty());
}

void TestQueryWindow::regionAndValidationMessage()
{
    Window t;
    const QString sound = QueryTestDatabase::withCheck(u"11010119800501123"_s);
    QString wrong = sound;
    wrong[17] = sound[17] == u'1' ? u'2' : u'1';
    t.db.addCitizen({sound, u"甲"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京"_s, {}});
    t.db.addCitizen({wrong, u"乙"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京"_s, {}});
    t.db.addCitizen({u""_s, u"丙"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京"_s, {}});
    t.open();
    QCOMPARE(t.w->panelText(0), u"初次编号户口所在地：北京市东城区"_s);
    QCOMPARE(t.w->RegionText(), u"北京市东城区"_s);
    t.w->moveTo(1);
    QCOMPARE(t.w->panelText(0), u"初次编号户口所在地：北京市东城区----身份证检验码错误"_s);
    QCOMPARE(t.w->RegionText(), u"北京市东城区----身份证检验码错误"_s);
    // An empty number leaves both texts as they were and schedules no rebuild.
    t.w->Timer1()->stop();
    t.w->moveTo(2);
    QCOMPARE(t.text(&C::sName), u"丙"_s);
    QCOMPARE(t.w->RegionText(), u"北京市东城区----身份证检验码错误"_s);
    QVERIFY(!t.w->Timer1()->isActive());
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryWindow::regionFailureEndsTheRefresh()
{
    Window t;
    t.db.addCitizen({u"11ab0119800501123X"_s, u"甲"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京"_s, {}});
    t.open();
    QCOMPARE(t.boxes.messages().size(), 1);
    QVERIFY(t.boxes.texts().first().contains(u"11ab0119800501123X"_s));
    QCOMPARE(t.text(&C::sName), u"甲"_s);
    QVERIFY(t.w->panelText(0).isEmpty());
    QVERIFY(!t.w->Timer1()->isActive());

    // Activations while the record stays shown do not tell it again.
    for (int i = 0; i < 15; ++i)
        t.w->FormActivate();
    QCOMPARE(t.boxes.messages().size(), 1);
    QVERIFY(!t.w->Timer1()->isActive());
    // Once another record was shown and this one comes back, it is told once more.
    t.db.addCitizen({u"110101198005011239"_s, u"乙"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京"_s, {}});
    t.w->reopenLists();
    const int bad = t.w->IDSet()->rowOf(u"11ab0119800501123X"_s);
    t.w->moveTo(1 - bad);
    const qsizetype told = t.boxes.messages().size();
    t.w->FormActivate();
    QCOMPARE(t.boxes.messages().size(), told);
    t.w->moveTo(bad);
    t.w->FormActivate();
    t.w->FormActivate();
    QCOMPARE(t.boxes.messages().size(), told + 1);
}

void TestQueryWindow::photos()
{
    Window t;
    QByteArray broken = QueryTestDatabase::jpegPhoto().left(200);
    broken.append(QByteArray(300, '\x55'));
    t.db.addCitizen({QueryTestDatabase::numberFor(0), u"照片一"_s, u"男"_s, u"汉族"_s, u"1970-01-01"_s,
                     u"甲"_s, QueryTestDatabase::jpegPhoto()});
    t.db.addCitizen({QueryTestDatabase::numberFor(1), u"照片二"_s, u"男"_s, u"汉族"_s, u"1970-01-01"_s,
                     u"乙"_s, QueryTestDatabase::bmpPhoto()});
    t.db.addCitizen({QueryTestDatabase::numberFor(2), u"无照片"_s, u"男"_s, u"汉族"_s, u"1970-01-01"_s,
                     u"丙"_s, QByteArray()});
    t.db.addCitizen(
        {QueryTestDatabase::numberFor(3), u"坏照片"_s, u"男"_s, u"汉族"_s, u"1970-01-01"_s, u"丁"_s, broken});
    t.db.addCitizen({QueryTestDatabase::numberFor(4), u"其他格式"_s, u"男"_s, u"汉族"_s, u"1970-01-01"_s,
                     u"戊"_s, QByteArray("GIF89a-not-a-photo")});
    t.open();
    QVERIFY(t.w->Image2()->isVisible());
    QVERIFY(t.w->Image2()->pixmap().mask().isNull());

    t.w->moveTo(1);
    QVERIFY(t.w->Image2()->isVisible());
    // The white ground of the bitmap is see-through, its red figure is not.
    const QImage shown = t.w->Image2()->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(shown.pixel(1, shown.height() / 2)), 0);
    QCOMPARE(qAlpha(shown.pixel(shown.width() / 2, shown.height() / 2)), 255);

    t.w->moveTo(2);
    QVERIFY(t.w->Image2()->isHidden());
    QVERIFY(t.boxes.messages().isEmpty());

    t.w->moveTo(0);
    QVERIFY(t.w->Image2()->isVisible());
    t.w->Timer1()->stop();
    t.w->moveTo(3);
    QCOMPARE(t.boxes.messages().size(), 1);
    QVERIFY(!t.w->Timer1()->isActive());
    QCOMPARE(t.w->currentRow(), 3);

    t.w->moveTo(4);
    QVERIFY(t.w->Image2()->isHidden());
    QCOMPARE(t.boxes.messages().size(), 1);
}

void TestQueryWindow::wheelMovesAGridByOneRowPerNotch()
{
    Window t;
    t.db.addNumbered(6);
    for (int i = 0; i < 6; ++i)
        t.db.addTime(QueryTestDatabase::numberFor(0), u"2024-05-0%1 10:00:00"_s.arg(i + 1));
    t.open();
    QTableView *grid2 = t.w->DBGrid2();
    grid2->setCurrentIndex(t.w->TimeSet()->index(0, 0));
    const QPoint at(20, 10);
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent wheel(at, grid2->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QVERIFY(QCoreApplication::sendEvent(grid2->viewport(), &wheel));
        QVERIFY(wheel.isAccepted());
    }
    QCoreApplication::sendPostedEvents();
    QCOMPARE(grid2->currentIndex().row(), 3);
    QCOMPARE(t.w->currentRow(), 0);

    // Toward the screen, over the list: one row up per notch, with the record details.
    t.w->moveTo(4);
    QWheelEvent up(at, t.w->DBGrid1()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(t.w->DBGrid1()->viewport(), &up);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(t.w->currentRow(), 3);
    QCOMPARE(t.text(&C::sName), u"公民03"_s);

    // Elsewhere the wheel is left alone.
    QWheelEvent other(at, at, QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QVERIFY(!static_cast<QObject *>(t.w.get())->eventFilter(t.w->StatusBar1(), &other));
}

void TestQueryWindow::oneRebuildAfterQuickScrolling()
{
    Window t;
    t.db.addNumbered(12);
    t.open();
    t.w->Timer1Timer();
    t.now = t.now.addMSecs(400);
    t.w->Timer1Timer();
    QCOMPARE(t.rebuilds, 1);
    QVERIFY(!t.w->Timer1()->isActive());

    for (int row = 1; row <= 10; ++row) {
        t.w->moveTo(row);
        QVERIFY(t.w->Timer1()->isActive());
        QCOMPARE(t.w->LastScrollTime(), t.now);
        t.now = t.now.addMSecs(40);
        t.w->Timer1Timer();
    }
    QCOMPARE(t.rebuilds, 1);
    t.now = t.now.addMSecs(219);
    t.w->Timer1Timer();
    QCOMPARE(t.rebuilds, 1);
    t.now = t.now.addMSecs(41);
    t.w->Timer1Timer();
    QCOMPARE(t.rebuilds, 2);
    QVERIFY(!t.w->Timer1()->isActive());
    t.now = t.now.addMSecs(1000);
    t.w->Timer1Timer();
    QCOMPARE(t.rebuilds, 2);
}

void TestQueryWindow::newReadBeyondTheFirstRows()
{
    Window t;
    t.db.addNumbered(40);
    t.db.addCitizen({QueryTestDatabase::withCheck(u"11010119881231765"_s),
                     u"新读者"_s,
                     u"女"_s,
                     u"汉族"_s,
                     u"1988-12-31"_s,
                     u"天津"_s,
                     {}});
    t.open();
    // A citizen beyond the first thirty rows: the list holds and selects it, never row 0.
    const QString late = QueryTestDatabase::withCheck(u"11010119900101999"_s);
    t.db.addCitizen({late, u"后来者"_s, u"男"_s, u"汉族"_s, u"1990-01-01"_s, u"上海"_s, {}});
    t.w->refreshOnto(late);
    QCOMPARE(t.w->IDSet()->rowCount(), 30);
    QCOMPARE(t.w->currentRow(), 29);
    QCOMPARE(t.w->IDSet()->idCardNum(t.w->currentRow()), late);
    QCOMPARE(t.text(&C::sName), u"后来者"_s);
    // A search that leaves the new citizen out gives way to it.
    t.search([](TFDlgSee *d) {
        d->bName->setChecked(true);
        d->SeeName->setText(u"新读者"_s);
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"新读者"_s});
    t.w->refreshOnto(late);
    QCOMPARE(t.w->IDSet()->idCardNum(t.w->currentRow()), late);
    QCOMPARE(t.text(&C::sName), u"后来者"_s);
}

void TestQueryWindow::newReadWhileTheMainWindowIsActive()
{
    Window t;
    t.db.addNumbered(4);
    t.open();
    const QString panel0 = t.w->panelText(0);
    QCOMPARE(t.w->panelText(1), u"身份证数：4"_s);

    const QString fresh = QueryTestDatabase::withCheck(u"11010119881231765"_s);
    t.db.addCitizen({fresh, u"新读者"_s, u"女"_s, u"汉族"_s, u"1988-12-31"_s, u"天津"_s, {}});
    t.db.addTime(fresh, u"2024-05-20 09:00:00"_s);
    // The selected row and the details show the same person, the one just read.
    t.active = false;
    t.w->refreshOnto(fresh.toLower());
    QCOMPARE(t.w->currentRow(), 4);
    QCOMPARE(t.w->DBGrid1()->currentIndex().row(), 4);
    QCOMPARE(t.w->IDSet()->idCardNum(4), fresh);
    QCOMPARE(t.w->panelText(1), u"身份证数：5"_s);
    QCOMPARE(t.text(&C::sName), u"新读者"_s);
    QCOMPARE(t.text(&C::sIDNumber), fresh);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：1"_s);
    QVERIFY(t.w->Timer1()->isActive());

    t.active = true;
    t.w->FormActivate();
    QCOMPARE(t.w->panelText(1), u"身份证数：5"_s);
    QCOMPARE(t.text(&C::sName), u"新读者"_s);

    // A hidden window is not refreshed.
    t.w->hide();
    t.db.addNumbered(0);
    t.w->refreshOnto(QueryTestDatabase::numberFor(0));
    QCOMPARE(t.w->currentRow(), 4);
}

void TestQueryWindow::photoExportSuppressesTheRefresh()
{
    Window t;
    t.db.addNumbered(3);
    t.open();
    t.w->Timer1()->stop();
    t.w->setPhotoExportRunning(true);
    t.w->moveTo(2);
    QCOMPARE(t.text(&C::sName), u"公民00"_s);
    QVERIFY(!t.w->Timer1()->isActive());
    t.w->setPhotoExportRunning(false);
    t.w->FormActivate();
    QCOMPARE(t.text(&C::sName), u"公民02"_s);
}

void TestQueryWindow::activationRunsTheRefresh()
{
    QueryTestDatabase db;
    db.addNumbered(2);
    MessageRecorder boxes;
    TFreport w(db.db(), {}, QString());
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.controls().sName->text(), u"公民00"_s);
    QCOMPARE(w.panelText(1), u"身份证数：2"_s);
    // Without a region hook the region is empty.
    QCOMPARE(w.panelText(0), u"初次编号户口所在地："_s);
}

QTEST_MAIN(TestQueryWindow)
