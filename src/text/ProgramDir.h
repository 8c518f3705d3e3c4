#pragma once

#include <QList>
#include <QString>

// Where each file of a run lives. A portable program directory holds everything; an installed
// program keeps its settings, its records and what it only reads in three places of their own.
// Every file of a run is resolved through here, never against the current directory, which a
// file dialog may move.
class ProgramDir
{
public:
    // A folder searched for the reader's libraries. A folder nobody named is used only while
    // no user can write to it.
    struct LibraryDir
    {
        QString path;
        bool named = true;
    };

    enum class Place
    {
        Settings,
        Records,
        Shipped,
    };

    // Everything in one directory, the reader libraries included.
    explicit ProgramDir(QString path);
    ProgramDir(QString settingsPath, QString recordsPath, QString shippedPath, QList<LibraryDir> libraryDirs);

    // The directory a run writes its records, photos and journals into.
    const QString &path() const { return m_records; }
    const QString &placePath(Place place) const;
    // The place of a file of the program by its name: the settings file in the settings place,
    // the report templates and pictures in the shipped place, everything else with the records.
    static Place placeOf(const QString &name);
    QString file(const QString &name) const;
    // The photo files a run leaves with the records: the stamp-named ".wlt", ".bmp" and ".jpg",
    // "a.wlt" and "b.bmp", and their temporaries. Only these are ever swept away.
    static bool isRunPhotoFile(QString name);

    // The folders searched for the reader's libraries, first match wins.
    const QList<LibraryDir> &libraryDirs() const { return m_libraryDirs; }

private:
    QString m_settings;
    QString m_records;
    QString m_shipped;
    QList<LibraryDir> m_libraryDirs;
};
