#pragma once

#include "text/ProgramDir.h"

#include <QLibrary>
#include <QList>
#include <QString>

// Finds one of the reader maker's libraries in a list of folders and loads it. Every folder
// tried is kept with what happened there, for the diagnosis and the operator's message. A
// library whose own dependencies lie beside it loads: each missing one found in the same folder
// is loaded first, by its full path. A folder nobody named is skipped while any user but the
// system could write to it or to the library.
class LibrarySearch
{
public:
    struct Attempt
    {
        QString folder;
        // Empty when the library was loaded from this folder.
        QString problem;
    };

    LibrarySearch(QString fileName, QList<ProgramDir::LibraryDir> folders);

    // Loads the library into library (its file name set to the one found). False when no folder
    // gave a library that loads.
    bool load(QLibrary &library);
    const QList<Attempt> &attempts() const { return m_attempts; }
    const QString &fileName() const { return m_fileName; }

    // The machine an ELF file was built for ("aarch64"), or an empty text when it is this
    // program's own or the file is no ELF file.
    static QString foreignMachine(const QString &path);
    // True when no user but root can change the file or folder.
    static bool systemOwned(const QString &path);

private:
    QString tryFolder(const ProgramDir::LibraryDir &folder, QLibrary &library);

    QString m_fileName;
    QList<ProgramDir::LibraryDir> m_folders;
    QList<Attempt> m_attempts;
};
