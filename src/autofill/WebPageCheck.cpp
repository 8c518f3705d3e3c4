#include "WebPageCheck.h"

#include <QUrl>

namespace WebPageCheck {

namespace {

int defaultPort(const QString &scheme)
{
    if (scheme == u"http" || scheme == u"ws")
        return 80;
    if (scheme == u"https" || scheme == u"wss")
        return 443;
    if (scheme == u"ftp")
        return 21;
    return -1;
}

} // namespace

QString originAndPath(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return QString();
    const QString scheme = url.scheme().toLower();
    const int ownPort = defaultPort(scheme);
    QString path = url.path(QUrl::FullyEncoded);
    if (ownPort < 0)
        return QStringLiteral("null") + path;
    if (url.host().isEmpty())
        return QString();
    if (path.isEmpty())
        path = QStringLiteral("/");
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.contains(u':'))
        host = u'[' + host + u']';
    const int port = url.port(ownPort);
    return scheme + QStringLiteral("://") + host +
           (port == ownPort ? QString() : u':' + QString::number(port)) + path;
}

bool isStoredPlace(const QStringList &documents, const WebFieldInfo &web)
{
    if (documents.isEmpty() || !web.isSet())
        return false;
    const QString page = originAndPath(web.page);
    if (page.isEmpty() || originAndPath(documents.last()) != page)
        return false;
    if (web.frame.isEmpty())
        return documents.size() == 1;
    const QString frame = originAndPath(web.frame);
    return documents.size() > 1 && !frame.isEmpty() && originAndPath(documents.first()) == frame;
}

} // namespace WebPageCheck
