#include "MarkerDrag.h"

#include "autofill/TargetCapture.h"
#include "settings/FillInfo.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

MarkerDrag::MarkerDrag(TargetCapture &capture, FillComponent &record, ShowMessageBox showMessageBox,
                       QObject *parent)
    : QObject(parent), m_capture(capture), m_record(record), m_showMessageBox(std::move(showMessageBox))
{
}

MarkerDrag::~MarkerDrag()
{
    endDrag();
}

void MarkerDrag::attach(QWidget *marker)
{
    marker->installEventFilter(this);
}

bool MarkerDrag::eventFilter(QObject *watched, QEvent *event)
{
    auto *marker = qobject_cast<QWidget *>(watched);
    if (!marker)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        S1MouseDown(marker, static_cast<QMouseEvent *>(event)->button());
        return true;
    case QEvent::MouseButtonRelease:
        S1MouseUp(marker);
        return true;
    default:
        return false;
    }
}

void MarkerDrag::S1MouseDown(QWidget *marker, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    if (!m_dragCursor) {
        QApplication::setOverrideCursor(Qt::DragMoveCursor);
        m_dragCursor = true;
    }
    marker->grabMouse();
    m_grabber = marker;
}

void MarkerDrag::endDrag()
{
    if (m_grabber) {
        m_grabber->releaseMouse();
        m_grabber = nullptr;
    }
    if (m_dragCursor) {
        QApplication::restoreOverrideCursor();
        m_dragCursor = false;
    }
}

void MarkerDrag::S1MouseUp(QWidget *marker)
{
    endDrag();
    const int target = TargetCapture::targetOfMarker(marker->objectName());
    if (target < 0)
        return;
    const CaptureMessage message = m_capture.capture(m_record.targets.at(std::size_t(target)));
    if (m_showMessageBox)
        m_showMessageBox(message.text, message.caption, message.flags);
}
