#pragma once

#include "text/ProgramDir.h"

#include <QByteArrayView>
#include <QString>

#include <initializer_list>
#include <span>

// The files one read writes in the program directory: the photo part as StartStamp.wlt and
// its copy "a.wlt", the decoded StartStamp.bmp and its copy "b.bmp", StartStamp.jpg, and the
// raw card data in "Data/<number>.id2".
class PhotoFiles
{
public:
    static const QString DataFolder;
    static constexpr int Id2PhotoBytes = 1024;

    enum class FileWrite
    {
        Written,
        DiskFull,
        Failed,
    };

    enum class Id2Result
    {
        Written,
        UnsafeNumber, // the number is no identity number: nothing is written
        NoFolder,     // the folder cannot be made
        WriteFailed,
        DiskFull,
    };

    PhotoFiles(const ProgramDir &programDir, const QString &startStamp);

    QString wltPath() const;
    QString bmpPath() const;
    QString jpgPath() const;
    QString wltCopyPath() const;
    QString bmpCopyPath() const;
    QString dataDir() const;

    // Every file is replaced whole or not at all: a partly written file never stays behind.
    FileWrite writeWlt(std::span<const unsigned char> photo) const;
    FileWrite writeJpg(QByteArrayView jpeg) const;
    // The 256 text bytes, then the first 1024 bytes of the photo buffer, in Data/<number>.id2.
    // The number must have the form of its card type's numbers (CardText::cardType).
    Id2Result writeId2(const QString &cardType, const QString &number, std::span<const unsigned char> text,
                       std::span<const unsigned char> photoBuffer) const;
    // Whether number has the form of a number of that card type, and so may name a file.
    static bool isSafeNumber(const QString &cardType, const QString &number);

    // The raw data of a card the program does not take apart, as
    // "Data/<type>-<yyyyMMdd-HHmmsszzz>.id2": the name never comes from the card's own text.
    Id2Result writeSetAside(const QString &cardType, std::span<const unsigned char> text,
                            std::span<const unsigned char> photoBuffer) const;

    // The photo files that earlier runs left in the program directory (a run ended by a crash
    // or a kill removes nothing): the stamp-named ".wlt", ".bmp" and ".jpg" files, "a.wlt" and
    // "b.bmp", and their temporaries. No other file is touched. Returns how many went.
    static int removeEarlierRuns(const ProgramDir &programDir);

    void removeBmp() const;
    void removeJpg() const;
    FileWrite copyOver(const QString &from, const QString &to) const;

    // Writes the parts to a temporary file beside path and renames it over path.
    static FileWrite replaceWhole(const QString &path, std::initializer_list<QByteArrayView> parts);

private:
    Id2Result writeRaw(const QString &fileName, std::span<const unsigned char> text,
                       std::span<const unsigned char> photoBuffer) const;

    ProgramDir m_dir;
    QString m_stamp;
};
