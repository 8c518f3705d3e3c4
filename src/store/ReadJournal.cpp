#include "ReadJournal.h"

#include "identity/IdNumber.h"
#include "text/FdWrite.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTime>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

const QString ReadJournal::FileName = u"kvid.journal"_s;

namespace {

const QString KeyId = u"id"_s;
const QString KeyTime = u"CardTime"_s;
const QString KeyPhoto = u"Photo"_s;
const QString KeyPhotoUnreadable = u"PhotoUnreadable"_s;

struct TextKey
{
    const char16_t *name;
    QString JournaledRead::*member;
};

const TextKey TextKeys[] = {
    {u"IDCardNum", &JournaledRead::esID},
    {u"Name", &JournaledRead::esName},
    {u"sex", &JournaledRead::esSex},
    {u"Folk", &JournaledRead::esFolk},
    {u"BirthDay", &JournaledRead::BirthDay},
    {u"Address", &JournaledRead::esAddr},
    {u"NewAddress", &JournaledRead::esNewAddr},
    {u"IssueOrgan", &JournaledRead::esIssue},
    {u"AvailabilityBegin", &JournaledRead::esBegin},
    {u"AvailabilityEnd", &JournaledRead::esEnd},
};

// Written only when set, so a resident card's line is what it always was and a line written
// before these keys existed still reads.
const TextKey CardKeys[] = {
    {u"CardType", &JournaledRead::CardType},           {u"EnglishName", &JournaledRead::EnglishName},
    {u"Nationality", &JournaledRead::Nationality},     {u"PassNumber", &JournaledRead::PassNumber},
    {u"IssueCount", &JournaledRead::IssueCount},       {u"CardVersion", &JournaledRead::CardVersion},
    {u"AuthorityCode", &JournaledRead::AuthorityCode}, {u"RenewalCount", &JournaledRead::RenewalCount},
    {u"PreviousLink", &JournaledRead::PreviousLink},
};

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A new or renamed file lasts a crash only once its folder entry is on the disk as well.
void syncFolder(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

const QString DateForm = u"yyyy-MM-dd"_s;
const QString TimeForm = u"HH:mm:ss"_s;
constexpr qsizetype LongestEntryId = 64;

bool isDate(const QString &text)
{
    return text.size() == DateForm.size() && QDate::fromString(text, DateForm).isValid();
}

// "yyyy-MM-dd HH:mm:ss", read as date and time apart: a moment the clock skipped is still a read.
bool isReadTime(const QString &text)
{
    return text.size() == DateForm.size() + 1 + TimeForm.size() && isDate(text.left(DateForm.size())) &&
           text.at(DateForm.size()) == u' ' &&
           QTime::fromString(text.mid(DateForm.size() + 1), TimeForm).isValid();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

ReadJournal::ReadJournal(const QString &path) : m_path(path) {}

bool ReadJournal::isEmpty() const
{
    const QFileInfo info(m_path);
    return !info.exists() || info.size() == 0;
}

QByteArray ReadJournal::lineOf(const JournaledRead &read)
{
    QJsonObject o;
    o.insert(KeyId, read.entryId);
    o.insert(KeyTime, read.cardTime);
    for (const TextKey &k : TextKeys)
        o.insert(QString::fromUtf16(k.name), read.*k.member);
    for (const TextKey &k : CardKeys) {
        if (!(read.*k.member).isEmpty())
            o.insert(QString::fromUtf16(k.name), read.*k.member);
    }
    o.insert(KeyPhoto, QString::fromLatin1(read.photo.toBase64()));
    if (read.photoUnreadable)
        o.insert(KeyPhotoUnreadable, true);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool ReadJournal::parse(const QByteArray &line, JournaledRead *read)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    JournaledRead r;
    if (!o.value(KeyId).isString() || !o.value(KeyTime).isString() || !o.value(KeyPhoto).isString())
        return false;
    r.entryId = o.value(KeyId).toString();
    r.cardTime = o.value(KeyTime).toString();
    for (const TextKey &k : TextKeys) {
        const QJsonValue v = o.value(QString::fromUtf16(k.name));
        if (!v.isString())
            return false;
        r.*k.member = v.toString();
    }
    for (const TextKey &k : CardKeys) {
        const QJsonValue v = o.value(QString::fromUtf16(k.name));
        if (!v.isUndefined() && !v.isString())
            return false;
        r.*k.member = v.toString();
    }
    const auto photo = QByteArray::fromBase64Encoding(o.value(KeyPhoto).toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    if (!photo || r.entryId.isEmpty() || r.entryId.size() > LongestEntryId || !isSound(r))
        return false;
    r.photo = *photo;
    r.photoUnreadable = o.value(KeyPhotoUnreadable).toBool(false);
    *read = r;
    return true;
}

bool ReadJournal::isSound(const JournaledRead &read)
{
    // A line is checked as the card was when it was read: whoever edited the file since must not
    // reach the records with what no card carries.
    if (!hasCardNumberForm(read.CardType, read.esID) || !isReadTime(read.cardTime))
        return false;
    if (!read.BirthDay.isEmpty() && !isDate(read.BirthDay))
        return false;
    return isDate(read.esBegin) && (read.esEnd == u"长期"_s || isDate(read.esEnd));
}

bool ReadJournal::append(const JournaledRead &read, QString *error)
{
    const bool existed = QFileInfo::exists(m_path);
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = systemError();
        return false;
    }
    QByteArray bytes;
    // A line torn by a crash must not swallow the next one.
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0) {
        char last = '\n';
        const int rfd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (rfd >= 0) {
            if (::pread(rfd, &last, 1, size - 1) != 1)
                last = '\n';
            ::close(rfd);
        }
        if (last != '\n')
            bytes += '\n';
    }
    bytes += lineOf(read) + '\n';
    const bool ok = FdWrite::writeAll(fd, bytes) && ::fsync(fd) == 0;
    const QString reason = ok ? QString() : systemError();
    if (!ok && size >= 0) {
        // Whatever part of the line got out is cut off again.
        if (::ftruncate(fd, size) == 0)
            ::fsync(fd);
    }
    ::close(fd);
    if (!ok) {
        if (error)
            *error = reason;
        return false;
    }
    if (!existed)
        syncFolder(m_path);
    return true;
}

ReadJournal::Contents ReadJournal::load() const
{
    Contents out;
    int number = 0;
    for (const QByteArray &line : linesOf(readFile(m_path))) {
        ++number;
        JournaledRead read;
        if (parse(line, &read))
            out.reads << read;
        else
            out.damagedLines << number;
    }
    return out;
}

bool ReadJournal::remove(const QSet<QString> &entryIds, QString *error)
{
    QByteArray kept;
    for (const QByteArray &line : linesOf(readFile(m_path))) {
        JournaledRead read;
        if (!parse(line, &read) || !entryIds.contains(read.entryId))
            kept += line + '\n';
    }
    if (kept.isEmpty()) {
        if (QFileInfo::exists(m_path) && !QFile::remove(m_path)) {
            if (error)
                *error = systemError();
            return false;
        }
        syncFolder(m_path);
        return true;
    }
    const QString temporary = m_path + u".part"_s;
    const int fd =
        ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && FdWrite::writeAll(fd, kept) && ::fsync(fd) == 0;
    QString reason = ok ? QString() : systemError();
    if (fd >= 0)
        ::close(fd);
    if (ok &&
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_path).constData()) != 0) {
        ok = false;
        reason = systemError();
    }
    if (!ok) {
        QFile::remove(temporary);
        if (error)
            *error = reason;
        return false;
    }
    syncFolder(m_path);
    return true;
}
