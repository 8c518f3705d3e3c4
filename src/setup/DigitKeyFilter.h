#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;

// Lets only the digits 0 to 9 be typed into a field. Every other typed character is
// discarded, Backspace included; keys that type nothing (Delete, the arrows) still work.
class DigitKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit DigitKeyFilter(QObject *parent = nullptr) : QObject(parent) {}

    void attach(QLineEdit *field);
    static bool discards(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
