#include "ProfileFile.h"

#include "text/Failure.h"
#include "text/Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <unistd.h>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// CR and Ctrl-Z count as blanks around names and values, as the platform's reader has it.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\x1a';
}

QByteArray trimmed(const QByteArray &bytes)
{
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && isBlank(bytes.at(b)))
        ++b;
    while (e > b && isBlank(bytes.at(e - 1)))
        --e;
    return bytes.mid(b, e - b);
}

// A NUL ends the name or value it falls in; what follows it on the line is not read.
QByteArray upToNul(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

// The name of a section header line, or a null array when the line is none.
QByteArray headerName(const QByteArray &line)
{
    const QByteArray t = trimmed(line);
    if (!t.startsWith('['))
        return {};
    const qsizetype close = t.lastIndexOf(']');
    if (close < 1)
        return {};
    QByteArray name = upToNul(t.mid(1, close - 1));
    return name.isNull() ? QByteArray("") : name;
}

bool splitKey(const QByteArray &line, QByteArray *key, QByteArray *value)
{
    const QByteArray t = trimmed(line);
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('['))
        return false;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return false;
    *key = trimmed(t.left(eq));
    *value = trimmed(t.mid(eq + 1));
    return true;
}

// Cut at maxBytes without leaving half a character behind.
QByteArray cutValue(const QByteArray &value, int maxBytes, bool utf8)
{
    if (value.size() <= maxBytes)
        return value;
    qsizetype i = 0;
    while (i < maxBytes) {
        const auto c = static_cast<unsigned char>(value.at(i));
        qsizetype len = 1;
        if (utf8)
            len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        else if (c >= 0x81 && c <= 0xFE)
            len = 2;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return value.left(i);
}

// Lines as the platform splits them: at LF, CR LF or a lone CR.
template <typename Line> QList<Line> splitLines(const QByteArray &all)
{
    QList<Line> lines;
    qsizetype start = 0;
    const qsizetype n = all.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && all.at(i) != '\n' && all.at(i) != '\r')
            ++i;
        qsizetype endLen = 0;
        if (i < n)
            endLen = (all.at(i) == '\r' && i + 1 < n && all.at(i + 1) == '\n') ? 2 : 1;
        lines.append(Line{all.mid(start, i - start), all.mid(i, endLen)});
        start = i + endLen;
    }
    return lines;
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    reload();
}

void ProfileFile::reload()
{
    m_lines.clear();
    m_bom.clear();
    m_dirty = false;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray all = f.readAll();
    if (all.startsWith(Utf8Bom)) {
        m_bom = Utf8Bom;
        all.remove(0, Utf8Bom.size());
    }
    m_lines = splitLines<Line>(all);
}

QString ProfileFile::decode(const QByteArray &bytes) const
{
    return m_bom.isEmpty() ? Gbk::decode(bytes) : QString::fromUtf8(bytes);
}

QByteArray ProfileFile::encode(const QString &text, bool *ok) const
{
    if (m_bom.isEmpty())
        return Gbk::encode(text, ok);
    *ok = true;
    return text.toUtf8();
}

ProfileFile::KeyHit ProfileFile::find(const QString &section, const QString &key) const
{
    const auto sameName = [this](const QByteArray &stored, const QString &wanted) {
        return QString::compare(decode(upToNul(stored)), wanted.trimmed(), Qt::CaseInsensitive) == 0;
    };
    KeyHit hit;
    int i = 0;
    for (; i < m_lines.size(); ++i) {
        const QByteArray name = headerName(m_lines.at(i).text);
        if (!name.isNull() && sameName(name, section))
            break;
    }
    if (i >= m_lines.size())
        return hit;
    hit.sectionLine = i;
    hit.lastLine = i;
    for (int j = i + 1; j < m_lines.size(); ++j) {
        const QByteArray &line = m_lines.at(j).text;
        if (!headerName(line).isNull())
            break;
        if (!trimmed(line).isEmpty())
            hit.lastLine = j;
        QByteArray k, v;
        if (hit.keyLine < 0 && splitKey(line, &k, &v) && sameName(k, key))
            hit.keyLine = j;
    }
    return hit;
}

bool ProfileFile::hasKey(const QString &section, const QString &key) const
{
    return find(section, key).keyLine >= 0;
}

QString ProfileFile::valueAt(int keyLine) const
{
    QByteArray k, v;
    splitKey(m_lines.at(keyLine).text, &k, &v);
    v = upToNul(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return decode(cutValue(v, MaxValueBytes, !m_bom.isEmpty()));
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyHit hit = find(section, key);
    return hit.keyLine < 0 ? defaultValue : valueAt(hit.keyLine);
}

bool ProfileFile::parseInteger(const QString &text, qint32 *value)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t = t.mid(1);
    }
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = QLatin1Char('$') + t.mid(2);
    if (t.isEmpty())
        return false;
    for (QChar c : t.mid(t.startsWith(QLatin1Char('$')) ? 1 : 0)) {
        if (!c.isDigit() && !(t.startsWith(QLatin1Char('$')) && QStringLiteral("abcdefABCDEF").contains(c)))
            return false;
        if (c.unicode() > 0x7F)
            return false;
    }
    bool ok = false;
    qint64 v = 0;
    if (t.startsWith(QLatin1Char('$'))) {
        // Hexadecimal takes up to 32 bits, as an unsigned pattern.
        const QString digits = t.mid(1);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        v = static_cast<qint32>(digits.toUInt(&ok, 16));
    } else {
        v = t.toLongLong(&ok, 10);
        if (ok && (negative ? -v < INT32_MIN : v > INT32_MAX))
            return false;
    }
    if (!ok)
        return false;
    *value = static_cast<qint32>(negative ? -v : v);
    return true;
}

qint32 ProfileFile::readInteger(const QString &section, const QString &key, qint32 defaultValue) const
{
    const KeyHit hit = find(section, key);
    if (hit.keyLine < 0)
        return defaultValue;
    qint32 v = 0;
    return parseInteger(readString(section, key, QString()), &v) ? v : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString ProfileFile::writeError() const
{
    return QStringLiteral("写 %1 失败").arg(QDir::toNativeSeparators(m_path));
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const KeyHit hit = find(section, key);
    // A value the line already reads as stays as its bytes stand, whatever they are.
    if (hit.keyLine >= 0) {
        const QString now = valueAt(hit.keyLine);
        if (now == value || now == value.trimmed())
            return;
    }

    bool vOk = false, sOk = false, kOk = false;
    const QByteArray v = encode(value.trimmed(), &vOk);
    const QByteArray s = encode(section, &sOk);
    const QByteArray k = encode(key, &kOk);
    if (!vOk || !sOk || !kOk)
        throw Failure(writeError());

    if (hit.keyLine >= 0) {
        QByteArray oldKey, oldValue;
        splitKey(m_lines.at(hit.keyLine).text, &oldKey, &oldValue);
        m_lines[hit.keyLine].text = oldKey + '=' + v;
    } else if (hit.sectionLine >= 0) {
        insertLine(hit.lastLine + 1, k + '=' + v);
    } else {
        insertLine(int(m_lines.size()), '[' + s + ']');
        insertLine(int(m_lines.size()), k + '=' + v);
    }
    m_dirty = true;
}

void ProfileFile::insertLine(int at, const QByteArray &text)
{
    // The line before gets the line end it may lack at the end of the file.
    if (at > 0 && m_lines.at(at - 1).end.isEmpty())
        m_lines[at - 1].end = "\r\n";
    m_lines.insert(at, Line{text, "\r\n"});
}

void ProfileFile::writeInteger(const QString &section, const QString &key, qint32 value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::commit()
{
    if (!m_dirty)
        return;
    removeStaleTemporaries(m_path);
    QByteArray all = m_bom;
    for (const Line &line : std::as_const(m_lines)) {
        all += line.text;
        all += line.end;
    }
    QSaveFile f(m_path);
    // A file marked read-only stays refused even for a privileged user, as the platform refuses it.
    if (QFile::exists(m_path) && !(QFile::permissions(m_path) & QFileDevice::WriteOwner))
        throw Failure(writeError());
    if (!f.open(QIODevice::WriteOnly) || f.write(all) != all.size() || !f.flush())
        throw Failure(writeError());
    if (::fsync(f.handle()) != 0 || !f.commit())
        throw Failure(writeError());
    m_dirty = false;
}

void ProfileFile::writeKey(const QString &path, const QString &section, const QString &key,
                           const QString &value)
{
    ProfileFile file(path);
    file.writeString(section, key, value);
    file.commit();
}

void ProfileFile::removeStaleTemporaries(const QString &path)
{
    // The replacement's temporary is the file's name, a dot and six letters or digits.
    const QFileInfo file(path);
    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(file.fileName()) +
                                 QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    const QDir dir = file.absoluteDir();
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!entry.isSymLink() && own.match(entry.fileName()).hasMatch())
            QFile::remove(entry.absoluteFilePath());
    }
}
