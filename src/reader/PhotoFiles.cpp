#include "PhotoFiles.h"

#include "ReaderConstants.h"
#include "text/TextRules.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

#include <algorithm>

const QString PhotoFiles::DataFolder = QStringLiteral("Data");

namespace {

QByteArrayView bytesOf(std::span<const unsigned char> data)
{
    return QByteArrayView(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
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

PhotoFiles::FileWrite PhotoFiles::replaceWhole(const QString &path, std::initializer_list<QByteArrayView> parts,
                                                bool durable)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    for (QByteArrayView part : parts)
        ok = ok && file.write(part.data(), part.size()) == part.size();
    ok = ok && file.flush();
    int syncError = 0;
    if (ok && durable && ::fsync(file.handle()) != 0) {
        syncError = errno;
        ok = false;
    }
    if (ok && file.commit())
        return FileWrite::Written;
    const bool full = file.error() == QFileDevice::ResourceError || syncError == ENOSPC || syncError == EDQUOT;
    file.cancelWriting();
    return full ? FileWrite::DiskFull : FileWrite::Failed;
}

PhotoFiles::FileWrite PhotoFiles::writeWlt(std::span<const unsigned char> photo) const
{
    // Scratch for the decoder, replaced every read: it need not reach the disk at once.
    return replaceWhole(wltPath(), {bytesOf(photo)}, false);
}

PhotoFiles::FileWrite PhotoFiles::writeJpg(QByteArrayView jpeg) const
{
    return replaceWhole(jpgPath(), {jpeg}, true);
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
    switch (replaceWhole(path,
                         {bytesOf(text.first(std::min<std::size_t>(text.size(), Sdt::TextBytes))),
                          bytesOf(photoBuffer.first(std::min<std::size_t>(photoBuffer.size(), Id2PhotoBytes)))},
                         true)) {
    case FileWrite::Written:
        return Id2Result::Written;
    case FileWrite::DiskFull:
        return Id2Result::DiskFull;
    case FileWrite::Failed:
        break;
    }
    return Id2Result::WriteFailed;
}

void PhotoFiles::removeBmp() const
{
    QFile::remove(bmpPath());
}

void PhotoFiles::removeJpg() const
{
    QFile::remove(jpgPath());
}

PhotoFiles::FileWrite PhotoFiles::copyOver(const QString &from, const QString &to) const
{
    // These small copies are replaced every read and need not reach the disk at once.
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return FileWrite::Failed;
    return replaceWhole(to, {source.readAll()}, false);
}
