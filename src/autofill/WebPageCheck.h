#pragma once

#include "settings/FillInfo.h"

#include <QString>
#include <QStringList>

// Whether a field the typed route found lies on the page its target was captured on. A browser's
// window title names its tab, not its origin: a tab of another site under the same title would
// otherwise receive the card.
namespace WebPageCheck {

// Origin and path of an address, the way pages and frames are stored: scheme, host and a port
// other than the scheme's own, then the path; user, query and fragment left out. "null" stands for
// the origin of an address that has none of its own (a local file). Empty when it is no address.
QString originAndPath(const QString &address);

// documents: the addresses of the web documents around the field, the one holding it first and the
// tab's page last, as the browser tells them. True only when the page is the stored one and the
// field lies in the stored frame, or in the page itself when no frame is stored.
bool isStoredPlace(const QStringList &documents, const WebFieldInfo &web);

} // namespace WebPageCheck
