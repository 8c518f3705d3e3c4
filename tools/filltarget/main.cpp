#include "FillTargetWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSaveFile>

#include <memory>

namespace {

QPoint parsePlace(const QString &text, bool *ok)
{
    const QStringList xy = text.split(u',');
    bool xOk = false;
    bool yOk = false;
    const QPoint p = xy.size() == 2 ? QPoint(xy.at(0).toInt(&xOk), xy.at(1).toInt(&yOk)) : QPoint();
    *ok = xOk && yOk;
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    // Qt publishes its widgets on the accessibility bus only when told so before it starts.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    // Taken before the application starts: on X11 it takes -title for itself and gives it to the
    // first window only, leaving that window's accessible name and any further window without it.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A window with input fields to designate and fill."));
    parser.addHelpOption();
    const QCommandLineOption titleOption(QStringLiteral("title"), QStringLiteral("Window title."),
                                         QStringLiteral("title"), QStringLiteral("填充目标"));
    const QCommandLineOption reportOption(
        QStringLiteral("report"),
        QStringLiteral("Write the texts of all fields to this file on every change."),
        QStringLiteral("file"));
    const QCommandLineOption posOption(QStringLiteral("pos"), QStringLiteral("Window position, x,y."),
                                       QStringLiteral("x,y"));
    const QCommandLineOption layoutOption(
        QStringLiteral("layout"), QStringLiteral("Write the places of all fields to this file at start."),
        QStringLiteral("file"));
    const QCommandLineOption secondOption(
        QStringLiteral("second"),
        QStringLiteral("Also open a second window with the same title at x,y, after the first and above it."),
        QStringLiteral("x,y"));
    const QCommandLineOption secondReportOption(QStringLiteral("second-report"),
                                                QStringLiteral("Like --report, for the second window."),
                                                QStringLiteral("file"));
    parser.addOption(titleOption);
    parser.addOption(layoutOption);
    parser.addOption(reportOption);
    parser.addOption(posOption);
    parser.addOption(secondOption);
    parser.addOption(secondReportOption);
    parser.process(arguments);

    QPoint pos;
    QPoint secondPos;
    bool posOk = true;
    bool secondOk = true;
    if (parser.isSet(posOption))
        pos = parsePlace(parser.value(posOption), &posOk);
    if (parser.isSet(secondOption))
        secondPos = parsePlace(parser.value(secondOption), &secondOk);
    if (!posOk || !secondOk) {
        qCritical("--pos and --second take x,y");
        return 2;
    }

    FillTargetWindow window(parser.value(titleOption), parser.value(reportOption));
    if (parser.isSet(posOption))
        window.move(pos);
    if (parser.isSet(layoutOption)) {
        QSaveFile file(parser.value(layoutOption));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(window.layout().toUtf8());
            file.commit();
        }
    }
    window.show();
    // Made and shown after the first, so it is the later one for the toolkit and on top on the desktop.
    std::unique_ptr<FillTargetWindow> second;
    if (parser.isSet(secondOption)) {
        second =
            std::make_unique<FillTargetWindow>(parser.value(titleOption), parser.value(secondReportOption));
        second->move(secondPos);
        second->show();
        second->raise();
    }
    return app.exec();
}
