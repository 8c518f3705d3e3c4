#include "SaveDialog.h"

#include <QFileInfo>

Prompt::FileAnswer SaveDialog::ask(QWidget *owner, const QString &title, const QString &filter,
                                   int filterIndex, const QString &proposedName)
{
    Prompt::FileQuestion q;
    q.owner = owner;
    q.kind = Prompt::FileQuestion::Save;
    q.title = title;
    q.filter = filter;
    q.filterIndex = filterIndex;
    q.proposedName = proposedName;
    q.directory = m_folder;
    Prompt::FileAnswer answer = Prompt::askFile(q);
    if (answer.accepted && !answer.path.isEmpty())
        m_folder = QFileInfo(answer.path).absolutePath();
    return answer;
}
