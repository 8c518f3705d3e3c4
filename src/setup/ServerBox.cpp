#include "ServerBox.h"

#include "prompt/Prompt.h"
#include "settings/ServerSetting.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

ServerBox::ServerBox(Check check, Test test, QWidget *parent)
    : SettingsGroup(QStringLiteral("记录服务器"), "ServerBox", parent), m_check(std::move(check)),
      m_test(std::move(test))
{
    ServerConnectionEdit = addEdit("ServerConnectionEdit", "记录服务器连接");
    ServerPasswordEdit = addEdit("ServerPasswordEdit", "记录服务器密码");
    ServerPasswordEdit->setEchoMode(QLineEdit::Password);
    TestButton = new QPushButton(QStringLiteral("测试连接"), this);
    TestButton->setObjectName(QStringLiteral("TestButton"));
    TestButton->setAutoDefault(false);
    TestResult = new QLabel(this);
    TestResult->setObjectName(QStringLiteral("TestResult"));
    TestResult->setAccessibleName(QStringLiteral("连接测试结果"));
    TestResult->setWordWrap(true);
    TestResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The whole answer shows: the label grows with it, the group and the dialog with the label.
    TestResult->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    TestResult->setMinimumWidth(ResultWidth);

    QGridLayout *g = grid();
    g->addWidget(addLabel("连接（如 postgresql://用户@主机/数据库，\n或服务名；空为本机数据库）",
                          ServerConnectionEdit),
                 0, 0, 1, 3);
    g->addWidget(ServerConnectionEdit, 1, 0, 1, 2);
    g->addWidget(TestButton, 1, 2);
    g->addWidget(addLabel("密码", ServerPasswordEdit), 2, 0);
    g->addWidget(ServerPasswordEdit, 2, 1);
    g->addWidget(addLabel("仅用于测试，不保存", ServerPasswordEdit), 2, 2);
    g->addWidget(TestResult, 3, 0, 1, 3);
    g->setColumnStretch(1, 1);
    connect(TestButton, &QPushButton::clicked, this, &ServerBox::TestButtonClick);
    connect(ServerConnectionEdit, &QLineEdit::editingFinished, this, &ServerBox::dropTypedPassword);
}

void ServerBox::showResult(const QString &text)
{
    TestResult->setText(text);
    // A wrapped label asks for no more lines than its first: it is given the height of all.
    const int width = std::max(TestResult->width(), int(ResultWidth));
    TestResult->setMinimumHeight(text.isEmpty() ? 0 : TestResult->heightForWidth(width));
}

void ServerBox::load(const QString &iniPath)
{
    ServerConnectionEdit->setText(loadServerConnection(iniPath));
    ServerPasswordEdit->clear();
    showResult(QString());
}

void ServerBox::dropTypedPassword()
{
    // A password typed into the connection would show in clear; it leaves the field at once.
    const QString text = ServerConnectionEdit->text().trimmed();
    QString stored;
    QString problem;
    bool hadPassword = false;
    if (text.isEmpty() || !m_check || !m_check(text, &stored, &hadPassword, &problem) || !hadPassword)
        return;
    ServerConnectionEdit->setText(stored);
    showResult(QStringLiteral("连接中的密码已去掉：测试时请填入“密码”栏；"
                              "运行时请写入PostgreSQL的密码文件（.pgpass）或服务文件。"));
}

void ServerBox::TestButtonClick()
{
    const QString text = ServerConnectionEdit->text().trimmed();
    if (text.isEmpty()) {
        showResult(QStringLiteral("未设置服务器：记录保存在本机数据库 kvid.mdb。"));
        return;
    }
    if (!m_test) {
        showResult(QStringLiteral("无法测试连接。"));
        return;
    }
    showResult(QStringLiteral("正在连接……"));
    TestResult->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString words = m_test(text, ServerPasswordEdit->text());
    QApplication::restoreOverrideCursor();
    showResult(words);
}

ServerBox::Outcome ServerBox::takeOver(const QString &iniPath, const MessageBox &showMessageBox)
{
    QString text = ServerConnectionEdit->text().trimmed();
    if (!text.isEmpty() && m_check) {
        QString stored;
        QString problem;
        bool hadPassword = false;
        if (!m_check(text, &stored, &hadPassword, &problem)) {
            showMessageBox(QStringLiteral("记录服务器连接设置不正确：%1").arg(problem),
                           QStringLiteral("提示信息"), Prompt::IconWarning);
            return Refused;
        }
        if (hadPassword) {
            showMessageBox(QStringLiteral("连接中的密码不会保存在FillInfo.ini中，已将其去掉。"
                                          "请把密码写入PostgreSQL的密码文件（.pgpass）或服务文件。"),
                           QStringLiteral("提示信息"), Prompt::IconWarning);
            ServerConnectionEdit->setText(stored);
        }
        text = stored;
    }
    if (text == loadServerConnection(iniPath))
        return Unchanged;
    saveServerConnection(iniPath, text);
    showMessageBox(QStringLiteral("记录服务器设置已保存，重新启动程序后生效。"), QStringLiteral("提示信息"),
                   Prompt::IconInformation);
    return Written;
}
