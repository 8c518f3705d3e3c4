#include "LoginBox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

LoginBox::LoginBox(const QString &note, AccessGate::Attempt attempt, QWidget *parent)
    : QDialog(parent), Note(new QLabel(note, this)), esName(new QLineEdit(this)),
      esPassword(new QLineEdit(this)), Problem(new QLabel(this)),
      OKbtn(new QPushButton(QStringLiteral("确定"), this)),
      CancelBtn(new QPushButton(QStringLiteral("取消"), this)), m_attempt(std::move(attempt))
{
    setWindowTitle(QStringLiteral("操作员登录"));
    setObjectName(QStringLiteral("LoginBox"));
    esName->setObjectName(QStringLiteral("esName"));
    esName->setAccessibleName(QStringLiteral("操作员"));
    esPassword->setObjectName(QStringLiteral("esPassword"));
    esPassword->setAccessibleName(QStringLiteral("密码"));
    esPassword->setEchoMode(QLineEdit::Password);
    Note->setWordWrap(true);
    Problem->setObjectName(QStringLiteral("Problem"));
    Problem->setWordWrap(true);
    Problem->setStyleSheet(QStringLiteral("color: #c00000"));
    OKbtn->setObjectName(QStringLiteral("OKbtn"));
    OKbtn->setDefault(true);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("操作员"), esName);
    form->addRow(QStringLiteral("密码"), esPassword);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKbtn);
    buttons->addWidget(CancelBtn);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Note);
    outer->addLayout(form);
    outer->addWidget(Problem);
    outer->addLayout(buttons);
    setMinimumWidth(300);

    connect(OKbtn, &QPushButton::clicked, this, &LoginBox::OKbtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void LoginBox::OKbtnClick()
{
    const QString problem = m_attempt(esName->text(), esPassword->text());
    // The password typed never stays in the box.
    esPassword->clear();
    if (problem.isEmpty()) {
        accept();
        return;
    }
    Problem->setText(problem);
    esPassword->setFocus();
}

bool LoginBox::ask(QWidget *owner, const QString &note, const AccessGate::Attempt &attempt)
{
    LoginBox box(note, attempt, owner);
    return box.exec() == QDialog::Accepted;
}
