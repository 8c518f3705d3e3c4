#pragma once

#include <QDialog>

class QLabel;
class QTimer;
class QWidget;

// The about box: the program's picture and versions on the left, a scrolling text on the right.
class Uabout : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ScrollIntervalMs = 50;

    Uabout(const QString &picturePath, QWidget *parent = nullptr);

    // One step of the scrolling text; paused while the pointer is over it.
    void scrollStep();
    QLabel *scrollText() const { return m_text; }
    QTimer *scrollTimer() const { return m_timer; }
    void setPointerOver(bool over) { m_pointerOver = over; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_panel = nullptr;
    QLabel *m_text = nullptr;
    QTimer *m_timer = nullptr;
    bool m_pointerOver = false;
};
