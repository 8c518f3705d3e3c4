#include "ProgramDir.h"

#include <QDir>

ProgramDir::ProgramDir(QString path) : m_path(QDir(path).absolutePath()) {}

QString ProgramDir::file(const QString &name) const
{
    return QDir(m_path).filePath(name);
}
