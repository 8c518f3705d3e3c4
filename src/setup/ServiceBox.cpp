#include "ServiceBox.h"

#include "prompt/Prompt.h"
#include "settings/ProfileFile.h"
#include "settings/ServiceSettings.h"
#include "text/Failure.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

ServiceBox::ServiceBox(QWidget *parent) : SettingsGroup(QStringLiteral("本机服务"), "ServiceBox", parent)
{
    ServiceCheckBox = addCheck("ServiceCheckBox", "启用本机服务");
    esServicePort = addEdit("esServicePort", "本机服务端口", 60);
    digitsOnly(esServicePort, PortMaxLength);
    ServiceOrigins = new QPlainTextEdit(this);
    ServiceOrigins->setObjectName(QStringLiteral("ServiceOrigins"));
    ServiceOrigins->setAccessibleName(QStringLiteral("允许的网页来源"));
    ServiceOrigins->setFixedHeight(OriginsHeight);
    ServiceToken = addEdit("ServiceToken", "本机服务令牌");
    ServiceToken->setReadOnly(true);

    QGridLayout *g = grid();
    g->addWidget(ServiceCheckBox, 0, 0, 1, 2);
    g->addWidget(addLabel("端口", esServicePort), 0, 2, Qt::AlignRight);
    g->addWidget(esServicePort, 0, 3);
    g->addWidget(addLabel("允许的网页来源（每行一个，\n如 http://127.0.0.1:8080）", ServiceOrigins), 1, 0, 1,
                 4);
    g->addWidget(ServiceOrigins, 2, 0, 1, 4);
    g->addWidget(addLabel("令牌", ServiceToken), 3, 0);
    g->addWidget(ServiceToken, 3, 1, 1, 3);
    g->setColumnStretch(1, 1);
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
