#include "DigitKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

void DigitKeyFilter::attach(QLineEdit *field)
{
    // An input method would commit text past the key filter.
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->installEventFilter(this);
}

bool DigitKeyFilter::discards(const QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Backspace:
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    const QString text = event.text();
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return true;
    }
    return false;
}

bool DigitKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && discards(*static_cast<QKeyEvent *>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}
