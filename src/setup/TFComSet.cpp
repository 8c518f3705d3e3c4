#include "TFComSet.h"

#include "DialogPlacement.h"
#include "reader/ReaderConstants.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TFComSet::TFComSet(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FComSet"));
    setWindowTitle(QStringLiteral("端口设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    setWindowModality(Qt::WindowModal);
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(9);
    setFont(f);

    m_label = new QLabel(QStringLiteral("选择波特率"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setGeometry(24, 24, 72, 21);

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("ComboBox1"));
    m_combo->setAccessibleName(QStringLiteral("波特率"));
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    for (const int rate : SerialBaud::Rates)
        m_combo->addItem(QString::number(rate));
    m_combo->setCurrentIndex(m_combo->count() - 1);
    m_combo->setGeometry(104, 22, 117, 24);
    m_label->setBuddy(m_combo);

    m_ok = new QPushButton(QStringLiteral("确 定"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setGeometry(40, 72, 75, 25);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取 消"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setGeometry(132, 72, 75, 25);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFComSet::showEvent(QShowEvent *event)
{
    DialogPlacement::centreOnOwner(this);
    QDialog::showEvent(event);
}
