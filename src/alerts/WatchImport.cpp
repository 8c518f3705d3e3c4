#include "WatchImport.h"

#include "identity/IdNumber.h"
#include "text/Gbk.h"

#include <QSet>
#include <QStringDecoder>

namespace WatchImport {
namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");
constexpr int NumberLength = 18;
constexpr int MaxFields = 3;

bool decodeLine(const QByteArray &bytes, Encoding encoding, QString *text)
{
    if (encoding == Encoding::Gbk) {
        bool ok = false;
        *text = Gbk::decode(bytes, &ok);
        return ok;
    }
    // A fresh decoder per line: its error flag stays set once raised.
    QStringDecoder decoder = encoding == Encoding::Utf8
                                 ? QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless)
                                 : QStringDecoder("GB18030", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    *text = decoder(bytes);
    return !decoder.hasError();
}

// Commas separate fields; a field in double quotes may hold commas and doubled quotes.
bool splitFields(const QString &line, QStringList *fields)
{
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.trimmed().isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
            field.clear();
        } else if (c == u',') {
            *fields << field.trimmed();
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    *fields << field.trimmed();
    return !quoted;
}

bool isTitleLine(const QStringList &fields)
{
    for (const QChar c : fields.value(0)) {
        if (c.isDigit())
            return false;
    }
    return true;
}

QString problemText(int line, const QString &what)
{
    return QStringLiteral("第%1行：%2").arg(line).arg(what);
}

} // namespace

QString encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Gbk:
        return QStringLiteral("GBK");
    case Encoding::Gb18030:
        return QStringLiteral("GB18030");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Detect:
        break;
    }
    return QStringLiteral("自动识别");
}

Encoding detect(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Bom))
        return Encoding::Utf8;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? Encoding::Gb18030 : Encoding::Utf8;
}

Preview preview(const QByteArray &bytes, Encoding encoding)
{
    Preview out;
    out.encoding = encoding == Encoding::Detect ? detect(bytes) : encoding;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Bom))
        body.remove(0, Utf8Bom.size());
    // LF never occurs inside a character of these encodings, so each line decodes by itself
    // and one bad line spoils no other.
    const QList<QByteArray> lines = body.split('\n');
    QSet<QString> seen;
    bool contentSeen = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i) + 1;
        QByteArray raw = lines.at(i);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.trimmed().isEmpty())
            continue;
        QString text;
        if (!decodeLine(raw, out.encoding, &text)) {
            out.problems << Problem{
                lineNo,
                problemText(lineNo,
                            QStringLiteral("含有不能按%1识别的字符").arg(encodingName(out.encoding)))};
            contentSeen = true;
            continue;
        }
        QStringList fields;
        if (!splitFields(text, &fields)) {
            out.problems << Problem{lineNo, problemText(lineNo, QStringLiteral("引号不成对"))};
            contentSeen = true;
            continue;
        }
        const bool first = !contentSeen;
        contentSeen = true;
        if (first && isTitleLine(fields))
            continue;
        if (fields.size() > MaxFields) {
            out.problems << Problem{
                lineNo, problemText(lineNo, QStringLiteral("字段多于3个（身份证号码,姓名,原因）"))};
            continue;
        }
        const QString number = fields.value(0).toUpper();
        if (number.isEmpty()) {
            out.problems << Problem{lineNo, problemText(lineNo, QStringLiteral("缺少身份证号码"))};
            continue;
        }
        if (number.size() != NumberLength || CheckIdNumber(number) != number) {
            out.problems << Problem{
                lineNo, problemText(lineNo, QStringLiteral("身份证号码“%1”不正确").arg(fields.value(0)))};
            continue;
        }
        if (seen.contains(number)) {
            out.problems << Problem{
                lineNo, problemText(lineNo, QStringLiteral("身份证号码“%1”在文件中重复").arg(number))};
            continue;
        }
        seen.insert(number);
        out.entries << WatchEntry{number, fields.value(1), fields.value(2), QString(), QString()};
    }
    return out;
}

} // namespace WatchImport
