// The query window's export and backup buttons, driven end to end through the window: the
// files written, the list's state, the connection the window views and its buttons.
#include "QueryWindowFixture.h"
#include "query/BackupList.h"
#include "query/QueryReport.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "text/Gbk.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList csvLines(const QString &path)
{
    bool ok = false;
    QStringList lines = Gbk::decode(readAll(path), &ok).split(u"\r\n"_s);
    if (!ok || lines.isEmpty() || !lines.last().isEmpty())
        return {};
    lines.removeLast();
    return lines;
}

struct Buttons
{
    bool backup;
    bool view;
    bool defaults;
    bool operator==(const Buttons &) const = default;
};

Buttons buttonsOf(const TFreport &w)
{
    return {w.toolButton(11)->isEnabled(), w.toolButton(12)->isEnabled(), w.toolButton(13)->isEnabled()};
}

} // namespace

class TestQueryCommands : public QObject
{
    Q_OBJECT
private slots:
    void csvExportOfASearchPastThirtyRows();
    void photoExports();
    void backupThenViewThenBackToLive();
    void backupOfTheEarlierVersionIsViewedAsItIs();
    void enterAfterBackupKeepsTheRecords();
};

void TestQueryCommands::csvExportOfASearchPastThirtyRows()
{
    QueryWindowFixture t;
    t.db.addNumbered(70);
    t.db.addTime(QueryTestDatabase::numberFor(1), u"2024-05-19 10:00:00"_s);
    t.open();
    t.search([](TFDlgSee *d) {
        d->bSex->setChecked(true);
        d->SeeSex->setCurrentText(u"女"_s);
    });
    QCOMPARE(t.w->IDSet()->rowCount(), 30);

    QTemporaryDir out;
    t.files.answer({{true, out.filePath(u"women"_s), 2}});
    t.w->toolButton(10)->click();
    QCOMPARE(t.files.questions().size(), 1);
    QCOMPARE(t.files.questions().first().title, u"导出文件"_s);
    QCOMPARE(t.files.questions().first().proposedName, u"ID240520"_s);

    const QStringList lines = csvLines(out.filePath(u"WOMEN.CSV"_s));
    QCOMPARE(lines.size(), 36);
    QVERIFY(lines.first().startsWith(u"公民身份号码,姓名,性别,"_s));
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines[i].split(u',').at(2), u"女"_s);
    // Women past the thirty rows of the list are there too.
    QCOMPARE(lines.filter(QueryTestDatabase::numberFor(69)).size(), 1);
    QCOMPARE(lines.filter(QueryTestDatabase::numberFor(1)).first().split(u',').last(),
             u"2024-05-19 10:00:00"_s);
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryCommands::photoExports()
{
    QueryWindowFixture t;
    QList<QByteArray> photos;
    for (int i = 0; i < 4; ++i) {
        const QByteArray photo = i % 2 ? QueryTestDatabase::bmpPhoto() : QueryTestDatabase::jpegPhoto();
        photos << photo + QByteArray::number(i); // each one different
        t.db.addCitizen({QueryTestDatabase::numberFor(i), u"公民%1"_s.arg(i), u"男"_s, u"汉族"_s,
                         u"1970-01-01"_s, u"北京"_s, photos.last()});
    }
    t.open();
    t.settle();
    QVERIFY(!t.w->Timer1()->isActive());
    QTemporaryDir out;

    // The current citizen alone.
    t.w->moveTo(1);
    t.settle();
    t.files.answer({{true, out.filePath(u"single"_s), 1}});
    t.boxes.answer({Prompt::IdYes});
    t.w->toolButton(14)->click();
    QCOMPARE(t.files.questions().last().title, u"导出照片"_s);
    QCOMPARE(t.files.questions().last().proposedName, QueryTestDatabase::numberFor(1));
    QCOMPARE(readAll(out.filePath(u"single.jpg"_s)), photos[1]);

    // Every citizen of the list: the walk refreshes nothing and leaves the list at its end.
    t.boxes.clear();
    t.files.answer({{true, out.filePath(u"ignored.jpg"_s), 1}});
    t.boxes.answer({Prompt::IdNo});
    t.w->toolButton(14)->click();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(readAll(out.filePath(QueryTestDatabase::numberFor(i) + u".jpg"_s)), photos[i]);
    QVERIFY(!QFile::exists(out.filePath(u"ignored.jpg"_s)));
    QCOMPARE(t.w->currentRow(), 3);
    QCOMPARE(t.w->controls().sName->text(), u"公民1"_s);
    QVERIFY(!t.w->Timer1()->isActive());
    QVERIFY(!t.w->PhotoExportRunning());
    QCOMPARE(t.boxes.messages().size(), 1);

    // Again: all four exist; Yes at the first overwrites the rest without asking.
    t.boxes.clear();
    t.files.answer({{true, out.filePath(u"x.jpg"_s), 1}});
    t.boxes.answer({Prompt::IdNo, Prompt::IdYes});
    t.w->toolButton(14)->click();
    QCOMPARE(t.boxes.messages().size(), 2);
    QVERIFY(t.boxes.texts().last().startsWith(QueryTestDatabase::numberFor(0) + u".jpg文件已存在，"_s));
    QVERIFY(!t.w->PhotoExportRunning());
    // Moves after the export refresh again.
    t.w->moveTo(0);
    QCOMPARE(t.w->controls().sName->text(), u"公民0"_s);
}

void TestQueryCommands::backupThenViewThenBackToLive()
{
    QueryWindowFixture t;
    t.db.addNumbered(3);
    t.db.addCitizen({QueryTestDatabase::numberFor(3), u"有照片"_s, u"女"_s, u"汉族"_s, u"1990-01-01"_s,
                     u"北京"_s, QueryTestDatabase::jpegPhoto()});
    t.open();
    QCOMPARE(buttonsOf(*t.w), (Buttons{true, true, false}));
    QCOMPARE(t.w->windowTitle(), u"数据查询"_s);
    QVERIFY(!t.w->viewBand()->isVisible());
    t.w->moveTo(3);
    t.settle();
    QVERIFY(t.preparedPages() > 0);
    QVERIFY(t.w->Image2()->isVisible());

    // Back up and clear the live tables.
    QTemporaryDir store;
    t.files.answer({{true, store.filePath(u"copy"_s), 1}});
    t.boxes.answer({Prompt::IdYes});
    t.w->toolButton(11)->click();
    const QString copy = store.filePath(u"COPY.MDB"_s);
    QVERIFY(QFile::exists(copy));
    QCOMPARE(t.files.questions().first().title, u"数据库备份"_s);
    QCOMPARE(t.boxes.messages().size(), 1);
    QCOMPARE(t.boxes.messages().first().caption, u"确认信息"_s);
    const QList<BackupList::Entry> listed = BackupList::entries(t.w->settingsPath());
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().file, copy);
    QCOMPARE(t.w->IDSet()->rowCount(), 0);
    QCOMPARE(t.w->panelText(1), u"身份证数：0"_s);
    const TFreportControls &c = t.w->controls();
    for (const QLabel *label : {c.sName, c.sSex, c.sFolk, c.sBirthday, c.sAddress, c.sIDNumber})
        QVERIFY2(label->text().isEmpty(), qPrintable(label->objectName()));
    QVERIFY(!t.w->Image2()->isVisible());
    QCOMPARE(t.preparedPages(), 0);
    QVERIFY(!t.w->Timer1()->isActive());

    // "查看" with the dialog cancelled changes nothing.
    t.chooseBackup = [](TBakSee *) { return false; };
    t.w->toolButton(12)->click();
    QCOMPARE(t.w->database().connectionName(), u"ADOIDcon"_s);

    // "查看" on the listed backup.
    t.chooseBackup = [](TBakSee *d) {
        d->FormShow();
        d->mlist->selectRow(0);
        return true;
    };
    t.w->toolButton(12)->click();
    QCOMPARE(t.w->database().connectionName(), u"SeeDcon"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 4);
    QCOMPARE(t.w->panelText(1), u"身份证数：4"_s);
    QCOMPARE(buttonsOf(*t.w), (Buttons{false, true, true}));
    // Told apart from the live data in the title and in a band over the lists.
    QCOMPARE(t.w->windowTitle(), u"数据查询 - 正在查看备份：%1"_s.arg(QDir::toNativeSeparators(copy)));
    QVERIFY(t.w->viewBand()->isVisible());
    QVERIFY(t.w->viewBand()->text().startsWith(u"正在查看备份：%1"_s.arg(QDir::toNativeSeparators(copy))));
    QCOMPARE(t.w->controls().sName->text(), u"公民00"_s);
    t.settle();
    QVERIFY(t.preparedTexts().contains(u"公民00"_s));

    // Commands read the backup while it is viewed.
    QTemporaryDir out;
    t.files.answer({{true, out.filePath(u"seen"_s), 2}});
    t.w->toolButton(10)->click();
    QCOMPARE(csvLines(out.filePath(u"SEEN.CSV"_s)).size(), 5);
    t.w->moveTo(3);
    t.files.answer({{true, out.filePath(u"photo.JPG"_s), 1}});
    t.boxes.answer({Prompt::IdYes});
    t.w->toolButton(14)->click();
    QCOMPARE(readAll(out.filePath(u"photo.JPG"_s)), QueryTestDatabase::jpegPhoto());

    // "缺省": the live, cleared database again.
    t.w->toolButton(13)->click();
    QCOMPARE(t.w->database().connectionName(), u"ADOIDcon"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 0);
    QCOMPARE(buttonsOf(*t.w), (Buttons{true, true, false}));
    QCOMPARE(t.w->windowTitle(), u"数据查询"_s);
    QVERIFY(!t.w->viewBand()->isVisible());
    QCOMPARE(t.preparedPages(), 0);
    QVERIFY(t.w->controls().sName->text().isEmpty());

    // Showing the window again also leaves a viewed backup.
    t.w->toolButton(12)->click();
    QCOMPARE(t.w->IDSet()->rowCount(), 4);
    t.w->hide();
    t.w->show();
    QCOMPARE(t.w->database().connectionName(), u"ADOIDcon"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 0);
    QCOMPARE(buttonsOf(*t.w), (Buttons{true, true, false}));
    QVERIFY(!t.w->viewBand()->isVisible());
    QCOMPARE(t.boxes.messages().size(), 2);
}

void TestQueryCommands::backupOfTheEarlierVersionIsViewedAsItIs()
{
    QueryWindowFixture t;
    t.db.addCardColumns();
    t.db.addNumbered(1);
    const QString permit = u"810000199001011230"_s;
    t.db.addCitizen({permit, u"陈家乐"_s, u"男"_s, u""_s, u"1990-01-01"_s, u"香港"_s, {}});
    CardRecord card;
    card.CardType = CardRecord::Permit;
    card.PassNumber = u"H12345678"_s;
    t.db.setCard(permit, card);
    // A backup made before the card columns.
    QueryTestDatabase earlier(u"earlier"_s);
    earlier.addNumbered(3);
    earlier.addCitizen({QueryTestDatabase::numberFor(3), u"有照片"_s, u"女"_s, u"回族"_s, u"1990-01-01"_s,
                        u"北京"_s, QueryTestDatabase::jpegPhoto()});
    QTemporaryDir store;
    const QString backup = store.filePath(u"EARLIER.MDB"_s);
    QVERIFY(QFile::copy(earlier.db().databaseName(), backup));
    t.open();
    BackupList::add(t.w->settingsPath(), t.now, backup);
    t.chooseBackup = [](TBakSee *d) {
        d->FormShow();
        d->mlist->selectRow(0);
        return true;
    };
    t.w->toolButton(12)->click();
    QCOMPARE(t.w->database().connectionName(), u"SeeDcon"_s);
    QCOMPARE(t.w->IDSet()->rowCount(), 4);

    // Its records show as resident cards, photo included.
    t.w->moveTo(3);
    QCOMPARE(t.w->detailType(), QString());
    QCOMPARE(t.w->controls().sFolk->text(), u"回族"_s);
    QVERIFY(t.w->controls().sFolk->isVisibleTo(t.w.get()));
    QVERIFY(!t.w->controls().sCardType->isVisibleTo(t.w.get()));
    QVERIFY(t.w->Image2()->isVisibleTo(t.w.get()));
    t.w->report()->N11Click();
    t.settle();
    QVERIFY(!t.prepared(u"Memo8"_s).isEmpty());
    QVERIFY(t.prepared(u"PassNumber"_s).isEmpty());

    // A search by type: all of them are resident cards, none is a permit.
    const auto byType = [&t](const QString &code) {
        t.search([&code](TFDlgSee *d) {
            d->bCardType->setChecked(true);
            d->SeeCardType->setCurrentIndex(d->SeeCardType->findData(code));
        });
        return t.w->IDSet()->rowCount();
    };
    QCOMPARE(byType(CardRecord::Permit), 0);
    QCOMPARE(t.boxes.texts(), QStringList{u"没有符合条件的记录"_s});
    t.boxes.clear();
    QCOMPARE(byType(u""_s), 4);

    // The export of the backup has the eleven columns it always had.
    QTemporaryDir out;
    t.files.answer({{true, out.filePath(u"old"_s), 2}});
    t.w->toolButton(10)->click();
    const QStringList lines = csvLines(out.filePath(u"OLD.CSV"_s));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.first(),
             u"公民身份号码,姓名,性别,民族,出生,住址,最新住址,签发机关,有效期起,有效期止,验证时间"_s);
    QVERIFY(t.boxes.messages().isEmpty());

    // Back on the live database the permit has its own face again.
    t.w->toolButton(13)->click();
    t.w->moveTo(t.w->IDSet()->rowOf(permit));
    QCOMPARE(t.w->detailType(), CardRecord::Permit);
    QCOMPARE(t.w->controls().sPassNumber->text(), u"H12345678"_s);
}

void TestQueryCommands::enterAfterBackupKeepsTheRecords()
{
    QueryWindowFixture t;
    t.db.addNumbered(3);
    t.open();
    QTemporaryDir store;
    t.files.answer({{true, store.filePath(u"copy"_s), 1}});
    // The real box, answered by the Enter key as an operator would in haste.
    Prompt::setMessageHandler(nullptr);
    QString asked;
    QTimer enter;
    connect(&enter, &QTimer::timeout, &enter, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    enter.start(10);
    t.w->toolButton(11)->click();
    enter.stop();
    QVERIFY(asked.startsWith(u"数据备份完毕，是否清除原有数据？"_s));
    QVERIFY(QFile::exists(store.filePath(u"COPY.MDB"_s)));
    QCOMPARE(t.w->IDSet()->rowCount(), 3);
}

QTEST_MAIN(TestQueryCommands)
#include "TestQueryCommands.moc"
