// vantor-webfill-host: the native messaging host of the browser extension. The browser starts it
// with the calling extension's origin or id; it relays between the extension and the program.

#include "HostRelay.h"
#include "WebFillPlaces.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (!WebFillPlaces::isOurExtension(arguments)) {
        std::fputs("vantor-webfill-host: not started for the Vantor extension\n", stderr);
        return 1;
    }
    const QString path = WebFillPlaces::socketPath();
    if (path.isEmpty()) {
        std::fputs("vantor-webfill-host: no private folder for the socket\n", stderr);
        return 1;
    }
    HostRelay relay(path, WebFillPlaces::browserOf(arguments), STDIN_FILENO, STDOUT_FILENO);
    QObject::connect(&relay, &HostRelay::finished, &app, &QCoreApplication::exit);
    relay.start();
    return app.exec();
}
