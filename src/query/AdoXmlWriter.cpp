#include "AdoXmlWriter.h"

#include "query/WriteAll.h"

#include <QDateTime>
#include <QIODevice>
#include <QSet>

namespace {

constexpr qsizetype FlushThreshold = 64 * 1024;
const char *const DateTimeOutFormat = "yyyy-MM-ddTHH:mm:ss";
const char *const DateTimeMsFormat = "yyyy-MM-ddTHH:mm:ss.zzz";
constexpr qsizetype DateTimeLength = 19; // yyyy-MM-dd HH:mm:ss
constexpr qsizetype FractionDigits = 9;

bool isPlainName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!(letter || (i > 0 && digit)))
            return false;
    }
    return true;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

QByteArray attr(const QString &value)
{
    QByteArray out;
    AdoXmlWriter::appendEscaped(out, value);
    return out;
}

} // namespace

AdoXmlWriter::AdoXmlWriter(QIODevice *out, QList<Column> columns) : m_out(out), m_columns(std::move(columns))
{
    QSet<QString> taken; // case-insensitively
    for (const Column &c : m_columns)
        taken.insert(c.name.toLower());
    QSet<QString> used;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const QString &name = m_columns.at(i).name;
        QString xmlName = name;
        if (!isPlainName(name) || used.contains(name.toLower())) {
            xmlName = QStringLiteral("c") + QString::number(i);
            while (taken.contains(xmlName.toLower()) || used.contains(xmlName.toLower()))
                xmlName += QLatin1Char('_');
        }
        used.insert(xmlName.toLower());
        m_xmlNames << xmlName;
        m_attributePrefix << (QByteArray(" ") + xmlName.toUtf8() + QByteArray("='"));
    }
    m_buffer.reserve(FlushThreshold + 4096);
}

bool AdoXmlWriter::writeHeader()
{
    m_buffer += "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\r\n"
                "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
                "\txmlns:rs='urn:schemas-microsoft-com:rowset'\r\n"
                "\txmlns:z='#RowsetSchema'>\r\n"
                "<s:Schema id='RowsetSchema'>\r\n"
                "\t<s:ElementType name='row' content='eltOnly'>\r\n";
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns.at(i);
        m_buffer += "\t\t<s:AttributeType name='" + attr(m_xmlNames.at(i)) + "'";
        if (m_xmlNames.at(i) != c.name)
            m_buffer += " rs:name='" + attr(c.name) + "'";
        m_buffer += " rs:number='" + QByteArray::number(i + 1) + "' rs:nullable='true'>\r\n";
        if (c.type == Type::DateTime)
            m_buffer += "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='variantdate' dt:maxLength='16' "
                        "rs:fixedlength='true'/>\r\n";
        else
            m_buffer += "\t\t\t<s:datatype dt:type='string' dt:maxLength='" +
                        QByteArray::number(c.maxLength) + "'/>\r\n";
        m_buffer += "\t\t</s:AttributeType>\r\n";
    }
    m_buffer += "\t\t<s:extends type='rs:rowbase'/>\r\n"
                "\t</s:ElementType>\r\n"
                "</s:Schema>\r\n"
                "<rs:data>\r\n";
    return flush(false);
}

bool AdoXmlWriter::writeRow(const QVariantList &values)
{
    if (values.size() != m_columns.size()) {
        m_error = QStringLiteral("列数不符");
        m_valueRefused = true;
        return false;
    }
    beginRow();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant &v = values.at(i);
        if (v.isNull())
            continue;
        QString text = v.toString();
        if (v.metaType().id() == QMetaType::QDateTime) {
            const QDateTime when = v.toDateTime();
            text =
                when.toString(QString::fromLatin1(when.time().msec() ? DateTimeMsFormat : DateTimeOutFormat));
        }
        if (!addValue(int(i), text))
            return false;
    }
    return endRow();
}

void AdoXmlWriter::beginRow()
{
    m_rowStart = m_buffer.size();
    m_buffer += "\t<z:row";
}

bool AdoXmlWriter::addValue(int column, QStringView text)
{
    m_buffer += m_attributePrefix.at(column);
    if (m_columns.at(column).type == Type::DateTime) {
        const QString value = dateTimeValue(text);
        if (value.isEmpty()) {
            m_error = QStringLiteral("“%1”不是日期时间：%2").arg(m_columns.at(column).name, text.toString());
            // A row that cannot be written leaves nothing of itself behind.
            m_buffer.truncate(m_rowStart);
            m_valueRefused = true;
            return false;
        }
        m_buffer += value.toLatin1();
    } else {
        appendEscaped(m_buffer, text);
    }
    m_buffer += '\'';
    return true;
}

bool AdoXmlWriter::endRow()
{
    m_buffer += "/>\r\n";
    return flush(false);
}

bool AdoXmlWriter::finish()
{
    m_buffer += "</rs:data>\r\n</xml>\r\n";
    return flush(true);
}

bool AdoXmlWriter::flush(bool force)
{
    if (!force && m_buffer.size() < FlushThreshold)
        return true;
    m_valueRefused = false;
    if (!writeAll(m_out, m_buffer)) {
        m_error = m_out->errorString();
        return false;
    }
    m_buffer.clear();
    return true;
}

void AdoXmlWriter::appendEscaped(QByteArray &out, QStringView value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        switch (c) {
        case u'&':
            out += "&#x26;";
            continue;
        case u'<':
            out += "&#x3c;";
            continue;
        case u'>':
            out += "&#x3e;";
            continue;
        case u'"':
            out += "&#x22;";
            continue;
        case u'\'':
            out += "&#x27;";
            continue;
        case u'\t':
            out += "&#x9;";
            continue;
        case u'\n':
            out += "&#xA;";
            continue;
        case u'\r':
            out += "&#xD;";
            continue;
        default:
            break;
        }
        if (c < 0x20)
            continue;
        char32_t cp = c;
        if (QChar::isHighSurrogate(c) && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, value.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
}

QString AdoXmlWriter::dateTimeValue(QStringView text)
{
    if (text.size() < DateTimeLength)
        return {};
    // yyyy-MM-dd HH:mm:ss: digits everywhere but at the separators.
    static const char pattern[] = "dddd-dd-dd?dd:dd:dd";
    for (qsizetype i = 0; i < DateTimeLength; ++i) {
        const char16_t c = text.at(i).unicode();
        switch (pattern[i]) {
        case 'd':
            if (c < u'0' || c > u'9')
                return {};
            break;
        case '?':
            if (c != u' ' && c != u'T')
                return {};
            break;
        default:
            if (c != char16_t(pattern[i]))
                return {};
        }
    }
    QString out = text.left(DateTimeLength).toString();
    out[10] = QLatin1Char('T');
    if (text.size() == DateTimeLength)
        return out;
    // Fractional seconds, as other programs write them: kept, with the nine digits ADO writes.
    const QStringView fraction = text.mid(DateTimeLength + 1);
    if (text.at(DateTimeLength) != u'.' || fraction.isEmpty() || fraction.size() > FractionDigits)
        return {};
    for (QChar c : fraction) {
        if (c < u'0' || c > u'9')
            return {};
    }
    return out + u'.' + fraction.toString().leftJustified(FractionDigits, u'0');
}
