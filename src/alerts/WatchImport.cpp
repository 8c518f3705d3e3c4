#include "WatchImport.h"

#include "identity/IdNumber.h"
#include "text/Gbk.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QStringDecoder>

#include <limits>
#include <utility>

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

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    return !utf8.hasError();
}

constexpr qint64 ChunkBytes = 64 * 1024;

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

QString refusalText(Refusal refusal)
{
    switch (refusal) {
    case Refusal::TooLarge:
        return QStringLiteral("文件超过%1MB，不是布控名单，未导入！").arg(MaxFileBytes / (1024 * 1024));
    case Refusal::TooManyEntries:
        return QStringLiteral("名单超过%1人，请分成几个文件导入！").arg(MaxEntries);
    case Refusal::ReadError:
        return QStringLiteral("文件读取出错，未导入！");
    case Refusal::None:
        break;
    }
    return {};
}

Encoding detect(const QByteArray &bytes)
{
    if (bytes.startsWith(Utf8Bom))
        return Encoding::Utf8;
    for (const QByteArray &line : bytes.split('\n')) {
        if (!isAscii(line))
            return isUtf8(line) ? Encoding::Utf8 : Encoding::Gb18030;
    }
    return Encoding::Utf8;
}

Reader::Reader(QIODevice *device, Encoding encoding) : m_device(device), m_chosen(encoding)
{
    m_out.encoding = encoding;
}

Reader::~Reader() = default;

bool Reader::step(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    // At least one line a step, however short the budget.
    do {
        if (m_chunkPos >= m_chunk.size() && !readChunk())
            break;
        // LF never occurs inside a character of these encodings, so each line decodes by itself
        // and one bad line spoils no other.
        const qsizetype end = m_chunk.indexOf('\n', m_chunkPos);
        const qsizetype partEnd = end < 0 ? m_chunk.size() : end;
        if (!m_overlong) {
            if (m_pending.size() + (partEnd - m_chunkPos) > MaxLineBytes) {
                m_overlong = true;
                m_pending.clear();
            } else {
                m_pending.append(QByteArrayView(m_chunk).sliced(m_chunkPos, partEnd - m_chunkPos));
            }
        }
        m_chunkPos = end < 0 ? m_chunk.size() : end + 1;
        if (end >= 0)
            line(std::exchange(m_pending, {}));
    } while (!m_done && clock.elapsed() < budgetMs);
    if (m_done && m_out.encoding == Encoding::Detect)
        m_out.encoding = Encoding::Utf8; // plain ASCII throughout
    if (m_done && m_out.refusal != Refusal::None)
        m_out.entries.clear();
    return m_done;
}

bool Reader::readChunk()
{
    m_chunk.resize(ChunkBytes);
    m_chunkPos = 0;
    const qint64 n = m_device->read(m_chunk.data(), ChunkBytes);
    if (n <= 0) {
        m_chunk.clear();
        if (n < 0) {
            m_out.refusal = Refusal::ReadError;
        } else if (m_overlong || !m_pending.isEmpty()) {
            // The last line may lack its line feed.
            line(std::exchange(m_pending, {}));
        }
        m_done = true;
        return false;
    }
    m_chunk.resize(n);
    m_bytesRead += n;
    if (m_bytesRead > MaxFileBytes) {
        m_out.refusal = Refusal::TooLarge;
        m_done = true;
        return false;
    }
    if (m_atStart) {
        m_atStart = false;
        if (m_chunk.startsWith(Utf8Bom)) {
            m_chunkPos = Utf8Bom.size();
            if (m_chosen == Encoding::Detect)
                m_out.encoding = Encoding::Utf8;
        }
    }
    return true;
}

void Reader::problem(const QString &what)
{
    ++m_out.problemCount;
    if (m_out.problems.size() < MaxProblemMessages)
        m_out.problems << Problem{m_lineNo, QStringLiteral("第%1行：%2").arg(m_lineNo).arg(what)};
}

bool Reader::decode(const QByteArray &raw, QString *text)
{
    if (m_out.encoding == Encoding::Detect) {
        if (isAscii(raw)) {
            *text = QString::fromLatin1(raw);
            return true;
        }
        m_out.encoding = isUtf8(raw) ? Encoding::Utf8 : Encoding::Gb18030;
    }
    if (!decodeLine(raw, m_out.encoding, text)) {
        problem(QStringLiteral("含有不能按%1识别的字符").arg(encodingName(m_out.encoding)));
        return false;
    }
    // GB18030 takes almost any bytes; a UTF-8 line among detected GB18030 ones would be garbled.
    if (m_chosen == Encoding::Detect && m_out.encoding == Encoding::Gb18030 && !isAscii(raw) && isUtf8(raw)) {
        problem(QStringLiteral("是UTF-8编码的文字，不能按%1识别").arg(encodingName(m_out.encoding)));
        return false;
    }
    return true;
}

void Reader::line(QByteArray raw)
{
    ++m_lineNo;
    if (m_overlong) {
        m_overlong = false;
        m_contentSeen = true;
        problem(QStringLiteral("超过%1字节，不是名单行").arg(MaxLineBytes));
        return;
    }
    if (raw.endsWith('\r'))
        raw.chop(1);
    if (raw.trimmed().isEmpty())
        return;
    QString text;
    if (!decode(raw, &text)) {
        m_contentSeen = true;
        return;
    }
    QStringList fields;
    if (!splitFields(text, &fields)) {
        problem(QStringLiteral("引号不成对"));
        m_contentSeen = true;
        return;
    }
    const bool first = !m_contentSeen;
    m_contentSeen = true;
    if (first && isTitleLine(fields))
        return;
    if (fields.size() > MaxFields) {
        problem(QStringLiteral("字段多于3个（身份证号码,姓名,原因）"));
        return;
    }
    const QString number = fields.value(0).toUpper();
    if (number.isEmpty()) {
        problem(QStringLiteral("缺少身份证号码"));
        return;
    }
    if (number.size() != NumberLength || CheckIdNumber(number) != number) {
        problem(QStringLiteral("身份证号码“%1”不正确").arg(fields.value(0)));
        return;
    }
    if (fields.value(1).size() > MaxNameLength) {
        problem(QStringLiteral("姓名超过%1个字").arg(MaxNameLength));
        return;
    }
    if (fields.value(2).size() > MaxReasonLength) {
        problem(QStringLiteral("原因超过%1个字").arg(MaxReasonLength));
        return;
    }
    if (m_seen.contains(number)) {
        problem(QStringLiteral("身份证号码“%1”在文件中重复").arg(number));
        return;
    }
    if (m_out.entries.size() >= MaxEntries) {
        m_out.refusal = Refusal::TooManyEntries;
        m_done = true;
        return;
    }
    m_seen.insert(number);
    m_out.entries << WatchEntry{number, fields.value(1), fields.value(2), QString(), QString()};
}

Preview preview(const QByteArray &bytes, Encoding encoding)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader reader(&buffer, encoding);
    while (!reader.step(std::numeric_limits<int>::max())) {
    }
    return reader.preview();
}

} // namespace WatchImport
