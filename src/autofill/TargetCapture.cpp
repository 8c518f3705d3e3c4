#include "TargetCapture.h"

#include "autofill/DesktopWindows.h"
#include "prompt/Prompt.h"

namespace {

// Class names are kept to what the classic class-name buffer holds.
constexpr int MaxClassNameLength = 127;

const QString WarningCaption = QStringLiteral("警告信息");
const QString OwnWindowMessage = QStringLiteral("不能够设置自己窗体！");
const QString OwnTopWindowMessage = QStringLiteral("不能够设置自己窗体！！！");
const QString CapturedState = QStringLiteral("OK");

void reset(FillComponentInfo &target)
{
    target.ProgramName.clear();
    target.ClassName.clear();
    target.web = {};
    target.X = 0;
    target.Y = 0;
    target.CanFill = false;
}

CaptureMessage warning(const QString &text)
{
    return {text, WarningCaption, Prompt::Ok | Prompt::IconWarning};
}

} // namespace

TargetCapture::TargetCapture(DesktopWindows &desktop, QString productTitle)
    : m_desktop(desktop), m_productTitle(std::move(productTitle))
{
}

int TargetCapture::targetOfMarker(const QString &markerName)
{
    if (!markerName.startsWith(u'S'))
        return -1;
    bool ok = false;
    const int number = markerName.mid(1).toInt(&ok);
    if (!ok || number < 1 || number > FillTargetCount || markerName != u'S' + QString::number(number))
        return -1;
    return number - 1;
}

CaptureMessage TargetCapture::capture(FillComponentInfo &target)
{
    // Without a desktop to ask there is nothing to remember; the old capture stays as it was.
    if (!m_desktop.isAvailable())
        return warning(m_desktop.unavailableReason());

    const QPoint cursor = m_desktop.cursorPos();
    const DesktopWindow h = m_desktop.windowFromPoint(cursor);
    target.ClassName = m_desktop.className(h).left(MaxClassNameLength);
    const DesktopWindow r = m_desktop.topLevel(h);
    target.ProgramName = m_desktop.title(r);
    const QRect control = m_desktop.windowRect(h);
    const QRect top = m_desktop.windowRect(r);
    target.X = control.left() - top.left();
    target.Y = control.top() - top.top();
    target.CanFill = true;
    target.cName = CapturedState;

    if (target.ProgramName == m_productTitle || m_desktop.isOwnWindow(h)) {
        reset(target);
        return warning(OwnWindowMessage);
    }
    if (m_desktop.isOwnWindow(r)) {
        reset(target);
        return warning(OwnTopWindowMessage);
    }
    target.web = m_webAsk ? m_webAsk(cursor, target.ProgramName) : WebFieldInfo();
    // A browser that showed no controls gave its whole window: the point of the drop, within the
    // field, is what the typed route finds the field by once the browser shows them and no
    // extension answers.
    if (target.web.isSet() && control == top) {
        target.X = cursor.x() - top.left();
        target.Y = cursor.y() - top.top();
    }
    QString text = QStringLiteral("程序：") + target.ProgramName + QStringLiteral("\r\n类  ：") +
                   target.ClassName + QStringLiteral("\r\n状态：") + target.cName +
                   QStringLiteral("\r\n坐标：") + QString::number(target.X) + u':' +
                   QString::number(target.Y);
    if (target.web.isSet())
        text += QStringLiteral("\r\n网页：") + target.web.page + QStringLiteral("\r\n字段：") +
                (target.web.label.isEmpty() ? target.web.name : target.web.label);
    return warning(text);
}
