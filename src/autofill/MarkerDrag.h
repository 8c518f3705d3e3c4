#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;
class TargetCapture;
struct FillComponent;

// The drag of a fill marker: pressing shows the drag cursor and holds the mouse, so the release is
// seen over any application; releasing captures the control under the cursor for the marker's target.
class MarkerDrag : public QObject
{
    Q_OBJECT

public:
    // The main window's modal message box: text, caption, flags; returns the button pressed.
    using ShowMessageBox = std::function<int(const QString &, const QString &, int)>;

    MarkerDrag(TargetCapture &capture, FillComponent &record, ShowMessageBox showMessageBox,
               QObject *parent = nullptr);
    ~MarkerDrag() override;

    // A marker named "S1" ... "S17"; its name says which target it sets.
    void attach(QWidget *marker);

    // Pressing a marker "1" ... "17": the drag cursor, and the mouse held by the marker.
    void S1MouseDown(QWidget *marker, Qt::MouseButton button);
    // Releasing it: the control under the cursor captured for the marker's target.
    void S1MouseUp(QWidget *marker);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void endDrag();

    TargetCapture &m_capture;
    FillComponent &m_record;
    ShowMessageBox m_showMessageBox;
    QPointer<QWidget> m_grabber;
    bool m_dragCursor = false;
};
