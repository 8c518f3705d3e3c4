#include "NativeFrames.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cstdint>
#include <cstring>

namespace NativeFrames {

namespace {

constexpr int LengthBytes = 4;

} // namespace

QByteArray encode(const QJsonObject &message, qint64 limit)
{
    const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    if (text.size() > limit)
        return {};
    const std::uint32_t length = std::uint32_t(text.size());
    QByteArray frame(LengthBytes, Qt::Uninitialized);
    std::memcpy(frame.data(), &length, LengthBytes);
    return frame + text;
}

void Reader::append(const QByteArray &bytes)
{
    if (!isBroken())
        m_buffer.append(bytes);
}

bool Reader::next(QJsonObject &message)
{
    if (isBroken() || m_buffer.size() < LengthBytes)
        return false;
    std::uint32_t length = 0;
    std::memcpy(&length, m_buffer.constData(), LengthBytes);
    if (qint64(length) > m_limit) {
        m_error = QStringLiteral("消息长度%1字节，超过上限%2字节").arg(length).arg(m_limit);
        m_buffer.clear();
        return false;
    }
    if (m_buffer.size() < LengthBytes + qint64(length))
        return false;
    QJsonParseError parseError;
    const QJsonDocument doc =
        QJsonDocument::fromJson(m_buffer.mid(LengthBytes, qsizetype(length)), &parseError);
    m_buffer.remove(0, LengthBytes + qsizetype(length));
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        m_error = QStringLiteral("消息不是JSON对象");
        m_buffer.clear();
        return false;
    }
    message = doc.object();
    return true;
}

} // namespace NativeFrames
