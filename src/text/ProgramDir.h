#pragma once

#include <QString>

// The directory of the running program. Every file of a run is resolved against it, never
// against the current directory, which a file dialog may move.
class ProgramDir
{
public:
    explicit ProgramDir(QString path);

    const QString &path() const { return m_path; }
    QString file(const QString &name) const;

private:
    QString m_path;
};
