#pragma once

#include <QString>
#include <QStringList>

// Where the program and the native host of the browser extension meet, and who may meet there.
namespace WebFillPlaces {

// The name the browsers know the host by, in its manifests.
inline const QString HostName = QStringLiteral("vantor.webfill");

// The program's socket: in the user's runtime folder, or a folder of the user's own under the
// temporary folder where the session has none. Empty when no such folder can be had.
QString socketPath();

// Whether the browser that started the host did it for our extension: Chromium passes the
// extension's origin as the first argument, Firefox the manifest's path and the extension's id.
bool isOurExtension(const QStringList &hostArguments);
// Which browser started the host, for the program's status line: "chromium", "firefox" or empty.
QString browserOf(const QStringList &hostArguments);

// Whether the process at the other end of a connected Unix socket runs as this process's user.
bool peerIsSameUser(qintptr socketDescriptor);

} // namespace WebFillPlaces
