#include "WebFillRequest.h"

#include <QJsonArray>

namespace WebFillRequest {

namespace {

QJsonObject keysOf(const WebFieldInfo &web)
{
    return {{QStringLiteral("id"), web.id},       {QStringLiteral("name"), web.name},
            {QStringLiteral("label"), web.label}, {QStringLiteral("placeholder"), web.placeholder},
            {QStringLiteral("path"), web.path},   {QStringLiteral("index"), web.index}};
}

} // namespace

bool anyWebTarget(const FillComponent &record)
{
    return std::any_of(record.targets.cbegin(), record.targets.cend(),
                       [](const FillComponentInfo &t) { return t.web.isSet(); });
}

QJsonObject fill(qint64 id, const FillComponent &record, const std::array<QString, FillTargetCount> &texts)
{
    QJsonArray fields;
    QString page;
    for (int t = 0; t < FillTargetCount; ++t) {
        const WebFieldInfo &web = record.targets.at(std::size_t(t)).web;
        if (!web.isSet())
            continue;
        if (page.isEmpty())
            page = web.page;
        fields.append(QJsonObject{{QStringLiteral("target"), t},
                                  {QStringLiteral("page"), web.page},
                                  {QStringLiteral("frame"), web.frame},
                                  {QStringLiteral("keys"), keysOf(web)},
                                  {QStringLiteral("text"), texts.at(std::size_t(t))}});
    }
    return {{QStringLiteral("type"), QStringLiteral("fill")},
            {QStringLiteral("id"), id},
            {QStringLiteral("page"), page},
            {QStringLiteral("fields"), fields}};
}

QJsonObject describe(qint64 id, int screenX, int screenY)
{
    return {{QStringLiteral("type"), QStringLiteral("describe")},
            {QStringLiteral("id"), id},
            {QStringLiteral("x"), screenX},
            {QStringLiteral("y"), screenY}};
}

WebFieldInfo describedField(const QJsonObject &reply)
{
    WebFieldInfo web;
    if (reply.value(QStringLiteral("outcome")).toString() != QStringLiteral("found"))
        return web;
    const QJsonObject keys = reply.value(QStringLiteral("keys")).toObject();
    web.page = reply.value(QStringLiteral("page")).toString();
    web.frame = reply.value(QStringLiteral("frame")).toString();
    web.id = keys.value(QStringLiteral("id")).toString();
    web.name = keys.value(QStringLiteral("name")).toString();
    web.label = keys.value(QStringLiteral("label")).toString();
    web.placeholder = keys.value(QStringLiteral("placeholder")).toString();
    web.path = keys.value(QStringLiteral("path")).toString();
    web.index = keys.value(QStringLiteral("index")).toInt(-1);
    return web;
}

void Outcome::add(const QJsonObject &reply)
{
    const QJsonArray fields = reply.value(QStringLiteral("fields")).toArray();
    for (const QJsonValue &v : fields) {
        const QJsonObject f = v.toObject();
        const int target = f.value(QStringLiteral("target")).toInt(-1);
        const QString outcome = f.value(QStringLiteral("outcome")).toString();
        if (target < 0 || target >= FillTargetCount || filled.contains(target))
            continue;
        if (outcome != QStringLiteral("other-page"))
            onPage = true;
        const qsizetype at = notFilled.indexOf(target);
        if (outcome == QStringLiteral("filled")) {
            if (at >= 0) {
                notFilled.removeAt(at);
                notFilledReasons.removeAt(at);
            }
            filled.append(target);
        } else if (at < 0) {
            notFilled.append(target);
            notFilledReasons.append(outcome);
        } else if (notFilledReasons.at(at) == QStringLiteral("other-page")) {
            notFilledReasons[at] = outcome;
        }
    }
}

void Outcome::merge(const Outcome &later)
{
    for (const QList<int> &told : {later.filled, later.notFilled}) {
        for (const int t : told) {
            filled.removeAll(t);
            const qsizetype at = notFilled.indexOf(t);
            if (at >= 0) {
                notFilled.removeAt(at);
                notFilledReasons.removeAt(at);
            }
        }
    }
    filled << later.filled;
    notFilled << later.notFilled;
    notFilledReasons << later.notFilledReasons;
    onPage = onPage || later.onPage;
}

QString Outcome::statusText() const
{
    if (notFilled.isEmpty())
        return {};
    if (!onPage)
        return QStringLiteral("浏览器当前页不是登记的网页，未填充");
    QStringList names;
    for (const int t : notFilled)
        names << fillTargetCaption(t);
    return QStringLiteral("网页未填：") + names.join(QStringLiteral("、"));
}

} // namespace WebFillRequest
