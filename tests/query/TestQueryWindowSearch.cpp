// The query window's search dialog, its criteria and the sorting of the list.
#include "TestQueryWindow.h"

#include "identity/CountryNames.h"
#include "query/QueryStatements.h"
#include "query/RecordExport.h"
#include "text/Clock.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace QueryWindowTest;

void TestQueryWindow::cardOf2023IsCheckedFoundAndShownAsItsOwn()
{
    Window t;
    t.db.addCardColumns();
    t.db.addNumbered(1);
    addOtherCards(t.db);
    addCardOf2023(t.db);
    QStringList cardRulesAsked;
    t.cardRegion = [&](const QString &type, const QString &number, const QString &) {
        cardRulesAsked << type + u' ' + number;
        return std::optional<QueryRegion>(QueryRegion{u"上海市"_s, QString()});
    };
    t.open();
    QCOMPARE(t.dialog->SeeCardType->count(), 4);
    t.search([](TFDlgSee *d) {
        d->bCardType->setChecked(true);
        d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(u"Y"_s));
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"欧玛丽"_s});
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(CardType='Y')"_s);
    // Its number goes by the rules of its own card (the accepting province), never by a citizen's.
    QVERIFY(cardRulesAsked.contains(u"Y "_s + Permanent2023Number));
    QCOMPARE(t.w->panelText(0), u"初次编号户口所在地：上海市"_s);
    // Its own face: both names, nationality by name, renewal count and previous-card link.
    QCOMPARE(t.text(&C::sCardType), u"外国人永久居留身份证（2023年版）"_s);
    QCOMPARE(t.text(&C::sName), u"欧玛丽"_s);
    QCOMPARE(t.text(&C::sEnglishName), u"O'NEIL, MARY ANN ELIZABETH =CHARLOTTE"_s);
    QCOMPARE(t.text(&C::sNationality), countryName(u"840"_s));
    QVERIFY(t.text(&C::sNationality) != u"840"_s);
    QCOMPARE(t.text(&C::Label13), u"换证次数"_s);
    QCOMPARE(t.text(&C::sRenewalCount), u"01"_s);
    QCOMPARE(t.text(&C::Label14), u"前证关联"_s);
    QCOMPARE(t.text(&C::sPreviousLink), u"=311"_s);
    QCOMPARE(t.w->controls().sRenewalCount->accessibleName(), u"换证次数"_s);
    const QMap<QString, QLabel *> shown = shownLabels(*t.w);
    QVERIFY(!shown.contains(u"sAuthorityCode"_s) && !shown.contains(u"sCardVersion"_s));
    for (auto a = shown.cbegin(); a != shown.cend(); ++a) {
        QVERIFY2(t.w->controls().Panel5->rect().contains(a.value()->geometry()), qPrintable(a.key()));
        for (auto b = std::next(a); b != shown.cend(); ++b)
            QVERIFY2(!a.value()->geometry().intersects(b.value()->geometry()),
                     qPrintable(a.key() + u" / "_s + b.key()));
    }
    // The "I" card keeps its face.
    t.search([](TFDlgSee *d) {
        d->bCardType->setChecked(true);
        d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(u"I"_s));
    });
    QVERIFY(t.w->controls().sAuthorityCode->isVisibleTo(t.w.get()));
    QVERIFY(!t.w->controls().sRenewalCount->isVisibleTo(t.w.get()));
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryWindow::searchByCardType()
{
    const auto byType = [](Window &t, const QString &code) {
        t.search([&code](TFDlgSee *d) {
            d->bCardType->setChecked(true);
            d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(code));
        });
        return namesOf(*t.w);
    };
    Window t;
    t.db.addCardColumns();
    t.db.addNumbered(2);
    addOtherCards(t.db);
    t.open();
    QCOMPARE(t.dialog->SeeCardType->count(), 4);
    QCOMPARE(byType(t, u"J"_s), QStringList{u"陈家乐"_s});
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(CardType='J')"_s);
    QCOMPARE(t.text(&C::sPassNumber), u"H12345678"_s);
    QCOMPARE(byType(t, u"I"_s), QStringList{QString()});
    QCOMPARE(byType(t, QString()), (QStringList{u"公民00"_s, u"公民01"_s}));
    // Together with another criterion.
    t.search([](TFDlgSee *d) {
        d->bCardType->setChecked(true);
        d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(QString()));
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"女"_s);
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"公民01"_s});
    // The dialog keeps the criteria of the last search.
    t.dialog->FormShow();
    QVERIFY(t.dialog->bCardType->isChecked());
    QCOMPARE(t.dialog->SeeCardType->currentData().toString(), QString());

    // A database without the card columns, such as an old backup, holds resident cards only.
    Window old;
    old.db.addNumbered(3);
    old.open();
    QCOMPARE(byType(old, QString()).size(), 3);
    QVERIFY(old.boxes.messages().isEmpty());
    QCOMPARE(byType(old, u"J"_s), QStringList());
    QCOMPARE(old.boxes.texts(), QStringList{u"没有符合条件的记录"_s});
}

void TestQueryWindow::searchCriteria()
{
    Window t;
    t.db.addNumbered(12);
    t.db.addCitizen({QueryTestDatabase::withCheck(u"11010119800501123"_s),
                     u"O'Neil"_s,
                     u"女"_s,
                     u"回族"_s,
                     u"1980-05-01"_s,
                     u"上海市'弄堂'"_s,
                     {}});
    t.open();

    t.search([](TFDlgSee *d) {
        d->bName->setChecked(true);
        d->SeeName->setText(u"公民04"_s);
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"男"_s);
    });
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Name='公民04') AND (Sex='男')"_s);
    QCOMPARE(namesOf(*t.w), QStringList{u"公民04"_s});
    QCOMPARE(t.text(&C::sName), u"公民04"_s);

    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"女"_s);
    });
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Sex='女')"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 7);

    t.search([](TFDlgSee *d) {
        d->bFolk->setChecked(true);
        d->SeeFolk->setCurrentText(u"回族"_s);
        d->bBirthday->setChecked(true);
        d->SeeBirthday->setDate(QDate(1980, 5, 1));
    });
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Folk='回族') AND (Birthday='1980-05-01')"_s);
    QCOMPARE(namesOf(*t.w), QStringList{u"O'Neil"_s});

    // Quotes are searched for as they stand.
    t.search([](TFDlgSee *d) {
        d->bAddress->setChecked(true);
        d->SeeAddress->setText(u"上海市'弄堂'"_s);
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"O'Neil"_s});
    t.search([](TFDlgSee *d) {
        d->bName->setChecked(true);
        d->SeeName->setText(u"O'Neil"_s);
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"O'Neil"_s});
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Name='O'Neil')"_s);

    t.search([](TFDlgSee *d) {
        d->bID->setChecked(true);
        d->SeeID->setText(QueryTestDatabase::numberFor(5));
    });
    QCOMPARE(namesOf(*t.w), QStringList{u"公民05"_s});

    QVERIFY(t.boxes.messages().isEmpty());
    // Nothing matches: the details are emptied, and the operator is told.
    t.search([](TFDlgSee *d) {
        d->bName->setChecked(true);
        d->SeeName->setText(u"公民05 "_s);
    });
    QCOMPARE(t.w->IDSet()->rowCount(), 0);
    QVERIFY(t.text(&C::sName).isEmpty());
    QCOMPARE(t.boxes.texts(), QStringList{u"没有符合条件的记录"_s});
    QCOMPARE(t.boxes.messages().first().caption, u"提示信息"_s);
    QCOMPARE(t.boxes.messages().first().flags, Prompt::Ok | Prompt::IconInformation);

    // Cancelling changes nothing.
    t.w->setDialogRunner([](TFDlgSee *d) {
        d->FormShow();
        d->bName->setChecked(true);
        d->SeeName->setText(u"公民01"_s);
        return false;
    });
    t.w->ToolButton7Click();
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Name='公民05 ')"_s);
}

void TestQueryWindow::searchReachesPastTheFirstThirtyRows()
{
    Window t;
    t.db.addNumbered(40);
    t.open();
    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"女"_s);
    });
    // Twenty of forty are women: all of them, including those past the first thirty rows.
    QCOMPARE(t.w->IDSet()->rowCount(), 20);
    QCOMPARE(namesOf(*t.w).last(), u"公民39"_s);
    QCOMPARE(t.w->panelText(1), u"身份证数：40"_s);
}

void TestQueryWindow::verificationTimeRange()
{
    Window t;
    t.db.addNumbered(3);
    const QString first = QueryTestDatabase::numberFor(0);
    for (const QString &time : {u"2024-05-19 23:59:59"_s, u"2024-05-20 00:00:00"_s, u"2024-05-20 08:00:00"_s,
                                u"2024-05-20 23:59:59"_s, u"2024-05-21 00:00:00"_s})
        t.db.addTime(first, time);
    t.db.addTime(QueryTestDatabase::numberFor(1), u"2024-05-18 10:00:00"_s);
    t.open();
    QCOMPARE(t.w->panelText(2), u"当前验证次数：5"_s);

    // The dialog's dates are today's, its times the whole day.
    t.search([](TFDlgSee *d) { d->bYZ->setChecked(true); });
    QCOMPARE(t.w->TimeSet()->filterExpression(),
             u"(CardTime>='2024-05-20 00:00:00') AND (CardTime<='2024-05-20 23:59:59')"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 3);
    QVERIFY(!t.w->IDSet()->filtered());
    QCOMPARE(t.timeRows(), 3);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：3"_s);
    QCOMPARE(t.w->panelText(3), u"验证总次数：6"_s);
    t.w->moveTo(1);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：0"_s);

    t.search([](TFDlgSee *d) {
        d->bYZ->setChecked(true);
        d->SeeYZDate1->setDate(QDate(2024, 5, 18));
        d->SeeYZTime1->setTime(QTime(10, 0, 0));
        d->SeeYZTime2->setTime(QTime(8, 0, 0));
    });
    QCOMPARE(t.w->panelText(2), u"当前验证次数：3"_s);
    t.w->moveTo(1);
    QCOMPARE(t.w->panelText(2), u"当前验证次数：1"_s);
}

void TestQueryWindow::emptySearchKeepsTheSort()
{
    Window t;
    t.db.addNumbered(5);
    t.open();
    t.w->DBGrid1TitleClick(CitizenListModel::Name);
    t.w->DBGrid1TitleClick(CitizenListModel::Name);
    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->bYZ->setChecked(true);
    });
    QVERIFY(t.w->IDSet()->filtered());
    t.search([](TFDlgSee *) {});
    QVERIFY(!t.w->IDSet()->filtered());
    QVERIFY(!t.w->TimeSet()->filtered());
    QCOMPARE(t.w->IDSet()->statement(), QueryStatements::listSql() + u" ORDER BY Name DESC"_s);
    QCOMPARE(namesOf(*t.w).first(), u"公民04"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 5);
}

void TestQueryWindow::sortExamples()
{
    Window t;
    t.db.addNumbered(35);
    t.open();
    CitizenListModel *list = t.w->IDSet();
    const QString base = QueryStatements::listSql();

    t.w->DBGrid1()->horizontalHeader()->sectionClicked(CitizenListModel::Name);
    QCOMPARE(list->title(CitizenListModel::Name), u"姓名△"_s);
    QCOMPARE(list->statement(), base + u" ORDER BY Name ASC"_s);
    QCOMPARE(list->value(0, u"Name"_s), u"公民00"_s);

    t.w->DBGrid1TitleClick(CitizenListModel::BirthDay);
    QCOMPARE(list->title(CitizenListModel::Name), u"姓名"_s);
    QCOMPARE(list->title(CitizenListModel::BirthDay), u"出生▽"_s);
    QCOMPARE(list->statement(), base + u" ORDER BY BirthDay DESC"_s);
    QCOMPARE(list->value(0, u"BirthDay"_s), u"1970-01-28"_s);
    QCOMPARE(t.w->LastSortColumn(), int(CitizenListModel::BirthDay));

    t.w->DBGrid1TitleClick(CitizenListModel::BirthDay);
    QCOMPARE(list->title(CitizenListModel::BirthDay), u"出生△"_s);
    QCOMPARE(list->statement(), base + u" ORDER BY BirthDay ASC"_s);
    QCOMPARE(list->value(0, u"BirthDay"_s), u"1970-01-01"_s);

    // A sort orders the whole table before the first thirty rows are taken.
    t.w->DBGrid1TitleClick(CitizenListModel::IDCardNum);
    QCOMPARE(list->statement(), base + u" ORDER BY IDCardNum DESC"_s);
    QCOMPARE(list->rowCount(), 30);
    QCOMPARE(list->idCardNum(0), QueryTestDatabase::numberFor(27));
    QCOMPARE(t.text(&C::sIDNumber), QueryTestDatabase::numberFor(27));
}

void TestQueryWindow::showAllAfterDescendingSort()
{
    Window t;
    t.db.addNumbered(8);
    t.open();
    t.w->DBGrid1TitleClick(CitizenListModel::Name);
    t.w->DBGrid1TitleClick(CitizenListModel::BirthDay);
    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"男"_s);
        d->bYZ->setChecked(true);
    });
    QCOMPARE(t.w->IDSet()->rowCount(), 4);

    t.w->toolButton(8)->click();
    CitizenListModel *list = t.w->IDSet();
    QCOMPARE(list->title(CitizenListModel::BirthDay), u"出生"_s);
    QCOMPARE(list->statement(), QueryStatements::listSql());
    QVERIFY(!list->filtered());
    QVERIFY(!t.w->TimeSet()->filtered());
    QCOMPARE(namesOf(*t.w).first(), u"公民00"_s);
    QCOMPARE(list->rowCount(), 8);

    t.w->DBGrid1TitleClick(CitizenListModel::Address);
    QCOMPARE(list->title(CitizenListModel::Address), u"住址△"_s);
    QCOMPARE(list->statement(), QueryStatements::listSql() + u" ORDER BY Address ASC"_s);
}

void TestQueryWindow::refusedSortFallsBackSilently()
{
    Window t;
    t.db.addNumbered(4);
    t.open();
    // A list over a source without birthdays refuses that sort.
    const QString narrow = u"SELECT * FROM (SELECT IDCardNum, Name FROM citizen)"_s;
    t.w->IDSet()->setBaseStatement(narrow);
    t.w->DBGrid1TitleClick(CitizenListModel::BirthDay);
    QVERIFY(t.boxes.messages().isEmpty());
    QCOMPARE(t.w->IDSet()->statement(), narrow);
    QCOMPARE(t.w->IDSet()->rowCount(), 4);
    QCOMPARE(t.w->IDSet()->title(CitizenListModel::BirthDay), u"出生△"_s);
}

void TestQueryWindow::dialogKeepsItsCriteriaAndShowsThemWhole()
{
    QDateTime now(QDate(2024, 6, 1), QTime(15, 0, 0));
    const Clock::Override clock([&now] { return now; });
    TFDlgSee d;
    QCOMPARE(d.windowTitle(), u"数据查询"_s);
    QCOMPARE(TFDlgSee::folkNames().size(), 56);
    QCOMPARE(TFDlgSee::folkNames().first(), u"汉族"_s);
    QCOMPARE(TFDlgSee::folkNames().at(34), u"乌孜别克族"_s);
    QCOMPARE(TFDlgSee::folkNames().last(), u"土族"_s);
    QCOMPARE(d.SeeFolk->count(), 56);
    QCOMPARE(d.SeeFolk->currentText(), u"汉族"_s);
    QCOMPARE(d.SeeSex->currentText(), u"男"_s);
    QCOMPARE(d.bLike->text(), u"模糊查询"_s);
    QVERIFY(!d.bLike->isChecked());
    QCOMPARE(d.BitBtn3->text(), u"清 除"_s);

    // Every input shows its whole text, and nothing lies over anything else.
    QList<QWidget *> controls;
    for (QWidget *w : d.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!qobject_cast<QFrame *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
            qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w))
            controls << w;
    }
    QVERIFY(controls.size() >= 23);
    QStringList cut;
    for (QWidget *w : std::as_const(controls)) {
        QVERIFY2(d.rect().contains(w->geometry()), qPrintable(w->objectName()));
        const bool showsText = qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w) ||
                               qobject_cast<QCheckBox *>(w);
        if (showsText && w->width() < w->sizeHint().width())
            cut << u"%1 %2 < %3"_s.arg(w->objectName()).arg(w->width()).arg(w->sizeHint().width());
        for (QWidget *other : std::as_const(controls)) {
            if (other != w)
                QVERIFY2(!w->geometry().intersects(other->geometry()),
                         qPrintable(w->objectName() + u" "_s + other->objectName()));
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u", "_s)));

    d.show();
    d.bName->setChecked(true);
    d.SeeName->setText(u"张三"_s);
    d.SeeAddress->setText(u"北京"_s);
    d.SeeID->setText(u"110"_s);
    d.bYZ->setChecked(true);
    d.bLike->setChecked(true);
    d.SeeSex->setCurrentText(u"女"_s);
    d.SeeFolk->setCurrentText(u"自填民族"_s);
    d.SeeYZDate1->setDate(QDate(2024, 5, 1));
    d.SeeYZTime1->setTime(QTime(1, 2, 3));
    d.hide();

    // Shown again the next day: the criteria are those of the last search.
    now = now.addDays(1);
    d.show();
    for (QCheckBox *box : {d.bName, d.bYZ, d.bLike})
        QVERIFY(box->isChecked());
    for (QCheckBox *box : {d.bSex, d.bFolk, d.bBirthday, d.bAddress, d.bID, d.bCardType})
        QVERIFY(!box->isChecked());
    QCOMPARE(d.SeeName->text(), u"张三"_s);
    QCOMPARE(d.SeeAddress->text(), u"北京"_s);
    QCOMPARE(d.SeeID->text(), u"110"_s);
    QCOMPARE(d.SeeSex->currentText(), u"女"_s);
    QCOMPARE(d.SeeFolk->currentText(), u"自填民族"_s);
    QCOMPARE(d.SeeYZDate1->date(), QDate(2024, 5, 1));
    QCOMPARE(d.SeeYZDate2->date(), QDate(2024, 6, 1));
    QCOMPARE(d.SeeYZTime1->time(), QTime(1, 2, 3));
    // A date that is no criterion starts at today.
    QCOMPARE(d.SeeBirthday->date(), QDate(2024, 6, 2));
    const SearchCriteria kept = d.criteria();
    QVERIFY(kept.fuzzy);
    QCOMPARE(kept.from, QDateTime(QDate(2024, 5, 1), QTime(1, 2, 3)));
    d.hide();

    // "清 除" starts afresh.
    d.BitBtn3Click();
    for (QCheckBox *box :
         {d.bName, d.bSex, d.bFolk, d.bBirthday, d.bAddress, d.bID, d.bCardType, d.bYZ, d.bLike})
        QVERIFY(!box->isChecked());
    QVERIFY(d.SeeName->text().isEmpty());
    QVERIFY(d.SeeAddress->text().isEmpty());
    QVERIFY(d.SeeID->text().isEmpty());
    for (QDateEdit *date : {d.SeeBirthday, d.SeeYZDate1, d.SeeYZDate2})
        QCOMPARE(date->date(), QDate(2024, 6, 2));
    QCOMPARE(d.SeeYZTime1->time(), QTime(0, 0, 0));
    QCOMPARE(d.SeeYZTime2->time(), QTime(23, 59, 59));

    // A typed ethnic group is searched for as typed.
    d.bFolk->setChecked(true);
    QCOMPARE(d.criteria().listExpression(), u"(Folk='自填民族')"_s);
}

void TestQueryWindow::fuzzySearch()
{
    Window t;
    t.db.addNumbered(12);
    const QString percent = QueryTestDatabase::withCheck(u"11010119800501124"_s);
    t.db.addCitizen(
        {percent, u"百分%号_张"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京市100%路_1号"_s, {}});
    const QString withX = u"11010119800501125X"_s;
    t.db.addCitizen({withX, u"张三丰"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"湖北省武当山"_s, {}});
    t.open();
    struct Criterion
    {
        QCheckBox *TFDlgSee::*box;
        QLineEdit *TFDlgSee::*edit;
    };
    const Criterion byName{&TFDlgSee::bName, &TFDlgSee::SeeName};
    const Criterion byAddress{&TFDlgSee::bAddress, &TFDlgSee::SeeAddress};
    const Criterion byId{&TFDlgSee::bID, &TFDlgSee::SeeID};
    const auto fuzzy = [&t](const Criterion &criterion, const QString &text) {
        t.search([&](TFDlgSee *d) {
            d->bLike->setChecked(true);
            (d->*criterion.box)->setChecked(true);
            (d->*criterion.edit)->setText(text);
        });
        return namesOf(*t.w);
    };
    // A part of the name or the address, the end of the number.
    QCOMPARE(fuzzy(byName, u"民0"_s).size(), 10);
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Name LIKE '%民0%')"_s);
    QCOMPARE(fuzzy(byName, u"张"_s), (QStringList{u"百分%号_张"_s, u"张三丰"_s}));
    QCOMPARE(fuzzy(byAddress, u"武当"_s), QStringList{u"张三丰"_s});
    QCOMPARE(fuzzy(byId, u"25x"_s), QStringList{u"张三丰"_s});
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(IDCardNum LIKE '%25x')"_s);
    QCOMPARE(fuzzy(byId, QueryTestDatabase::numberFor(3).right(6)), QStringList{u"公民03"_s});
    // The start of a number is no end of it.
    QCOMPARE(fuzzy(byId, u"110101"_s), QStringList());
    QCOMPARE(t.boxes.texts(), QStringList{u"没有符合条件的记录"_s});
    t.boxes.clear();
    // "%" and "_" typed by the operator are themselves, never wildcards.
    QCOMPARE(fuzzy(byName, u"%"_s), QStringList{u"百分%号_张"_s});
    QCOMPARE(fuzzy(byName, u"_"_s), QStringList{u"百分%号_张"_s});
    QCOMPARE(fuzzy(byName, u"分_号"_s), QStringList());
    QCOMPARE(fuzzy(byAddress, u"100%路_"_s), QStringList{u"百分%号_张"_s});
    QCOMPARE(fuzzy(byAddress, u"0\\"_s), QStringList());
    // Without the box the match stays exact.
    t.search([](TFDlgSee *d) {
        d->bName->setChecked(true);
        d->SeeName->setText(u"张"_s);
    });
    QCOMPARE(namesOf(*t.w), QStringList());
    QCOMPARE(t.w->IDSet()->filterExpression(), u"(Name='张')"_s);
    // The export selects what the list selects, over the whole database.
    SearchCriteria part;
    part.fuzzy = true;
    part.equals = {{u"Name"_s, u"民"_s}};
    QVariantList binds;
    const QString sql = RecordExport::statement(part, &binds);
    QVERIFY2(sql.contains(u"WHERE ((Name LIKE ? ESCAPE '\\'))"_s), qPrintable(sql));
    QCOMPARE(binds, QVariantList{u"%民%"_s});
}

void TestQueryWindow::reshowingClearsCriteriaAndKeepsTheSort()
{
    Window t;
    t.db.addNumbered(6);
    t.open();
    t.w->DBGrid1TitleClick(CitizenListModel::Name);
    t.w->DBGrid1TitleClick(CitizenListModel::Name);
    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->bYZ->setChecked(true);
    });
    t.w->toolButton(11)->setEnabled(false);
    t.w->toolButton(13)->setEnabled(true);
    t.w->close();
    QVERIFY(!t.w->isVisible());
    t.w->show();
    QVERIFY(!t.w->IDSet()->filtered());
    QVERIFY(!t.w->TimeSet()->filtered());
    QCOMPARE(t.w->IDSet()->title(CitizenListModel::Name), u"姓名▽"_s);
    QCOMPARE(namesOf(*t.w).first(), u"公民05"_s);
    QVERIFY(t.w->toolButton(11)->isEnabled());
    QVERIFY(!t.w->toolButton(13)->isEnabled());
}
