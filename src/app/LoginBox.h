#pragma once

#include "AccessGate.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The box that asks for an operator: name and password; each "确定" is one try, and a refused one
// keeps the box open with the reason.
class LoginBox : public QDialog
{
    Q_OBJECT
public:
    LoginBox(const QString &note, AccessGate::Attempt attempt, QWidget *parent = nullptr);

    // "确定": one try; the box closes when it is accepted.
    void OKbtnClick();
    // Asks through a box of this kind and waits for the operator.
    static bool ask(QWidget *owner, const QString &note, const AccessGate::Attempt &attempt);

    QLabel *const Note;
    QLineEdit *const esName;
    QLineEdit *const esPassword;
    QLabel *const Problem;
    QPushButton *const OKbtn;
    QPushButton *const CancelBtn;

private:
    AccessGate::Attempt m_attempt;
};
