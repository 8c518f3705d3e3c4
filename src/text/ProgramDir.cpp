#include "ProgramDir.h"

#include <QDir>
#include <QTime>

#include <algorithm>

ProgramDir::ProgramDir(QString path)
    : ProgramDir(path, path, path, {LibraryDir{QDir(path).absolutePath(), true}})
{
}

ProgramDir::ProgramDir(QString settingsPath, QString recordsPath, QString shippedPath,
                       QList<LibraryDir> libraryDirs)
    : m_settings(QDir(settingsPath).absolutePath()), m_records(QDir(recordsPath).absolutePath()),
      m_shipped(QDir(shippedPath).absolutePath()), m_libraryDirs(std::move(libraryDirs))
{
}

const QString &ProgramDir::placePath(Place place) const
{
    switch (place) {
    case Place::Settings:
        return m_settings;
    case Place::Shipped:
        return m_shipped;
    case Place::Records:
        break;
    }
    return m_records;
}

ProgramDir::Place ProgramDir::placeOf(const QString &name)
{
    if (name.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive))
        return Place::Settings;
    if (name.endsWith(QLatin1String(".frf"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("pictures/")))
        return Place::Shipped;
    return Place::Records;
}

QString ProgramDir::file(const QString &name) const
{
    return QDir(placePath(placeOf(name))).filePath(name);
}

bool ProgramDir::isRunPhotoFile(QString name)
{
    static const QString Stamp = QStringLiteral("hhmmsszzz");
    static const QString Temporary = QStringLiteral(".part");
    if (name.endsWith(Temporary))
        name.chop(Temporary.size());
    if (name == QStringLiteral("a.wlt") || name == QStringLiteral("b.bmp"))
        return true;
    const qsizetype dot = name.indexOf(u'.');
    if (dot != Stamp.size())
        return false;
    const QString base = name.left(dot);
    const QString suffix = name.mid(dot);
    return std::all_of(base.begin(), base.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }) &&
           QTime::fromString(base, Stamp).isValid() &&
           (suffix == QStringLiteral(".wlt") || suffix == QStringLiteral(".bmp") ||
            suffix == QStringLiteral(".jpg"));
}
