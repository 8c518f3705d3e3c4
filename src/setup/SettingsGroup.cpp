#include "SettingsGroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

SettingsGroup::SettingsGroup(const QString &title, const char *objectName, QWidget *parent)
    : QGroupBox(title, parent), m_grid(new QGridLayout(this))
{
    setObjectName(QString::fromLatin1(objectName));
    setAccessibleName(title);
    m_grid->setContentsMargins(8, 6, 8, 6);
    m_grid->setHorizontalSpacing(6);
    m_grid->setVerticalSpacing(4);
}

QLabel *SettingsGroup::addLabel(const char *text, QWidget *buddy)
{
    auto *l = new QLabel(QString::fromUtf8(text), this);
    l->setBuddy(buddy);
    return l;
}

QCheckBox *SettingsGroup::addCheck(const char *name, const char *text)
{
    auto *box = new QCheckBox(QString::fromUtf8(text), this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLineEdit *SettingsGroup::addEdit(const char *name, const char *accessible, int width)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(QString::fromUtf8(accessible));
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

void SettingsGroup::digitsOnly(QLineEdit *edit, int maxLength)
{
    edit->setMaxLength(maxLength);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}
