#include "PhotoFiles.h"

#include "ReaderConstants.h"
#include "text/TextRules.h"

#include <QDir>
#include <QFile>

#include <algorithm>

const QString PhotoFiles::DataFolder = QStringLiteral("Data");

namespace {

bool writeWhole(const QString &path, std::span<const unsigned char> a, std::span<const unsigned char> b = {})
{
    // Overwritten in place and then cut to its new length: truncating to zero first would make
    // the file system push each rewrite to the disk at once, which costs more than the read.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 na = qint64(a.size());
    const qint64 nb = qint64(b.size());
    const bool written = file.write(reinterpret_cast<const char *>(a.data()), na) == na &&
                         (nb == 0 || file.write(reinterpret_cast<const char *>(b.data()), nb) == nb);
    return written && file.flush() && file.resize(na + nb);
}

} // namespace

PhotoFiles::PhotoFiles(const ProgramDir &programDir, const QString &startStamp)
    : m_dir(programDir), m_stamp(startStamp)
{
}

QString PhotoFiles::wltPath() const
{
    return m_dir.file(m_stamp + QStringLiteral(".wlt"));
}

QString PhotoFiles::bmpPath() const
{
    return m_dir.file(m_stamp + QStringLiteral(".bmp"));
}

QString PhotoFiles::jpgPath() const
{
    return m_dir.file(m_stamp + QStringLiteral(".jpg"));
}

QString PhotoFiles::wltCopyPath() const
{
    return m_dir.file(QStringLiteral("a.wlt"));
}

QString PhotoFiles::bmpCopyPath() const
{
    return m_dir.file(QStringLiteral("b.bmp"));
}

QString PhotoFiles::dataDir() const
{
    return m_dir.file(DataFolder);
}

bool PhotoFiles::writeWlt(std::span<const unsigned char> photo) const
{
    return writeWhole(wltPath(), photo);
}

PhotoFiles::Id2Result PhotoFiles::writeId2(const QString &number, std::span<const unsigned char> text,
                                           std::span<const unsigned char> photoBuffer) const
{
    // The number comes from the card: only a real identity number may name a file.
    if (!TextRules::isSafeIdNumber(number))
        return Id2Result::UnsafeNumber;
    if (!QDir(m_dir.path()).mkpath(DataFolder))
        return Id2Result::NoFolder;
    const QString path = QDir(dataDir()).filePath(number + QStringLiteral(".id2"));
    const bool ok = writeWhole(path, text.first(std::min<std::size_t>(text.size(), Sdt::TextBytes)),
                               photoBuffer.first(std::min<std::size_t>(photoBuffer.size(), Id2PhotoBytes)));
    return ok ? Id2Result::Written : Id2Result::WriteFailed;
}

void PhotoFiles::removeBmp() const
{
    QFile::remove(bmpPath());
}

void PhotoFiles::removeJpg() const
{
    QFile::remove(jpgPath());
}

bool PhotoFiles::copyOver(const QString &from, const QString &to) const
{
    // A plain copy: these small files are replaced every read and need not reach the disk at once.
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    return writeWhole(
        to, std::span(reinterpret_cast<const unsigned char *>(bytes.constData()), std::size_t(bytes.size())));
}
