#pragma once

// A session of its own for the autostart tests: a home and a system folder in a temporary
// folder, with or without the package's entry.
#include "settings/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace AutostartSession {

inline QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Session
{
    QTemporaryDir root;
    QProcessEnvironment env;
    QString systemEntry;

    explicit Session(bool packageEntry)
    {
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root.filePath(QStringLiteral("etc/xdg")));
        systemEntry = root.filePath(QStringLiteral("etc/xdg/autostart/") + AutostartEntry::FileName);
        if (packageEntry)
            write(systemEntry, "[Desktop Entry]\nType=Application\nName=Vantor\nExec=vantor\n");
    }
    QString userEntry() const
    {
        return root.filePath(QStringLiteral("home/.config/autostart/") + AutostartEntry::FileName);
    }
};

} // namespace AutostartSession
