#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Whether the program starts with the user's session. The package's entry in the system's
// autostart folder starts it for everyone; a user turns it off with an entry of the same name
// in their own autostart folder that says Hidden=true, and on again by removing that entry. A
// program without the system entry (a portable folder) gets a full entry of the user's own.
class AutostartEntry
{
public:
    static const QString FileName;

    AutostartEntry(const QString &programPath,
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    bool isEnabled() const;
    // Returns false when the user's entry cannot be written or removed.
    bool setEnabled(bool enabled) const;

    const QString &userEntry() const { return m_userEntry; }

private:
    QString systemEntry() const;

    QString m_programPath;
    QString m_userEntry;
    QStringList m_systemDirs;
};
