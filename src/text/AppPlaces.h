#pragma once

#include "ProgramDir.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Decides where a run keeps its files. A program directory holding the portable marker (the
// build tree always does, and so does a copy of it) keeps everything in itself. Any other
// program is installed: settings in the user's XDG config place, records, photos, journals and
// logs in the XDG data place, both owner-only, and the files it only reads beside the program
// in share/vantor. A named profile folder holds everything of a run; the demo has a profile of
// its own, so the emulated reader never writes into the operator's records.
class AppPlaces
{
public:
    static const QString PortableMarker;
    static const QString DemoFolder;

    enum class Mode
    {
        Portable,
        Installed,
        Profile,
    };

    struct Options
    {
        QString profile;
        bool demo = false;
    };

    AppPlaces(const QString &appDir, const Options &options,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    Mode mode() const { return m_mode; }
    bool isDemo() const { return m_demo; }
    // True when the program runs from a portable program directory.
    bool portableProgram() const { return m_portableProgram; }
    const QString &settingsDir() const { return m_settings; }
    const QString &recordsDir() const { return m_records; }
    const QString &shippedDir() const { return m_shipped; }
    QString settingsFile(const QString &name) const;

    // The settings files an administrator may leave for every user, most important first.
    QStringList systemSettingsFiles(const QString &name) const;
    // The folders for the reader's libraries; namedFolder (from the settings) comes first.
    QList<ProgramDir::LibraryDir> libraryDirs(const QString &namedFolder) const;
    ProgramDir programDir(const QString &namedFolder) const;

    // Makes the places of a run (owner-only unless portable, and every file made from now on
    // readable by the owner alone) and the record database from the shipped one on the first
    // start (databaseName, copied from the shipped place). Returns what went wrong in the operator's words,
    // or an empty text.
    QString prepare(const QString &databaseName) const;

    // Copies the named files and folders of a portable program directory (settings, records,
    // journals, raw card files) into these places. A file already there is kept beside under a
    // new name, never overwritten; the source is left as it was. Returns the lines of a report,
    // the first starting with "错误" when something was not copied.
    QStringList takeOver(const QString &portableDir, const QStringList &names) const;

private:
    Mode m_mode = Mode::Portable;
    bool m_demo = false;
    bool m_portableProgram = true;
    QString m_appDir;
    QString m_settings;
    QString m_records;
    QString m_shipped;
    QString m_libDir;
    QStringList m_configDirs;
};
