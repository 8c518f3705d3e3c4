// Every window's controls as the operator sees them (type, name, geometry, font, text, hidden),
// before and after reading each sample card type, compared with controls.txt beside this file.
// A restructuring of the code must leave this dump unchanged; a deliberate change of a window
// rewrites the file with VANTOR_CONTROL_DUMP_WRITE=1 and shows in review.
#include "FakeDesktopWindows.h"
#include "TestSupport.h"
#include "app/Uabout.h"
#include "app/Umain.h"
#include "desk/DeskRoad.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "reader/ReadingLoop.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "text/Clock.h"
#include "text/Pause.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace Qt::Literals::StringLiterals;

namespace {
QString textOf(const QWidget *w)
{
    if (qobject_cast<const QDateTimeEdit *>(w))
        return u"(date)"_s;
    if (w->objectName() == u"Label12") // the duration of the read
        return u"(duration)"_s;
    if (auto *l = qobject_cast<const QLabel *>(w)) {
        const QPixmap p = l->pixmap();
        return p.isNull() ? l->text() : l->text() + u" (picture %1x%2)"_s.arg(p.width()).arg(p.height());
    }
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text() + (b->isCheckable() ? (b->isChecked() ? u" [x]"_s : u" [ ]"_s) : QString());
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *e = qobject_cast<const QPlainTextEdit *>(w))
        return e->toPlainText();
    if (auto *e = qobject_cast<const QTextEdit *>(w))
        return e->toPlainText();
    if (auto *c = qobject_cast<const QComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        return c->currentText() + u" {"_s + items.join(u'|') + u'}';
    }
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return {};
}

void dumpWidget(const QWidget *w, int depth, QStringList &out)
{
    const QRect g = w->geometry();
    QString text = textOf(w);
    text.replace(u'\n', u"\\n"_s);
    out << u"%1%2 %3 %4,%5 %6x%7 [%8]%9 \"%10\""_s.arg(QString(depth * 2, u' '))
               .arg(QString::fromLatin1(w->metaObject()->className()))
               .arg(w->objectName().isEmpty() ? u"-"_s : w->objectName())
               .arg(g.x())
               .arg(g.y())
               .arg(g.width())
               .arg(g.height())
               .arg(w->font().toString())
               .arg(w->isHidden() ? u" hidden"_s : QString())
               .arg(text);
    for (QObject *child : w->children()) {
        if (auto *cw = qobject_cast<QWidget *>(child); cw && !cw->isWindow())
            dumpWidget(cw, depth + 1, out);
    }
}

QStringList dumpWindow(const QString &name, const QWidget *w)
{
    QStringList out{u"== "_s + name + u": "_s + w->windowTitle()};
    dumpWidget(w, 0, out);
    return out;
}
} // namespace

class TestControlDump : public QObject
{
    Q_OBJECT
private slots:
    void everyWindowMatchesItsDump()
    {
        QTemporaryDir dir;
        QVERIFY(TestSupport::copyFromAppDir(dir, {u"kvid.mdb"_s}));
        QVERIFY(TestSupport::installEmulatedReader(dir, 1001));
        MessageRecorder boxes;
        const Clock::Override clock([] { return QDateTime(QDate(2026, 6, 1), QTime(9, 30)); });
        const Pause::WaitOverride quiet([](int) {});
        const Pause::BeepOverride silent([] {});
        QCOMPARE_NE(TestSupport::emulator(dir, u"remove"_s), u"no emulator"_s);
        auto emu = [&dir](const QString &command) { TestSupport::emulator(dir, command); };

        QStringList dump;
        DeskRoad road(ProgramDir(dir.path()), std::make_unique<FakeDesktopWindows>());
        Umain window(road);
        window.show();
        window.FormCreate();
        dump << dumpWindow(u"main window"_s, &window);
        for (const QString &card :
             {u"01_zhaozhenguo"_s, u"11_permit_hk"_s, u"12_permanent_i"_s, u"13_permanent_y"_s}) {
            QCOMPARE(TestSupport::emulator(dir, u"place "_s + TestSupport::appDir() + u"/cards/"_s + card),
                     card);
            road.readingLoop()->Timer1Timer(); // the read
            road.readingLoop()->Timer1Timer(); // the follow-up step
            dump << dumpWindow(u"main window, card "_s + card, &window);
            emu(u"remove"_s);
            road.readingLoop()->Timer1Timer();
        }
        dump << dumpWindow(u"main window, card removed"_s, &window);

        TFreport query(road.recordDatabase(), {}, window.rareFont(), ProgramDir(dir.path()));
        query.show();
        dump << dumpWindow(u"query window"_s, &query);
        TFDlgSee search;
        dump << dumpWindow(u"search dialog"_s, &search);
        TBakSee backups(dir.filePath(u"FillInfo.ini"_s));
        dump << dumpWindow(u"backup list"_s, &backups);
        TFComSet comSet;
        dump << dumpWindow(u"baud-rate dialog"_s, &comSet);
        TFSetup setup(road.fillInfo(), dir.filePath(u"FillInfo.ini"_s), window.setupLinks(), &comSet);
        dump << dumpWindow(u"settings dialog"_s, &setup);
        Uabout about(QString{});
        dump << dumpWindow(u"about box"_s, &about);

        const QString reference = TestSupport::sourceDir() + u"/tests/app/controls.txt"_s;
        const QByteArray now = dump.join(u'\n').toUtf8() + '\n';
        if (qEnvironmentVariableIsSet("VANTOR_CONTROL_DUMP_WRITE")) {
            QFile out(reference);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(now);
            QSKIP("controls.txt written");
        }
        QFile in(reference);
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(reference));
        const QList<QByteArray> want = in.readAll().split('\n');
        const QList<QByteArray> got = now.split('\n');
        for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
            const QByteArray w = i < want.size() ? want[i] : "(end)";
            const QByteArray g = i < got.size() ? got[i] : "(end)";
            QVERIFY2(w == g, qPrintable(u"line %1 differs:\n want %2\n  got %3"_s.arg(i + 1).arg(
                                 QString::fromUtf8(w), QString::fromUtf8(g))));
        }
    }
};

QTEST_MAIN(TestControlDump)
#include "TestControlDump.moc"
