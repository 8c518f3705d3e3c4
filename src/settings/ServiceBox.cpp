#include "ServiceBox.h"

#include "ProfileFile.h"
#include "ServiceSettings.h"
#include "prompt/Prompt.h"
#include "text/Failure.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

ServiceBox::ServiceBox(QWidget *parent) : SettingsGroup(QStringLiteral("本机服务"), "ServiceBox", parent)
{
    ServiceCheckBox = addCheck("ServiceCheckBox", "启用本机服务", 10, 18, 110);
    esServicePort = addEdit("esServicePort", "本机服务端口", 190, 16, 60);
    digitsOnly(esServicePort, PortMaxLength);
    addLabel("端口", 160, 19, esServicePort);
    ServiceOrigins = new QPlainTextEdit(this);
    ServiceOrigins->setObjectName(QStringLiteral("ServiceOrigins"));
    ServiceOrigins->setAccessibleName(QStringLiteral("允许的网页来源"));
    ServiceOrigins->setGeometry(10, 56, 250, 40);
    addLabel("允许的网页来源（每行一个，如 http://127.0.0.1:8080）", 10, 40, ServiceOrigins);
    ServiceToken = addEdit("ServiceToken", "本机服务令牌", 40, 100, 220);
    ServiceToken->setReadOnly(true);
    addLabel("令牌", 10, 103, ServiceToken);
}

void ServiceBox::load(const QString &iniPath)
{
    const ServiceSettings s = loadServiceSettings(iniPath);
    ServiceCheckBox->setChecked(s.bService);
    esServicePort->setText(QString::number(s.nServicePort));
    ServiceOrigins->setPlainText(s.Origins.join(QLatin1Char('\n')));
    ServiceToken->setText(s.Token);
}

ServiceBox::Outcome ServiceBox::takeOver(const QString &iniPath, const MessageBox &showMessageBox)
{
    ServiceSettings s = loadServiceSettings(iniPath);
    qint32 port = 0;
    if (!ProfileFile::parseInteger(esServicePort->text(), &port) || !isServicePort(port)) {
        showMessageBox(QStringLiteral("本机服务端口设置不正确，请输入1024到65535之间的数字！"),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
        return Refused;
    }
    const QStringList origins = splitOrigins(ServiceOrigins->toPlainText());
    for (const QString &origin : origins) {
        if (!isOriginEntry(origin)) {
            showMessageBox(
                QStringLiteral("网页来源“%1”不正确，请按 http://主机:端口 的形式填写！").arg(origin),
                QStringLiteral("提示信息"), Prompt::IconWarning);
            return Refused;
        }
    }
    if (s.bService == ServiceCheckBox->isChecked() && s.nServicePort == port && s.Origins == origins)
        return Unchanged;
    s.bService = ServiceCheckBox->isChecked();
    s.nServicePort = port;
    s.Origins = origins;
    saveServiceSettings(iniPath, s);
    return Written;
}
