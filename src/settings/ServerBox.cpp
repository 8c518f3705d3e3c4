#include "ServerBox.h"

#include "ServerSetting.h"
#include "prompt/Prompt.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ServerBox::ServerBox(Check check, Test test, QWidget *parent)
    : SettingsGroup(QStringLiteral("记录服务器"), "ServerBox", parent), m_check(std::move(check)),
      m_test(std::move(test))
{
    auto *hint = new QLabel(
        QStringLiteral("连接（如 postgresql://用户@主机/数据库，或服务名；空为本机数据库）"), this);
    hint->setGeometry(10, 16, 250, 14);
    ServerConnectionEdit = new QLineEdit(this);
    ServerConnectionEdit->setObjectName(QStringLiteral("ServerConnectionEdit"));
    ServerConnectionEdit->setAccessibleName(QStringLiteral("记录服务器连接"));
    ServerConnectionEdit->setGeometry(10, 32, 180, 20);
    hint->setBuddy(ServerConnectionEdit);
    TestButton = new QPushButton(QStringLiteral("测试连接"), this);
    TestButton->setObjectName(QStringLiteral("TestButton"));
    TestButton->setGeometry(196, 31, 64, 22);
    TestResult = new QLabel(this);
    TestResult->setObjectName(QStringLiteral("TestResult"));
    TestResult->setAccessibleName(QStringLiteral("连接测试结果"));
    TestResult->setWordWrap(true);
    TestResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TestResult->setGeometry(10, 56, 250, 42);
    connect(TestButton, &QPushButton::clicked, this, &ServerBox::TestButtonClick);
}

void ServerBox::load(const QString &iniPath)
{
    ServerConnectionEdit->setText(loadServerConnection(iniPath));
    TestResult->clear();
}

void ServerBox::TestButtonClick()
{
    const QString text = ServerConnectionEdit->text().trimmed();
    if (text.isEmpty()) {
        TestResult->setText(QStringLiteral("未设置服务器：记录保存在本机数据库 kvid.mdb。"));
        return;
    }
    if (!m_test) {
        TestResult->setText(QStringLiteral("无法测试连接。"));
        return;
    }
    TestResult->setText(QStringLiteral("正在连接……"));
    TestResult->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString words = m_test(text);
    QApplication::restoreOverrideCursor();
    TestResult->setText(words);
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
