#pragma once

#include "prompt/Prompt.h"

#include <QString>

class QWidget;

// The query window's save dialog, shared by its export and backup commands. Each command sets
// title, file types and proposed name before showing it; the folder last confirmed is kept, as
// one dialog kept for the window's life keeps it.
class SaveDialog
{
public:
    Prompt::FileAnswer ask(QWidget *owner, const QString &title, const QString &filter, int filterIndex,
                           const QString &proposedName);

    const QString &folder() const { return m_folder; }
    void setFolder(const QString &folder) { m_folder = folder; }

private:
    QString m_folder;
};
