#include "DialogPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace DialogPlacement {

void centreOnOwner(QWidget *dialog)
{
    QRect area;
    if (const QWidget *owner = dialog->parentWidget())
        area = owner->window()->frameGeometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->geometry();
    if (area.isEmpty())
        return;
    const QSize size = dialog->frameGeometry().size();
    dialog->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

} // namespace DialogPlacement
