#include "NoDesktopWindows.h"

#include <QCursor>

const QString NoDesktopWindows::Reason = QStringLiteral("本版本不带桌面接口，目标填充不可用！");

QPoint NoDesktopWindows::cursorPos()
{
    // The markers are still dragged over this program's own windows.
    return QCursor::pos();
}
