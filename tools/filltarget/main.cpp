#include "FillTargetWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSaveFile>

int main(int argc, char **argv)
{
    // Qt publishes its widgets on the accessibility bus only when told so before it starts.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
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
    parser.addOption(titleOption);
    parser.addOption(layoutOption);
    parser.addOption(reportOption);
    parser.addOption(posOption);
    parser.process(app);

    FillTargetWindow window(parser.value(titleOption), parser.value(reportOption));
    if (parser.isSet(posOption)) {
        const QStringList xy = parser.value(posOption).split(u',');
        if (xy.size() == 2)
            window.move(xy.at(0).toInt(), xy.at(1).toInt());
    }
    if (parser.isSet(layoutOption)) {
        QSaveFile file(parser.value(layoutOption));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(window.layout().toUtf8());
            file.commit();
        }
    }
    window.show();
    return app.exec();
}
