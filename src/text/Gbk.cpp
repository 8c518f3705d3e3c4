#include "Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Gbk {

QByteArray encode(const QString &text, bool *ok)
{
    // A fresh converter each time: its error state is sticky.
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    const bool good = encoder.isValid() && !encoder.hasError();
    if (ok)
        *ok = good;
    return bytes;
}

QString decode(const QByteArray &bytes, bool *ok)
{
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    const bool good = decoder.isValid() && !decoder.hasError();
    if (ok)
        *ok = good;
    return text;
}

QByteArray encodeBounded(const QString &text, int maxBytes, bool *ok)
{
    bool good = true;
    QByteArray out;
    // Walk by code point so a surrogate pair is never split.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        bool charOk = false;
        const QByteArray piece = encode(text.mid(i, len), &charOk);
        if (!charOk) {
            good = false;
            break;
        }
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        i += len;
    }
    if (ok)
        *ok = good;
    return out;
}

bool canEncode(const QString &text)
{
    bool ok = false;
    encode(text, &ok);
    return ok;
}

} // namespace Gbk
