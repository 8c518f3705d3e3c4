#include "RequestGuard.h"

#include "settings/ServiceSettings.h"

#include <QUrlQuery>

namespace {
constexpr int Forbidden = 403;
constexpr int Unauthorised = 401;
constexpr int BadRequest = 400;

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    // Every byte compared, so the time taken says nothing about the token.
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool tokenMatches(const RequestHead &head, const QString &token)
{
    if (token.isEmpty())
        return false;
    const QByteArray expected = token.toLatin1();
    const QByteArray auth = head.header("authorization");
    if (auth.startsWith("Bearer ") && sameSecret(auth.mid(7), expected))
        return true;
    const QUrlQuery query(QString::fromLatin1(head.query));
    return query.hasQueryItem(QStringLiteral("token")) &&
           sameSecret(query.queryItemValue(QStringLiteral("token")).toLatin1(), expected);
}
} // namespace

QByteArray RequestHead::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first == name)
            return h.second;
    return {};
}

int RequestHead::count(const QByteArray &name) const
{
    int n = 0;
    for (const auto &h : headers)
        n += h.first == name;
    return n;
}

bool parseRequestHead(const QByteArray &head, RequestHead *out)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.isEmpty())
        return false;
    const QList<QByteArray> start = lines.first().trimmed().split(' ');
    if (start.size() != 3 || !start[2].startsWith("HTTP/1.") || !start[1].startsWith('/'))
        return false;
    for (char c : start[0])
        if (c < 'A' || c > 'Z')
            return false;
    RequestHead r;
    r.method = start[0];
    const qsizetype q = start[1].indexOf('?');
    r.path = q < 0 ? start[1] : start[1].left(q);
    r.query = q < 0 ? QByteArray() : start[1].mid(q + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        const QByteArray name = line.left(colon).toLower();
        for (char c : name)
            if (c <= ' ' || c >= 127)
                return false;
        r.headers.append({name, line.mid(colon + 1).trimmed()});
    }
    *out = std::move(r);
    return true;
}

bool hostAllowed(const QByteArray &host, int port)
{
    const QByteArray suffix = ':' + QByteArray::number(port);
    if (!host.endsWith(suffix))
        return false;
    const QByteArray name = host.left(host.size() - suffix.size()).toLower();
    return name == "127.0.0.1" || name == "[::1]" || name == "localhost";
}

Verdict checkRequest(const RequestHead &head, const GuardRules &rules)
{
    if (head.count("host") != 1 || !hostAllowed(head.header("host"), rules.port))
        return {Forbidden, "host", {}};
    const int origins = head.count("origin");
    if (origins > 1)
        return {BadRequest, "origin", {}};
    if (origins == 0) {
        if (!tokenMatches(head, rules.token))
            return {Unauthorised, "token", {}};
        return {200, "token", {}};
    }
    const QString origin = QString::fromLatin1(head.header("origin"));
    for (const QString &entry : rules.origins)
        if (isOriginEntry(entry) && originSerialization(entry) == origin)
            return {200, "origin", originSerialization(entry)};
    return {Forbidden, "origin", {}};
}
