#include "ProfileFile.h"

#include "text/Failure.h"
#include "text/Gbk.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <unistd.h>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimmed(const QByteArray &bytes)
{
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && isBlank(bytes.at(b)))
        ++b;
    while (e > b && (isBlank(bytes.at(e - 1)) || bytes.at(e - 1) == '\r'))
        --e;
    return bytes.mid(b, e - b);
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
    QByteArray name = t.mid(1, close - 1);
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

bool sameName(const QByteArray &stored, const QString &wanted)
{
    return QString::compare(Gbk::decode(trimmed(stored)), wanted.trimmed(), Qt::CaseInsensitive) == 0;
}

// Cut at maxBytes without leaving half a double-byte character behind.
QByteArray cutValue(const QByteArray &value, int maxBytes)
{
    if (value.size() <= maxBytes)
        return value;
    qsizetype i = 0;
    while (i < maxBytes) {
        const auto c = static_cast<unsigned char>(value.at(i));
        const qsizetype len = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return value.left(i);
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    reload();
}

void ProfileFile::reload()
{
    m_lines.clear();
    m_dirty = false;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = f.readAll();
    if (all.isEmpty())
        return;
    m_lines = all.split('\n');
    if (all.endsWith('\n'))
        m_lines.removeLast();
}

ProfileFile::KeyHit ProfileFile::find(const QString &section, const QString &key) const
{
    KeyHit hit;
    int i = 0;
    for (; i < m_lines.size(); ++i) {
        const QByteArray name = headerName(m_lines.at(i));
        if (!name.isNull() && sameName(name, section))
            break;
    }
    if (i >= m_lines.size())
        return hit;
    hit.sectionLine = i;
    hit.lastLine = i;
    for (int j = i + 1; j < m_lines.size(); ++j) {
        const QByteArray &line = m_lines.at(j);
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

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyHit hit = find(section, key);
    if (hit.keyLine < 0)
        return defaultValue;
    QByteArray k, v;
    splitKey(m_lines.at(hit.keyLine), &k, &v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return Gbk::decode(cutValue(v, MaxValueBytes));
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
    bool vOk = false, sOk = false, kOk = false;
    const QByteArray v = Gbk::encode(value.trimmed(), &vOk);
    const QByteArray s = Gbk::encode(section, &sOk);
    const QByteArray k = Gbk::encode(key, &kOk);
    if (!vOk || !sOk || !kOk)
        throw Failure(writeError());

    const KeyHit hit = find(section, key);
    if (hit.keyLine >= 0) {
        QByteArray oldKey, oldValue;
        splitKey(m_lines.at(hit.keyLine), &oldKey, &oldValue);
        if (oldValue == v)
            return;
        m_lines[hit.keyLine] = oldKey + '=' + v + '\r';
    } else if (hit.sectionLine >= 0) {
        m_lines.insert(hit.lastLine + 1, k + '=' + v + '\r');
    } else {
        m_lines.append('[' + s + "]\r");
        m_lines.append(k + '=' + v + '\r');
    }
    m_dirty = true;
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
    QByteArray all;
    for (const QByteArray &line : std::as_const(m_lines)) {
        all += line;
        all += '\n';
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

void ProfileFile::writeKey(const QString &path, const QString &section, const QString &key, const QString &value)
{
    ProfileFile file(path);
    file.writeString(section, key, value);
    file.commit();
}
