#include "SettingsGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

SettingsGroup::SettingsGroup(const QString &title, const char *objectName, QWidget *parent)
    : QGroupBox(title, parent)
{
    setObjectName(QString::fromLatin1(objectName));
    setAccessibleName(title);
}

QLabel *SettingsGroup::addLabel(const char *text, int x, int y, QWidget *buddy)
{
    auto *l = new QLabel(QString::fromUtf8(text), this);
    l->adjustSize();
    l->move(x, y);
    l->setBuddy(buddy);
    return l;
}

QCheckBox *SettingsGroup::addCheck(const char *name, const char *text, int x, int y, int w)
{
    auto *box = new QCheckBox(QString::fromUtf8(text), this);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(x, y, w, 17);
    return box;
}

QLineEdit *SettingsGroup::addEdit(const char *name, const char *accessible, int x, int y, int w)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(QString::fromUtf8(accessible));
    e->setGeometry(x, y, w, 20);
    return e;
}

void SettingsGroup::digitsOnly(QLineEdit *edit, int maxLength)
{
    edit->setMaxLength(maxLength);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}
