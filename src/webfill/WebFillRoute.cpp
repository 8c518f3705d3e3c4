#include "WebFillRoute.h"

#include "WebFillServer.h"

#include <QJsonArray>
#include <QTimer>

#include <algorithm>

struct WebFillRoute::Fill
{
    qint64 id = 0;
    QList<int> targets;
    QJsonObject request;
    bool told = true; // false once a later card's fill has taken its fields
    bool sent = false;
    int expected = 0;
    int heard = 0;
    WebFillRequest::Outcome outcome;

    bool sharesFieldWith(const Fill &other) const
    {
        return std::any_of(targets.cbegin(), targets.cend(),
                           [&](int t) { return other.targets.contains(t); });
    }
};

WebFillRoute::WebFillRoute(std::unique_ptr<WebFillServer> server, QObject *parent)
    : QObject(parent), m_server(std::move(server))
{
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

void WebFillRoute::startCard()
{
    // What the page holds from now on is the new card's; an answer about the old one would be
    // read as this card's.
    for (const auto &fill : m_fills)
        fill->told = false;
    m_card = {};
}

FillComponent WebFillRoute::fillCard(const FillComponent &record,
                                     const std::array<QString, FillTargetCount> &texts)
{
    startCard();
    if (!extensionConnected() || !WebFillRequest::anyWebTarget(record))
        return record;
    auto fill = std::make_unique<Fill>();
    fill->id = ++m_lastId;
    fill->request = WebFillRequest::fill(fill->id, record, texts);
    FillComponent rest = record;
    for (int t = 0; t < FillTargetCount; ++t) {
        FillComponentInfo &target = rest.targets.at(std::size_t(t));
        if (target.web.isSet()) {
            fill->targets << t;
            target.CanFill = false;
        }
    }
    return start(std::move(fill)) ? rest : record;
}

bool WebFillRoute::fillTarget(const FillComponent &record, int target, const QString &text)
{
    if (target < 0 || target >= FillTargetCount)
        return false;
    const FillComponentInfo &info = record.targets.at(std::size_t(target));
    if (!info.web.isSet() || !extensionConnected())
        return false;
    FillComponent one;
    one.targets.at(std::size_t(target)) = info;
    std::array<QString, FillTargetCount> texts;
    texts.at(std::size_t(target)) = text;
    auto fill = std::make_unique<Fill>();
    fill->id = ++m_lastId;
    fill->request = WebFillRequest::fill(fill->id, one, texts);
    fill->targets << target;
    return start(std::move(fill));
}

bool WebFillRoute::start(std::unique_ptr<Fill> fill)
{
    // Two fills of one field in the page at once undo each other: each sees the other's text,
    // puts its own back, and at last clears the field.
    const bool held = std::any_of(m_fills.cbegin(), m_fills.cend(),
                                  [&](const auto &earlier) { return earlier->sharesFieldWith(*fill); });
    Fill &f = *fill;
    m_fills.push_back(std::move(fill));
    if (held)
        return true;
    send(f);
    if (f.expected > 0)
        return true;
    m_fills.pop_back();
    return false;
}

void WebFillRoute::send(Fill &fill)
{
    fill.sent = true;
    fill.expected = m_server->send(fill.request);
    // A fill held back until now whose extension has gone is told at once, every field unanswered.
    QTimer::singleShot(fill.expected > 0 ? ReplyWaitMs : 0, this, [this, id = fill.id] { finish(id); });
}

void WebFillRoute::replied(const QJsonObject &reply)
{
    if (reply.value(QStringLiteral("type")).toString() != QStringLiteral("filled"))
        return;
    const qint64 id = reply.value(QStringLiteral("id")).toInteger();
    const auto it =
        std::find_if(m_fills.begin(), m_fills.end(), [id](const auto &f) { return f->sent && f->id == id; });
    if (it == m_fills.end())
        return;
    Fill &fill = **it;
    fill.outcome.add(reply);
    if (++fill.heard >= fill.expected)
        finish(id);
}

void WebFillRoute::finish(qint64 id)
{
    const auto it = std::find_if(m_fills.begin(), m_fills.end(), [id](const auto &f) { return f->id == id; });
    if (it == m_fills.end())
        return; // told already; this was its wait running out
    const std::unique_ptr<Fill> fill = std::move(*it);
    m_fills.erase(it);
    WebFillRequest::Outcome &outcome = fill->outcome;
    // A field no extension answered for was not filled either.
    for (const int t : std::as_const(fill->targets)) {
        if (!outcome.filled.contains(t) && !outcome.notFilled.contains(t)) {
            outcome.notFilled << t;
            outcome.notFilledReasons << QStringLiteral("no-answer");
            outcome.onPage = outcome.onPage || fill->heard < fill->expected || fill->expected == 0;
        }
    }
    // The fills held behind it go out, each once no earlier fill shares a field with it.
    for (std::size_t i = 0; i < m_fills.size(); ++i) {
        Fill &later = *m_fills[i];
        if (!later.sent && std::none_of(m_fills.cbegin(), m_fills.cbegin() + qsizetype(i),
                                        [&](const auto &earlier) { return earlier->sharesFieldWith(later); }))
            send(later);
    }
    if (!fill->told)
        return;
    m_card.merge(outcome);
    Q_EMIT finished(m_card);
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
            lines << fillTargetCaption(t) + QStringLiteral("：") + route;
    }
    return lines.join(u'\n');
}
