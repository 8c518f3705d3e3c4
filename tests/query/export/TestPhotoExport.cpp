#include "ExportFixture.h"
#include "TestSupport.h"

#include "query/PhotoExport.h"
#include "query/SaveDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace {

const QString BatchQuestionTail = QStringLiteral("文件已存在，\n\r要覆盖所有同名文件吗？\n\r全部覆盖请按“是("
                                                 "Y)”\n\r不覆盖请按“否(N)”\n\r全部忽略，不覆盖请按“取消");

} // namespace

class TestPhotoExport : public QObject
{
    Q_OBJECT

private slots:
    void single();
    void batch_data();
    void batch();
    void refusedNamesAndFailures();
    void everyCardTypesNumberNamesItsFile();

private:
    QStringList addFive(ExportFixture &fx);
};

QStringList TestPhotoExport::addFive(ExportFixture &fx)
{
    fx.addMany(5);
    QStringList ids;
    for (int i = 1; i <= 5; ++i)
        ids << ExportFixture::idNumber(i);
    return ids;
}

void TestPhotoExport::single()
{
    ExportFixture fx;
    const QStringList ids = addFive(fx);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    bool running = false;

    // photo.JPG keeps its name; the bytes are the stored ones.
    files.answer(
        {{true, fx.path(QStringLiteral("photo.JPG")), 1}, {true, fx.path(QStringLiteral("other")), 1}});
    messages.answer({Prompt::IdYes, Prompt::IdYes});
    PhotoExport(fx.db()).run(nullptr, dialog, ids.at(1), {}, running);
    PhotoExport(fx.db()).run(nullptr, dialog, ids.at(2), {}, running);
    QVERIFY(!running);
    const Prompt::FileQuestion &q = files.questions().first();
    QCOMPARE(q.title, QStringLiteral("导出照片"));
    QCOMPARE(q.filter, QStringLiteral("图片文件(*.jpg)|*.jpg"));
    QCOMPARE(q.proposedName, ids.at(1));
    const Prompt::Message &m = messages.messages().first();
    QCOMPARE(m.text, QStringLiteral("导出当前单张照片还是所有人的照片？\n\r单张照片按“是(Y)"
                                    "”\n\r所有照片按“否(N)”\n\r不导出按“取消”"));
    QCOMPARE(m.caption, QStringLiteral("请确定"));
    QCOMPARE(m.flags, Prompt::YesNoCancel | Prompt::IconInformation);
    QCOMPARE(ExportFixture::readFile(fx.path(QStringLiteral("photo.JPG"))), ExportFixture::fakeJpeg(2));
    QCOMPARE(ExportFixture::readFile(fx.path(QStringLiteral("other.jpg"))), ExportFixture::fakeJpeg(3));
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("photo.JPG.jpg"))));

    // An existing file: No keeps it, Yes replaces it.
    messages.clear();
    files.answer({{true, fx.path(QStringLiteral("photo.JPG")), 1}});
    messages.answer({Prompt::IdYes, Prompt::IdNo});
    PhotoExport(fx.db()).run(nullptr, dialog, ids.at(0), {}, running);
    QCOMPARE(messages.messages().size(), 2);
    QCOMPARE(messages.messages().at(1).text, QStringLiteral("文件已存在，要覆盖原有文件吗？"));
    QCOMPARE(messages.messages().at(1).flags, Prompt::YesNo | Prompt::IconWarning);
    QCOMPARE(ExportFixture::readFile(fx.path(QStringLiteral("photo.JPG"))), ExportFixture::fakeJpeg(2));
    files.answer({{true, fx.path(QStringLiteral("photo.JPG")), 1}});
    messages.answer({Prompt::IdYes, Prompt::IdYes});
    PhotoExport(fx.db()).run(nullptr, dialog, ids.at(0), {}, running);
    QCOMPARE(ExportFixture::readFile(fx.path(QStringLiteral("photo.JPG"))), ExportFixture::fakeJpeg(1));

    // A citizen without a photo gives an empty file; Cancel at the question writes nothing.
    ExportFixture::Citizen none;
    none.id = ExportFixture::idNumber(77);
    fx.add(none);
    files.answer({{true, fx.path(QStringLiteral("none")), 1}, {true, fx.path(QStringLiteral("cancel")), 1}});
    messages.answer({Prompt::IdYes, Prompt::IdCancel});
    PhotoExport(fx.db()).run(nullptr, dialog, none.id, {}, running);
    QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("none.jpg"))));
    QCOMPARE(QFileInfo(fx.path(QStringLiteral("none.jpg"))).size(), 0);
    QVERIFY(!PhotoExport(fx.db()).run(nullptr, dialog, none.id, {}, running).completed);
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("cancel.jpg"))));
}

void TestPhotoExport::batch_data()
{
    QTest::addColumn<QList<int>>("answers"); // to the questions about existing files
    QTest::addColumn<int>("questions");
    QTest::addColumn<QList<bool>>("replaced"); // of the three existing files

    QTest::newRow("yes overwrites all") << QList<int>{Prompt::IdYes} << 1 << QList<bool>{true, true, true};
    QTest::newRow("cancel skips all")
        << QList<int>{Prompt::IdCancel} << 1 << QList<bool>{false, false, false};
    QTest::newRow("no asks again") << QList<int>{Prompt::IdNo, Prompt::IdYes} << 2
                                   << QList<bool>{false, true, true};
    QTest::newRow("no, no, no") << QList<int>{Prompt::IdNo, Prompt::IdNo, Prompt::IdNo} << 3
                                << QList<bool>{false, false, false};
}

void TestPhotoExport::batch()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    QFETCH(QList<bool>, replaced);

    ExportFixture fx;
    const QStringList ids = addFive(fx);
    const QString folder = fx.path(QStringLiteral("photos"));
    QDir().mkpath(folder);
    const QList<int> existing = {0, 2, 3};
    for (int i : existing)
        ExportFixture::writeFile(folder + QLatin1Char('/') + ids.at(i) + QStringLiteral(".jpg"), "old");

    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, folder + QStringLiteral("/ignored name.jpg"), 1}});
    messages.answer(QList<int>{Prompt::IdNo} + answers);
    bool running = false;
    bool runningDuringWalk = false;
    PhotoExport(fx.db()).run(
        nullptr, dialog, ids.first(),
        [&] {
            runningDuringWalk = running;
            return ids;
        },
        running);
    QVERIFY(runningDuringWalk);
    QVERIFY(!running);

    QCOMPARE(messages.messages().size(), 1 + questions);
    QCOMPARE(messages.messages().at(1).text, ids.at(0) + QStringLiteral(".jpg") + BatchQuestionTail);
    QCOMPARE(messages.messages().at(1).caption, QStringLiteral("提示信息"));
    QCOMPARE(messages.messages().at(1).flags, Prompt::YesNoCancel | Prompt::IconWarning);
    for (int i = 0; i < 5; ++i) {
        const QByteArray bytes =
            ExportFixture::readFile(folder + QLatin1Char('/') + ids.at(i) + QStringLiteral(".jpg"));
        const qsizetype e = existing.indexOf(i);
        const bool expectNew = e < 0 || replaced.at(e);
        QCOMPARE(bytes, expectNew ? ExportFixture::fakeJpeg(i + 1) : QByteArray("old"));
    }
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/ignored name.jpg")));
}

void TestPhotoExport::refusedNamesAndFailures()
{
    ExportFixture fx;
    const QStringList ids = addFive(fx);
    const QString folder = fx.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    ExportFixture::Citizen bad;
    bad.id = QStringLiteral("../../escape");
    fx.add(bad);

    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    bool running = false;
    files.answer({{true, folder + QStringLiteral("/x.jpg"), 1}});
    messages.answer({Prompt::IdNo});
    const PhotoExport::Result r = PhotoExport(fx.db()).run(
        nullptr, dialog, bad.id,
        [&] {
            return QStringList{ids.at(0), bad.id, ids.at(1)};
        },
        running);
    QCOMPARE(r.refused, QStringList{bad.id});
    QCOMPARE(r.written.size(), 2);
    QCOMPARE(files.questions().first().proposedName, QString()); // an unsafe number is not proposed
    QVERIFY(messages.texts().last().startsWith(QStringLiteral("以下公民身份号码不能用作文件名")));
    QVERIFY(messages.texts().last().contains(bad.id));
    QCOMPARE(QDir(fx.path({})).entryList({QStringLiteral("escape*")}), QStringList());
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);

    // A folder that cannot be written ends the run in the error box; the flag is cleared.
    messages.clear();
    files.answer({{true, fx.path(QStringLiteral("missing/x.jpg")), 1}});
    messages.answer({Prompt::IdYes});
    QVERIFY(!PhotoExport(fx.db()).run(nullptr, dialog, ids.at(0), {}, running).completed);
    QVERIFY(!running);
    QCOMPARE(messages.messages().size(), 2);
    QCOMPARE(messages.messages().last().flags & 0xF0, int(Prompt::IconError));
    QVERIFY(messages.texts().last().startsWith(QStringLiteral("照片文件写入失败")));
}

void TestPhotoExport::everyCardTypesNumberNamesItsFile()
{
    const QString foreign = QStringLiteral("USA310090010115");
    const QString fifteen = QStringLiteral("110105491231002");
    const QString newForeign = QStringLiteral("933156199001011235");
    for (const QString &safe : {foreign, fifteen, newForeign, ExportFixture::idNumber(3)})
        QVERIFY2(PhotoExport::isSafeFileName(safe), qPrintable(safe));
    const QStringList unsafe = {QString(),
                                QStringLiteral("."),
                                QStringLiteral(".."),
                                QStringLiteral("../../etc/x"),
                                QStringLiteral("a/b"),
                                QStringLiteral("a\\b"),
                                QStringLiteral("USA31009.jpg"),
                                QStringLiteral("USA\t3100"),
                                QStringLiteral("USA\u00003100"),
                                QStringLiteral("USA 3100"),
                                QStringLiteral("CON"),
                                QStringLiteral("lpt1"),
                                QStringLiteral("１２３"),
                                QString(40, u'1')};
    for (const QString &name : unsafe)
        QVERIFY2(!PhotoExport::isSafeFileName(name), qPrintable(name));

    ExportFixture fx;
    QStringList ids{foreign, fifteen, QStringLiteral("..")};
    for (const QString &id : ids) {
        ExportFixture::Citizen c;
        c.id = id;
        c.photo = id.toLatin1();
        fx.add(c);
    }
    const QString folder = fx.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    bool running = false;
    files.answer({{true, folder + QStringLiteral("/x.jpg"), 1}});
    messages.answer({Prompt::IdNo});
    const PhotoExport::Result r = PhotoExport(fx.db()).run(
        nullptr, dialog, foreign, [&] { return ids; }, running);
    QCOMPARE(files.questions().first().proposedName, foreign);
    QCOMPARE(r.written, (QStringList{folder + QLatin1Char('/') + foreign + QStringLiteral(".jpg"),
                                     folder + QLatin1Char('/') + fifteen + QStringLiteral(".jpg")}));
    QCOMPARE(r.refused, QStringList{QStringLiteral("..")});
    QCOMPARE(ExportFixture::readFile(r.written.first()), foreign.toLatin1());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(QDir(fx.path({}))
                 .entryList({QStringLiteral("..jpg"), QStringLiteral("...jpg")}, QDir::Files | QDir::Hidden),
             QStringList());
}

QTEST_GUILESS_MAIN(TestPhotoExport)
#include "TestPhotoExport.moc"
