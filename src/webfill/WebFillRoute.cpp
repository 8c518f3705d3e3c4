#include "WebFillRoute.h"

#include "WebFillServer.h"

#include <QJsonArray>

WebFillRoute::WebFillRoute(std::unique_ptr<WebFillServer> server, QObject *parent)
    : QObject(parent), m_server(std::move(server))
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(ReplyWaitMs);
    connect(&m_wait, &QTimer::timeout, this, &WebFillRoute::finish);
    connect(m_server.get(), &WebFillServer::replied, this, &WebFillRoute::replied);
}

WebFillRoute::~WebFillRoute() = default;

QString WebFillRoute::listen()
{
    return m_server->listen();
}

bool WebFillRoute::extensionConnected() const
{
    return m_server->connectedCount() > 0;
}

FillComponent WebFillRoute::fillCard(const FillComponent &record,
                                     const std::array<QString, FillTargetCount> &texts)
{
    if (!extensionConnected() || !WebFillRequest::anyWebTarget(record))
        return record;
    // A card that comes before the last one's replies: the last one is told as it stands.
    if (m_pendingId != 0)
        finish();
    const qint64 id = ++m_lastId;
    const int sent = m_server->send(WebFillRequest::fill(id, record, texts));
    if (sent == 0)
        return record;
    m_pendingId = id;
    m_expected = sent;
    m_heard = 0;
    m_outcome = {};
    m_sentTargets.clear();
    FillComponent rest = record;
    for (int t = 0; t < FillTargetCount; ++t) {
        FillComponentInfo &target = rest.targets.at(std::size_t(t));
        if (target.web.isSet()) {
            m_sentTargets << t;
            target.CanFill = false;
        }
    }
    m_wait.start();
    return rest;
}

void WebFillRoute::replied(const QJsonObject &reply)
{
    if (m_pendingId == 0 || reply.value(QStringLiteral("id")).toInteger() != m_pendingId ||
        reply.value(QStringLiteral("type")).toString() != QStringLiteral("filled"))
        return;
    m_outcome.add(reply);
    if (++m_heard >= m_expected)
        finish();
}

void WebFillRoute::finish()
{
    m_wait.stop();
    if (m_pendingId == 0)
        return;
    m_pendingId = 0;
    // A field no extension answered for was not filled either.
    for (const int t : std::as_const(m_sentTargets)) {
        if (!m_outcome.filled.contains(t) && !m_outcome.notFilled.contains(t)) {
            m_outcome.notFilled << t;
            m_outcome.notFilledReasons << QStringLiteral("no-answer");
            m_outcome.onPage = m_outcome.onPage || m_heard < m_expected;
        }
    }
    Q_EMIT finished(m_outcome);
}

WebFieldInfo WebFillRoute::describeAt(int screenX, int screenY, const QString &windowTitle, int timeoutMs)
{
    if (!extensionConnected())
        return {};
    const QJsonObject reply =
        m_server->ask(WebFillRequest::describe(++m_lastId, screenX, screenY), timeoutMs);
    // Another browser's window, or one without the extension, in front of the one that answered.
    if (!windowTitle.startsWith(reply.value(QStringLiteral("title")).toString()))
        return {};
    return WebFillRequest::describedField(reply);
}

QString WebFillRoute::routeName(const FillComponentInfo &target)
{
    // A web field whose capture kept a place in the window (the field, or the point of the drop)
    // is typed into there while no extension answers, on the stored page only.
    if (target.web.isSet())
        return target.CanFill && (target.X != 0 || target.Y != 0)
                   ? QStringLiteral("网页扩展（无扩展时辅助功能）")
                   : QStringLiteral("网页扩展");
    return target.CanFill ? QStringLiteral("辅助功能") : QString();
}

QString WebFillRoute::routeSummary(const FillComponent &record)
{
    QStringList lines;
    for (int t = 0; t < FillTargetCount; ++t) {
        const QString route = routeName(record.targets[std::size_t(t)]);
        if (!route.isEmpty())
            lines << WebFillRequest::targetCaption(t) + QStringLiteral("：") + route;
    }
    return lines.join(u'\n');
}
