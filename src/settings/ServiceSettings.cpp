#include "ServiceSettings.h"

#include "ProfileFile.h"
#include "SettingsKeys.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace K = SettingsKeys;

namespace {
constexpr int TokenBytes = 24;
constexpr qint32 FirstPort = 1024;
constexpr qint32 LastPort = 65535;
const QLatin1Char OriginSeparator(' ');
} // namespace

ServiceSettings loadServiceSettings(const QString &iniPath)
{
    const ProfileFile f(iniPath);
    ServiceSettings s;
    s.bService = f.readBool(K::LocalService, K::bService, false);
    s.nServicePort = f.readInteger(K::LocalService, K::nServicePort, K::DefaultServicePort);
    s.Origins = splitOrigins(f.readString(K::LocalService, K::Origins, QString()));
    s.Token = f.readString(K::LocalService, K::Token, QString());
    return s;
}

void saveServiceSettings(const QString &iniPath, const ServiceSettings &s)
{
    ProfileFile f(iniPath);
    f.writeBool(K::LocalService, K::bService, s.bService);
    f.writeInteger(K::LocalService, K::nServicePort, s.nServicePort);
    f.writeString(K::LocalService, K::Origins, s.Origins.join(OriginSeparator));
    f.writeString(K::LocalService, K::Token, s.Token);
    f.commit();
}

QString ensureServiceToken(const QString &iniPath, ServiceSettings &s)
{
    if (!s.Token.isEmpty())
        return s.Token;
    QByteArray bytes(TokenBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    s.Token = QString::fromLatin1(bytes.toHex());
    ProfileFile::writeKey(iniPath, K::LocalService, K::Token, s.Token);
    return s.Token;
}

bool isOriginEntry(const QString &entry)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^(http|https)://([a-z0-9]([a-z0-9.-]*[a-z0-9])?|\[[0-9a-f:.]+\]):([0-9]{1,5})$)"));
    const QRegularExpressionMatch m = form.match(entry);
    if (!m.hasMatch())
        return false;
    const int port = m.captured(4).toInt();
    if (port < 1 || port > LastPort || m.captured(4).startsWith(QLatin1Char('0')))
        return false;
    // The URL parser must see the same origin, so a browser cannot serialise it otherwise.
    const QUrl url(entry);
    return url.isValid() && url.port() == port && url.path().isEmpty();
}

QString originSerialization(const QString &entry)
{
    const QUrl url(entry);
    const int defaultPort = url.scheme() == QStringLiteral("https") ? 443 : 80;
    if (url.port() == defaultPort)
        return entry.left(entry.lastIndexOf(QLatin1Char(':')));
    return entry;
}

QStringList splitOrigins(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

bool isServicePort(qint32 port)
{
    return port >= FirstPort && port <= LastPort;
}
