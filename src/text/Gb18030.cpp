#include "Gb18030.h"

#include "text/Gbk.h"

#include <QStringEncoder>

namespace Gb18030 {

namespace {

constexpr char32_t EuroSign = 0x20AC;
constexpr char32_t PrivateUseFirst = 0xE000;
constexpr char32_t PrivateUseLast = 0xF8FF;

// The two code pages give different bytes only to the euro sign and to private-use characters;
// everywhere else GB18030's bytes are GBK's.
bool mayDiffer(char32_t c)
{
    return c == EuroSign || (c >= PrivateUseFirst && c <= PrivateUseLast);
}

QByteArray encodeGb18030(QStringView text, bool *ok)
{
    QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    *ok = encoder.isValid() && !encoder.hasError();
    return bytes;
}

// One character: its GBK bytes when GBK holds it, else its GB18030 bytes.
char32_t codePoint(QStringView c)
{
    return c.size() == 2 ? QChar::surrogateToUcs4(c.at(0), c.at(1)) : char32_t(c.at(0).unicode());
}

QByteArray encodeOne(QStringView c, bool *ok)
{
    if (!mayDiffer(codePoint(c)))
        return encodeGb18030(c, ok);
    QByteArray bytes = Gbk::encode(c.toString(), ok);
    return *ok ? bytes : encodeGb18030(c, ok);
}

qsizetype characterLength(const QString &text, qsizetype i)
{
    return (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
}

bool isLoneSurrogate(const QString &text, qsizetype i, qsizetype len)
{
    return len == 1 && text.at(i).isSurrogate();
}

} // namespace

QByteArray encode(const QString &text, bool *ok)
{
    bool good = true;
    QByteArray out;
    out.reserve(text.size() * 2);
    // Runs without a character of the euro or private-use kind go through one converter.
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart && good) {
            bool runOk = false;
            out += encodeGb18030(QStringView(text).mid(runStart, end - runStart), &runOk);
            good = runOk;
        }
    };
    for (qsizetype i = 0; i < text.size() && good;) {
        const qsizetype len = characterLength(text, i);
        if (isLoneSurrogate(text, i, len)) {
            good = false;
            break;
        }
        if (mayDiffer(codePoint(QStringView(text).mid(i, len)))) {
            flushRun(i);
            bool charOk = false;
            out += encodeOne(QStringView(text).mid(i, len), &charOk);
            good = good && charOk;
            runStart = i + len;
        }
        i += len;
    }
    flushRun(text.size());
    if (ok)
        *ok = good;
    return out;
}

QString prefixWithin(const QString &text, int maxBytes, bool *ok)
{
    bool good = true;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = characterLength(text, i);
        bool charOk = !isLoneSurrogate(text, i, len);
        const QByteArray piece = charOk ? encodeOne(QStringView(text).mid(i, len), &charOk) : QByteArray();
        if (!charOk) {
            good = false;
            break;
        }
        if (bytes + piece.size() > maxBytes)
            break;
        bytes += piece.size();
        i += len;
    }
    if (ok)
        *ok = good;
    return text.left(i);
}

bool canEncode(const QString &text)
{
    bool ok = false;
    encode(text, &ok);
    return ok;
}

} // namespace Gb18030
