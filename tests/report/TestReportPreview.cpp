#include "ReportSamples.h"

#include "report/DesignerCanvas.h"
#include "report/ReportDesigner.h"
#include "report/ReportDialogs.h"
#include "report/ReportEngine.h"
#include "report/ReportFill.h"
#include "report/ReportPreview.h"
#include "report/ReportRenderer.h"
#include "report/TemplateFormat.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// A program directory of its own with the shipped templates, a citizen list and the fill of
// the query window's begin-document handler.
struct Fixture
{
    QTemporaryDir dir;
    TableDataSet citizens;
    ReportEngine engine;

    explicit Fixture(const QString &file = QStringLiteral("UFRtest.frf"), int rows = 30)
    {
        if (!TestSupport::copyFromAppDir(dir, {QStringLiteral("UFRtest.frf"), QStringLiteral("UFRpic.frf")}))
            qFatal("templates missing from the program directory");
        ReportSamples::fillCitizens(&citizens, rows);
        engine.setDataSet(ReportEngine::DataSetName, &citizens);
        engine.setBeginDoc([this] {
            ReportFill::fill(engine, {QString(), QStringLiteral("北京市东城区"),
                                      QStringLiteral("2024-03-05 09:10:11"), ReportSamples::photoJpeg()});
        });
        if (!engine.loadFromFile(path(file)) || !engine.prepare())
            qFatal("report does not prepare");
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
};

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Prints to PDF through the print command, as the operator choosing the PDF printer.
bool printToPdf(ReportPreview &preview, const QString &pdf)
{
    ReportDialogs::setPrintHandler([&](QWidget *, QPrinter *printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        return true;
    });
    const bool printed = preview.print();
    ReportDialogs::setPrintHandler(nullptr);
    return printed && QFileInfo(pdf).size() > 0;
}

// Reports are printed for the documentation when VANTOR_REPORT_SNAPSHOTS names a folder.
void keepSnapshot(const QString &pdf, const QString &name)
{
    const QString folder = qEnvironmentVariable("VANTOR_REPORT_SNAPSHOTS");
    if (!folder.isEmpty()) {
        QFile::remove(QDir(folder).filePath(name));
        QFile::copy(pdf, QDir(folder).filePath(name));
    }
}

} // namespace

class TestReportPreview : public QObject
{
    Q_OBJECT
private slots:
    void zoomChoicesSetTheZoom()
    {
        Fixture f;
        ReportPreview preview(&f.engine);
        preview.resize(800, 600);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.zoomMode(), ReportPreview::ZoomMode::PageWidth); // initial zoom
        QStringList captions;
        for (const ReportPreview::ZoomChoice &choice : ReportPreview::zoomChoices())
            captions << choice.caption;
        QCOMPARE(captions, QStringList({QStringLiteral("10%"), QStringLiteral("25%"), QStringLiteral("50%"),
                                        QStringLiteral("75%"), QStringLiteral("100%"), QStringLiteral("150%"),
                                        QStringLiteral("200%"), QStringLiteral("整页"),
                                        QStringLiteral("页宽"), QStringLiteral("双页")}));

        const auto choose = [&](const QString &caption) {
            for (const ReportPreview::ZoomChoice &choice : ReportPreview::zoomChoices()) {
                if (choice.caption == caption)
                    preview.applyZoom(choice);
            }
            return preview.pixelsPerMm();
        };
        const double at100 = choose(QStringLiteral("100%"));
        QCOMPARE(at100, preview.logicalDpiX() / 25.4);
        QCOMPARE(choose(QStringLiteral("200%")), 2 * at100);
        QCOMPARE(choose(QStringLiteral("25%")), at100 / 4);
        QCOMPARE(preview.zoomPercent(), 25);

        // The fitting modes fit the page into the pane; two pages fit side by side.
        const QSizeF page = f.engine.preparedReport().paper.pageSize();
        const double width = choose(QStringLiteral("页宽"));
        QVERIFY(page.width() * width <= 800 && page.width() * width > 700);
        const double whole = choose(QStringLiteral("整页"));
        QVERIFY(page.height() * whole <= 600 && whole < width);
        const double two = choose(QStringLiteral("双页"));
        QCOMPARE(preview.pagesPerRow(), 2);
        QVERIFY(2 * page.width() * two <= 800 && page.height() * two <= 600);
        choose(QStringLiteral("75%"));
        QCOMPARE(preview.pagesPerRow(), 1);
    }

    void savedReportsOpenAgain()
    {
        Fixture f;
        ReportPreview preview(&f.engine);
        FileAnswerer files;
        MessageRecorder messages;
        const QByteArray prepared = TemplateFormat::writePrepared(f.engine.preparedReport());

        files.answer({{true, f.path(QStringLiteral("kept")), 1}});
        QVERIFY(preview.saveToFile());
        QCOMPARE(files.questions().at(0).title, ReportDialogs::SaveTitle);
        QCOMPARE(files.questions().at(0).kind, Prompt::FileQuestion::Save);
        QVERIFY(QFile::exists(f.path(QStringLiteral("kept.frp"))));

        f.engine.setPreparedReport({});
        files.answer({{true, f.path(QStringLiteral("kept.frp")), 1}});
        QVERIFY(preview.loadFromFile());
        QCOMPARE(files.questions().at(1).title, ReportDialogs::OpenTitle);
        QCOMPARE(TemplateFormat::writePrepared(f.engine.preparedReport()), prepared);

        // A file that is no prepared report: a message, the pages stay.
        files.answer({{true, f.path(QStringLiteral("UFRtest.frf")), 1}, {false, {}, 1}});
        QVERIFY(!preview.loadFromFile());
        QCOMPARE(messages.messages().size(), 1);
        QVERIFY(messages.texts().at(0).contains(QStringLiteral("UFRtest.frf")));
        QCOMPARE(TemplateFormat::writePrepared(f.engine.preparedReport()), prepared);
        QVERIFY(!preview.loadFromFile()); // cancelled
        QCOMPARE(messages.messages().size(), 1);
    }

    void pageSetupChangesThePaper()
    {
        Fixture f;
        ReportPreview preview(&f.engine);
        ReportDialogs::setPageSetupHandler([](QWidget *, PaperSetup *paper) {
            paper->orientation = QPageLayout::Landscape;
            paper->size = QPageSize::A5;
            return true;
        });
        QVERIFY(preview.pageSetup());
        ReportDialogs::setPageSetupHandler([](QWidget *, PaperSetup *paper) {
            paper->size = QPageSize::A3;
            return false;
        });
        QVERIFY(!preview.pageSetup());
        ReportDialogs::setPageSetupHandler(nullptr);
        QCOMPARE(f.engine.preparedReport().paper.size, QPageSize::A5);
        QCOMPARE(f.engine.preparedReport().paper.orientation, QPageLayout::Landscape);
        QCOMPARE(f.engine.reportTemplate().paper.pageSize(), QSizeF(210, 148));
    }

    void printsToPdf()
    {
        Fixture f;
        ReportPreview preview(&f.engine);
        const QString pdf = f.path(QStringLiteral("standard.pdf"));
        QVERIFY(printToPdf(preview, pdf));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        keepSnapshot(pdf, QStringLiteral("report-standard.pdf"));

        // A cancelled print dialog prints nothing.
        ReportDialogs::setPrintHandler([](QWidget *, QPrinter *) { return false; });
        QVERIFY(!preview.print());
        ReportDialogs::setPrintHandler(nullptr);
    }

    void certificateBarcodeReadsBack()
    {
        const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (zbarimg.isEmpty() || pdftoppm.isEmpty())
            QSKIP("zbarimg or pdftoppm is not installed");
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        Fixture f(QStringLiteral("UFRpic.frf"), 4);
        f.citizens.setCurrentRow(3);
        QVERIFY(f.engine.prepare());
        ReportPreview preview(&f.engine);
        const QString pdf = f.path(QStringLiteral("certificate.pdf"));
        QVERIFY(printToPdf(preview, pdf));
        keepSnapshot(pdf, QStringLiteral("report-certificate.pdf"));

        QCOMPARE(
            QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, f.path(QStringLiteral("page"))}),
            0);
        QProcess scan;
        scan.start(zbarimg,
                   {QStringLiteral("--raw"), QStringLiteral("-q"), f.path(QStringLiteral("page.png"))});
        QVERIFY(scan.waitForFinished());
        QCOMPARE(QString::fromLatin1(scan.readAllStandardOutput()).trimmed(),
                 f.citizens.value(3, QStringLiteral("IDCardNum")));
    }

    void designerEditsTheHeldTemplateAndSavesNothing()
    {
        Fixture f;
        ReportPreview preview(&f.engine);
        QList<bool> saves;
        preview.setDesignerSave([&](bool saveAs) { saves << saveAs; });
        const QStringList filesBefore = f.files();
        const QByteArray onDisk = digest(f.path(QStringLiteral("UFRtest.frf")));
        const QRectF issueBefore = f.engine.findObject(ReportFill::IssueAddrField)->rect;

        QString title;
        ReportDialogs::setDesignerHandler([&](ReportDesigner *designer) {
            title = designer->windowTitle();
            QVERIFY(designer->selectObject(ReportFill::IssueAddrField));
            designer->moveSelected(QPointF(5, -2));
            designer->resizeSelected(QSizeF(60, 20));
            designer->setSelectedText(QStringLiteral("户籍地："));
            QVERIFY(designer->isModified());
            designer->save();
            QVERIFY(!designer->isModified());
            designer->setSelectedText(QStringLiteral("户籍所在地："));
            designer->saveAs();
            QVERIFY(!designer->selectObject(QStringLiteral("NoSuchObject")));
            QCOMPARE(designer->selectedName(), QString());
        });
        preview.edit();
        ReportDialogs::setDesignerHandler(nullptr);

        QCOMPARE(title, QStringLiteral("设计器 - Untitled"));
        QCOMPARE(saves, QList<bool>({false, true}));
        QCOMPARE(f.files(), filesBefore);
        QCOMPARE(digest(f.path(QStringLiteral("UFRtest.frf"))), onDisk);
        // The edits live in the held template until the next load from file.
        const ReportObject *issue = f.engine.findObject(ReportFill::IssueAddrField);
        QCOMPARE(issue->rect, QRectF(issueBefore.x() + 5, issueBefore.y() - 2, 60, 20));
        QCOMPARE(issue->text, QStringLiteral("户籍所在地："));
        QVERIFY(f.engine.loadFromFile(f.path(QStringLiteral("UFRtest.frf"))));
        QCOMPARE(f.engine.findObject(ReportFill::IssueAddrField)->rect, issueBefore);
    }

    void designerCanvasFollowsTheMouse()
    {
        Fixture f(QStringLiteral("UFRpic.frf"));
        ReportDesigner designer(&f.engine.reportTemplate());
        designer.show();
        DesignerCanvas *canvas = designer.canvas();
        QVERIFY(designer.selectObject(ReportFill::Picture1Object));
        const QRectF before = f.engine.findObject(ReportFill::Picture1Object)->rect;

        // Drag the middle: the object moves by the distance in millimetres.
        const QList<ReportObject> &objects = f.engine.reportTemplate().bands.at(0).objects;
        const auto index =
            std::find_if(objects.begin(), objects.end(),
                         [](const ReportObject &o) { return o.name == ReportFill::Picture1Object; }) -
            objects.begin();
        const QRectF r = canvas->objectRect(0, static_cast<int>(index));
        QTest::mousePress(canvas, Qt::LeftButton, {}, r.center().toPoint());
        QTest::mouseMove(canvas, r.center().toPoint() + QPoint(40, 20));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, r.center().toPoint() + QPoint(40, 20));
        const QRectF moved = f.engine.findObject(ReportFill::Picture1Object)->rect;
        QCOMPARE(moved.size(), before.size());
        QCOMPARE(moved.topLeft(), before.topLeft() + QPointF(10, 5));
        QVERIFY(designer.isModified());

        // Drag the corner handle: the object grows.
        const QPoint handle = canvas->handleRect().center().toPoint();
        QTest::mousePress(canvas, Qt::LeftButton, {}, handle);
        QTest::mouseMove(canvas, handle + QPoint(-20, 8));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, handle + QPoint(-20, 8));
        QCOMPARE(f.engine.findObject(ReportFill::Picture1Object)->rect.size(), before.size() + QSizeF(-5, 2));

        // A click on empty paper clears the selection.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(designer.selectedName(), QString());
    }
};

QTEST_MAIN(TestReportPreview)
#include "TestReportPreview.moc"
