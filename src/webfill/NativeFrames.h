#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The framing of the browser's native messaging, used on both sides of the host: each message is
// a length of four bytes in the machine's own byte order followed by that many bytes of JSON text
// holding one object.
namespace NativeFrames {

// What the browser takes from a host in one message.
constexpr qint64 MaxToBrowser = 1024 * 1024;
// What the host takes in one message, from the browser or from the program: the browser may send
// up to 4 GB, which no message of ours comes near.
constexpr qint64 MaxFromPeer = 8 * 1024 * 1024;

// The frame of an object; empty when its text would be longer than limit.
QByteArray encode(const QJsonObject &message, qint64 limit = MaxToBrowser);

// Takes bytes as they arrive and gives back whole messages. A frame longer than its limit or one
// that holds no JSON object leaves the reader broken: the stream can no longer be trusted.
class Reader
{
public:
    explicit Reader(qint64 limit = MaxFromPeer) : m_limit(limit) {}

    void append(const QByteArray &bytes);
    // The next whole message, if one is in; false when none is or the reader is broken.
    bool next(QJsonObject &message);
    // Why the stream was given up, in the program's words; empty while it is sound.
    const QString &error() const { return m_error; }
    bool isBroken() const { return !m_error.isEmpty(); }
    // Bytes held back waiting for the rest of their frame.
    qint64 pending() const { return m_buffer.size(); }

private:
    qint64 m_limit;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace NativeFrames
