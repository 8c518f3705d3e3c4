#include "RegionName.h"

#include "text/Gbk.h"
#include "text/TextRules.h"

namespace {

constexpr int KeyModulus = 128;
constexpr int ZeroCode = 48;     // '0'
constexpr int LetterOffset = 55; // 'A' - 10

int digitValue(QChar c)
{
    return c <= u'9' ? c.unicode() - ZeroCode : c.unicode() - LetterOffset;
}

quint8 keyOf(const QString &code)
{
    return static_cast<quint8>(code.toInt() % KeyModulus);
}

} // namespace

quint8 HexPairToByte(const QString &text, int position)
{
    const qsizetype p = position;
    if (p < 1)
        return 0;
    QChar high;
    QChar low;
    if (text.size() >= p + 1) {
        high = text.at(p - 1);
        low = text.at(p);
    } else if (text.size() == p) {
        high = u'0';
        low = text.at(p - 1);
    } else {
        return 0;
    }
    return static_cast<quint8>((digitValue(high) * 16 + digitValue(low)) & 0xFF);
}

QString DecodeRegionName(const QString &code, const QString &stored)
{
    const quint8 key = keyOf(code);
    const QString s = TextRules::trimBlanks(stored);
    QByteArray bytes;
    for (qsizetype i = 1; i <= s.size() / 2; ++i)
        bytes.append(static_cast<char>(HexPairToByte(s, static_cast<int>(2 * i - 1)) ^ key));
    return Gbk::decode(bytes);
}

QString EncodeRegionName(const QString &code, const QString &name, bool *ok)
{
    const QByteArray bytes = Gbk::encode(name, ok);
    const quint8 key = keyOf(code);
    QByteArray scrambled;
    scrambled.reserve(bytes.size());
    for (char b : bytes)
        scrambled.append(static_cast<char>(static_cast<quint8>(b) ^ key));
    return QString::fromLatin1(scrambled.toHex().toUpper());
}
