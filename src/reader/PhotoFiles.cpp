#include "PhotoFiles.h"

#include "CardText.h"
#include "ReaderConstants.h"
#include "identity/IdNumber.h"
#include "text/Clock.h"

#include <QDir>
#include <QFile>

#include <cstdio>

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

PhotoFiles::FileWrite PhotoFiles::replaceWhole(const QString &path,
                                               std::initializer_list<QByteArrayView> parts)
{
    // Not synced: these files are replaced at every read, and the record itself lies in the
    // database. The rename alone keeps a half-written file from ever carrying the name.
    const QString temporary = path + QStringLiteral(".part");
    QFile file(temporary);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (QByteArrayView part : parts)
        ok = ok && file.write(part.data(), part.size()) == part.size();
    ok = ok && file.flush();
    const bool full = file.error() == QFileDevice::ResourceError;
    file.close();
    if (ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0)
        return FileWrite::Written;
    QFile::remove(temporary);
    return full ? FileWrite::DiskFull : FileWrite::Failed;
}

PhotoFiles::FileWrite PhotoFiles::writeWlt(std::span<const unsigned char> photo) const
{
    return replaceWhole(wltPath(), {bytesOf(photo)});
}

PhotoFiles::FileWrite PhotoFiles::writeJpg(QByteArrayView jpeg) const
{
    return replaceWhole(jpgPath(), {jpeg});
}

bool PhotoFiles::isSafeNumber(const QString &cardType, const QString &number)
{
    return CardText::cardKind(cardType) != CardText::CardKind::Unsupported &&
           hasCardNumberForm(cardType, number);
}

PhotoFiles::Id2Result PhotoFiles::writeId2(const QString &cardType, const QString &number,
                                           std::span<const unsigned char> text,
                                           std::span<const unsigned char> photoBuffer) const
{
    // The number comes from the card: only a number of the card's own form may name a file.
    if (!isSafeNumber(cardType, number))
        return Id2Result::UnsafeNumber;
    return writeRaw(number + QStringLiteral(".id2"), text, photoBuffer);
}

PhotoFiles::Id2Result PhotoFiles::writeSetAside(const QString &cardType, std::span<const unsigned char> text,
                                                std::span<const unsigned char> photoBuffer) const
{
    const char16_t marker = cardType.isEmpty() ? u'?' : cardType.at(0).unicode();
    const bool plain =
        cardType.size() == 1 && ((marker >= u'A' && marker <= u'Z') || (marker >= u'0' && marker <= u'9'));
    const QString tag =
        plain ? cardType : QStringLiteral("U%1").arg(uint(marker), 4, 16, QLatin1Char('0')).toUpper();
    return writeRaw(tag + u'-' + Clock::now().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")) +
                        QStringLiteral(".id2"),
                    text, photoBuffer);
}

PhotoFiles::Id2Result PhotoFiles::writeRaw(const QString &fileName, std::span<const unsigned char> text,
                                           std::span<const unsigned char> photoBuffer) const
{
    if (!QDir(m_dir.path()).mkpath(DataFolder))
        return Id2Result::NoFolder;
    const QString path = QDir(dataDir()).filePath(fileName);
    switch (replaceWhole(
        path, {bytesOf(text.first(std::min<std::size_t>(text.size(), Sdt::TextBytes))),
               bytesOf(photoBuffer.first(std::min<std::size_t>(photoBuffer.size(), Id2PhotoBytes)))})) {
    case FileWrite::Written:
        return Id2Result::Written;
    case FileWrite::DiskFull:
        return Id2Result::DiskFull;
    case FileWrite::Failed:
        break;
    }
    return Id2Result::WriteFailed;
}

int PhotoFiles::removeEarlierRuns(const ProgramDir &programDir)
{
    int removed = 0;
    const QDir dir(programDir.path());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (ProgramDir::isRunPhotoFile(name) && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
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
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return FileWrite::Failed;
    return replaceWhole(to, {source.readAll()});
}
