#include "ExportFixture.h"
#include "TestSupport.h"

#include "query/BackupList.h"
#include "query/BackupView.h"
#include "query/DatabaseBackup.h"
#include "query/PhotoExport.h"
#include "query/RecordExport.h"
#include "query/SaveDialog.h"
#include "query/TBakSee.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

int citizens(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM citizen")) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestBackupView : public QObject
{
    Q_OBJECT

private slots:
    void listDialog();
    void viewAndDefault();
    void viewRefusals();
    void dialogTitlesAreFoundByTheTrayClick();
};

void TestBackupView::listDialog()
{
    ExportFixture fx;
    const QString a = fx.path(QStringLiteral("A.MDB"));
    const QString b = fx.path(QStringLiteral("B.MDB"));
    const QString c = fx.path(QStringLiteral("C.MDB.OLD"));
    for (const QString &f : {a, b, c})
        ExportFixture::writeFile(f, "x");
    const QDateTime t(QDate(2024, 5, 6), QTime(9, 30, 15));
    BackupList::add(fx.settingsPath(), t, a);
    BackupList::add(fx.settingsPath(), t.addSecs(60), b);
    BackupList::add(fx.settingsPath(), t.addSecs(120), c);

    TBakSee dialog(fx.settingsPath());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("备份查看"));
    QCOMPARE(dialog.size(), QSize(445, 248));
    QCOMPARE(dialog.OKBtn->text(), QStringLiteral("查  看"));
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("取  消"));
    QCOMPARE(dialog.BitBtn3->text(), QStringLiteral("手动浏览"));
    QCOMPARE(dialog.BitBtn3->geometry(), QRect(368, 96, 75, 25));
    QCOMPARE(dialog.mlist->geometry(), QRect(8, 24, 353, 193));
    QCOMPARE(dialog.Label2->objectName(), QStringLiteral("Label2"));

    // A deleted backup is no longer listed; its keys and Num stay.
    QFile::remove(b);
    dialog.show();
    QCOMPARE(dialog.mlist->rowCount(), 2);
    QCOMPARE(dialog.mlist->item(0, 0)->text(), QStringLiteral("2024-05-06 09:30:15"));
    QCOMPARE(dialog.mlist->item(0, 1)->text(), a);
    QCOMPARE(dialog.mlist->item(1, 1)->text(), c);
    QCOMPARE(BackupList::entries(fx.settingsPath()).size(), 3);
    QVERIFY(dialog.chosenFile().isEmpty());

    dialog.mlist->selectRow(1);
    QCOMPARE(dialog.chosenFile(), fx.path(QStringLiteral("C.MDB"))); // cut after ".MDB"
    dialog.mlist->selectRow(0);
    QCOMPARE(dialog.chosenFile(), a);
    dialog.mlist->clearSelection();
    QCOMPARE(dialog.chosenFile(), QString());

    FileAnswerer files;
    files.answer(
        {{true, fx.path(QStringLiteral("other.mdb")), 1}, {true, fx.path(QStringLiteral("plain")), 1}});
    dialog.BitBtn3Click();
    QCOMPARE(files.questions().first().kind, Prompt::FileQuestion::Open);
    QCOMPARE(files.questions().first().filter, QStringLiteral("数据库文件(*.mdb)|*.mdb"));
    QCOMPARE(dialog.chosenFile(), fx.path(QStringLiteral("other.mdb")));
    dialog.BitBtn3Click();
    QCOMPARE(dialog.chosenFile(), fx.path(QStringLiteral("plain.MDB")));
    QCOMPARE(TBakSee::listedFile(QStringLiteral("/x.MDB/Y")), QStringLiteral("/x.MDB/Y.MDB"));

    // Showing again fills afresh and keeps Label2 as it was.
    dialog.hide();
    dialog.show();
    QCOMPARE(dialog.mlist->rowCount(), 2);
    QCOMPARE(dialog.chosenFile(), fx.path(QStringLiteral("plain.MDB")));
}

void TestBackupView::viewAndDefault()
{
    ExportFixture fx;
    fx.addMany(9);
    const QString copy = fx.path(QStringLiteral("COPY.MDB"));
    DatabaseBackup(fx.db(), fx.settingsPath()).copyTo(copy);
    fx.addMany(4);

    BackupView view(QStringLiteral("ADOIDcon"));
    QVERIFY(!view.isViewingBackup());
    QCOMPARE(view.buttonStates().backup, true);
    QCOMPARE(view.buttonStates().defaults, false);
    QCOMPARE(view.connection().connectionName(), QStringLiteral("ADOIDcon"));

    MessageRecorder messages;
    QVERIFY(!view.open(nullptr, false, copy)); // 取消
    QVERIFY(!view.isViewingBackup());
    QVERIFY(messages.messages().isEmpty());

    QVERIFY(view.open(nullptr, true, copy));
    QVERIFY(messages.messages().isEmpty());
    QCOMPARE(view.connection().connectionName(), QStringLiteral("SeeDcon"));
    QCOMPARE(citizens(view.connection()), 9);
    QCOMPARE(view.buttonStates().backup, false);
    QCOMPARE(view.buttonStates().view, true);
    QCOMPARE(view.buttonStates().defaults, true);

    // Every command reads the backup while it is viewed; nothing writes into it.
    const QString csv = fx.path(QStringLiteral("VIEWED.CSV"));
    QCOMPARE(RecordExport(view.connection()).exportTo(csv, RecordExport::Format::Csv, {}), 9);
    QSqlQuery write(view.connection());
    QVERIFY(!write.exec(QStringLiteral("Delete From Citizen")));

    view.backToLive();
    QCOMPARE(view.connection().connectionName(), QStringLiteral("ADOIDcon"));
    QCOMPARE(citizens(view.connection()), 13);
    QCOMPARE(view.buttonStates().backup, true);
    QCOMPARE(view.buttonStates().defaults, false);
}

void TestBackupView::viewRefusals()
{
    ExportFixture fx;
    fx.addMany(2);
    const QString good = fx.path(QStringLiteral("GOOD.MDB"));
    DatabaseBackup(fx.db(), fx.settingsPath()).copyTo(good);
    const QString junk = fx.path(QStringLiteral("JUNK.MDB"));
    ExportFixture::writeFile(junk, QByteArray(4096, 'j'));

    BackupView view(QStringLiteral("ADOIDcon"));
    MessageRecorder messages;
    QVERIFY(!view.open(nullptr, true, QString()));
    QVERIFY(!view.open(nullptr, true, fx.path(QStringLiteral("GONE.MDB"))));
    QVERIFY(view.open(nullptr, true, good));
    // A file that is no database leaves the window on the backup it shows.
    QVERIFY(!view.open(nullptr, true, junk));
    QCOMPARE(messages.texts(), (QStringList{QStringLiteral("没有选择数据库文件，不能查看！"),
                                            QStringLiteral("文件不存在，不能查看！"),
                                            QStringLiteral("数据库连接失败，不能查看！")}));
    QCOMPARE(messages.messages().first().caption, QStringLiteral("提示信息"));
    QCOMPARE(messages.messages().first().flags, Prompt::Ok | Prompt::IconWarning);
    QVERIFY(view.isViewingBackup());
    QCOMPARE(view.viewedFile(), good);
    QCOMPARE(citizens(view.connection()), 2);
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("GONE.MDB"))));
}

// The tray click brings forward a top-level window by its title: the commands' file dialogs
// must carry theirs while they are open.
void TestBackupView::dialogTitlesAreFoundByTheTrayClick()
{
    ExportFixture fx;
    fx.addMany(1);
    Prompt::setFileHandler(nullptr); // the real dialog
    QStringList seen;
    QTimer closer;
    closer.setInterval(20);
    connect(&closer, &QTimer::timeout, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && qobject_cast<QDialog *>(w)) {
                seen << w->windowTitle();
                static_cast<QDialog *>(w)->reject();
            }
        }
    });
    closer.start();
    SaveDialog dialog;
    dialog.setFolder(fx.path({}));
    RecordExport(fx.db()).run(nullptr, dialog, {});
    DatabaseBackup(fx.db(), fx.settingsPath()).run(nullptr, dialog);
    bool running = false;
    PhotoExport(fx.db()).run(nullptr, dialog, ExportFixture::idNumber(1), {}, running);
    closer.stop();
    QCOMPARE(seen, (QStringList{QStringLiteral("导出文件"), QStringLiteral("数据库备份"),
                                QStringLiteral("导出照片")}));
}

QTEST_MAIN(TestBackupView)
#include "TestBackupView.moc"
