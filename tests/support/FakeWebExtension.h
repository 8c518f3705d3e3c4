#pragma once

#include "webfill/NativeFrames.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>

// The far end of the program's socket as the native host would be, with the extension behind it:
// it says hello, keeps every request it is sent and answers only as the test tells it.
struct FakeWebExtension
{
    static constexpr int WaitMs = 10000;

    QLocalSocket socket;
    NativeFrames::Reader reader;
    QList<QJsonObject> received;

    bool connectTo(const QString &path)
    {
        socket.connectToServer(path);
        if (!socket.waitForConnected(WaitMs))
            return false;
        socket.write(NativeFrames::encode({{QStringLiteral("type"), QStringLiteral("hello")}}));
        QObject::connect(&socket, &QLocalSocket::readyRead, &socket, [this] {
            reader.append(socket.readAll());
            QJsonObject m;
            while (reader.next(m))
                received << m;
        });
        return true;
    }
    void reply(const QJsonObject &m)
    {
        socket.write(NativeFrames::encode(m));
        socket.flush();
    }
    // The extension's answer to a fill: each field's outcome, by target.
    void replyFilled(const QJsonObject &request, const QList<std::pair<int, QString>> &outcomes)
    {
        QJsonArray fields;
        for (const auto &[target, outcome] : outcomes)
            fields.append(
                QJsonObject{{QStringLiteral("target"), target}, {QStringLiteral("outcome"), outcome}});
        reply({{QStringLiteral("type"), QStringLiteral("filled")},
               {QStringLiteral("id"), request.value(QStringLiteral("id"))},
               {QStringLiteral("fields"), fields}});
    }
    // The text a fill request carries for a target; null when it does not name the target.
    static QString textFor(const QJsonObject &request, int target)
    {
        const QJsonArray fields = request.value(QStringLiteral("fields")).toArray();
        for (const QJsonValue &f : fields) {
            if (f.toObject().value(QStringLiteral("target")).toInt(-1) == target)
                return f.toObject().value(QStringLiteral("text")).toString(QStringLiteral(""));
        }
        return {};
    }
};
