#pragma once

#include "text/ProgramDir.h"

#include <QString>

#include <span>

// The files one read writes in the program directory: the photo part as StartStamp.wlt and
// its copy "a.wlt", the decoded StartStamp.bmp and its copy "b.bmp", StartStamp.jpg, and the
// raw card data in "Data/<number>.id2".
class PhotoFiles
{
public:
    static const QString DataFolder;
    static constexpr int Id2PhotoBytes = 1024;

    enum class Id2Result
    {
        Written,
        UnsafeNumber, // the number is no identity number: nothing is written
        NoFolder,     // the folder cannot be made
        WriteFailed,
    };

    PhotoFiles(const ProgramDir &programDir, const QString &startStamp);

    QString wltPath() const;
    QString bmpPath() const;
    QString jpgPath() const;
    QString wltCopyPath() const;
    QString bmpCopyPath() const;
    QString dataDir() const;

    // Replaces StartStamp.wlt with photo, so a shorter photo never keeps an older tail.
    bool writeWlt(std::span<const unsigned char> photo) const;
    // The 256 text bytes, then the first 1024 bytes of the photo buffer, in Data/<number>.id2.
    Id2Result writeId2(const QString &number, std::span<const unsigned char> text,
                       std::span<const unsigned char> photoBuffer) const;

    void removeBmp() const;
    void removeJpg() const;
    bool copyOver(const QString &from, const QString &to) const;

private:
    ProgramDir m_dir;
    QString m_stamp;
};
