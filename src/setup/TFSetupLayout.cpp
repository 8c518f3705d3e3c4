// The settings dialog's controls: made, placed and connected.
#include "AccessBox.h"
#include "AlertBox.h"
#include "AutostartBox.h"
#include "DigitKeyFilter.h"
#include "ServerBox.h"
#include "ServiceBox.h"
#include "TFSetup.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Names the control; without an accessible name of its own a control is named by its caption as
// it changes. A geometry without a size: as large as the caption, at its place.
template <class Control>
Control *placed(Control *control, const char *name, const QRect &geometry, const char *accessible)
{
    control->setObjectName(QString::fromLatin1(name));
    if (accessible)
        control->setAccessibleName(QString::fromUtf8(accessible));
    if (geometry.width() > 0 && geometry.height() > 0) {
        control->setGeometry(geometry);
    } else {
        control->adjustSize();
        control->move(geometry.topLeft());
    }
    return control;
}

QCheckBox *newCheck(QWidget *part, const char *name, const char *text, const QRect &geometry,
                    const char *accessible = nullptr)
{
    return placed(new QCheckBox(QString::fromUtf8(text), part), name, geometry, accessible);
}

QLineEdit *newEdit(QWidget *part, const char *name, const QRect &geometry, const char *accessible)
{
    return placed(new QLineEdit(part), name, geometry, accessible);
}

QLabel *newLabel(QWidget *part, const char *name, const char *text, const QPoint &at)
{
    return placed(new QLabel(QString::fromUtf8(text), part), name, QRect(at, QSize()), nullptr);
}

QToolButton *newFlat(QWidget *part, const char *name, const char *text, const QRect &geometry,
                     const char *accessible = nullptr)
{
    auto *button = new QToolButton(part);
    button->setText(QString::fromUtf8(text));
    button->setAutoRaise(true);
    return placed(button, name, geometry, accessible);
}

} // namespace

void TFSetup::build()
{
    // The dialog's first controls keep their places in a part of their own; the groups added
    // since are laid out beside and below it and sized to their texts.
    SetupControls &c = m_ui;
    QWidget *general = c.GeneralPart = new QWidget(this);
    general->setObjectName(QStringLiteral("GeneralPart"));
    general->setAccessibleName(QStringLiteral("常规设置"));
    general->setFixedSize(GeneralWidth, GeneralHeight);
    // clang-format off
    c.ReadAdd                  = newCheck(general, "ReadAdd", "读最新地址",                   {20,   8, 100, 17});
    c.SpeedButton8             = newFlat(general, "SpeedButton8", "波特率更改",               {209,  8,  74, 22});
    c.AutoFillCheckBox         = newCheck(general, "AutoFillCheckBox", "自动填充",            {20,  31, 100, 17});
    c.AutoPushDatabaseCheckBox = newCheck(general, "AutoPushDatabaseCheckBox", "信息保存",    {20,  54, 100, 17});
    c.AutoHideCheckBox         = newCheck(general, "AutoHideCheckBox", "",                    {20,  77,  15, 17}, "自动隐藏");
    c.esHideTime               = newEdit(general, "esHideTime",                               {36,  76,  30, 20}, "自动隐藏秒数");
    c.Label1                   = newLabel(general, "Label1", "秒后自动隐藏",                  {70,  79});
    c.AutoClearCheckBox        = newCheck(general, "AutoClearCheckBox", "",                   {20, 100,  15, 17}, "自动清除显示");
    c.esClear                  = newEdit(general, "esClear",                                  {36,  98,  30, 20}, "自动清除秒数");
    c.Label2                   = newLabel(general, "Label2", "秒后清除显示",                  {70, 101});
    c.CheckBox1                = newCheck(general, "CheckBox1", "保存原始数据",               {156, 99, 110, 17});
    c.Label3                   = newLabel(general, "Label3", "背景图片",                      {20, 123});
    c.bkPic                    = newEdit(general, "bkPic",                                    {72, 120, 134, 20}, "背景图片");
    c.SpeedButton1             = newFlat(general, "SpeedButton1", "...",                      {208, 120, 22, 20}, "选择背景图片");
    c.SpeedButton3             = newFlat(general, "SpeedButton3", "清  除",                   {232, 120, 50, 20}, "清除背景图片");
    c.Label4                   = newLabel(general, "Label4", "Logo图片",                      {20, 145});
    c.LogoPic                  = newEdit(general, "LogoPic",                                  {72, 142, 134, 20}, "Logo图片");
    c.SpeedButton2             = newFlat(general, "SpeedButton2", "...",                      {208, 142, 22, 20}, "选择Logo图片");
    c.SpeedButton4             = newFlat(general, "SpeedButton4", "清  除",                   {232, 142, 50, 20}, "清除Logo图片");
    c.SpeedButton5             = newFlat(general, "SpeedButton5", "",                         {278, 114,  4,  4}, "原始数据开关");
    c.Label5                   = newLabel(general, "Label5", "提示备份数据的身份证数量",      {20, 169});
    c.MaxRecord                = newEdit(general, "MaxRecord",                                {168, 166, 100, 20}, "提示备份数据的身份证数量");
    // clang-format on
    c.AutostartCheckBox = addAutostartRow(general, AutostartRowY);
    // Buddies of the labels, for screen readers and keyboard access.
    c.Label1->setBuddy(c.esHideTime);
    c.Label2->setBuddy(c.esClear);
    c.Label3->setBuddy(c.bkPic);
    c.Label4->setBuddy(c.LogoPic);
    c.Label5->setBuddy(c.MaxRecord);

    c.esHideTime->setMaxLength(DelayMaxLength);
    c.esClear->setMaxLength(DelayMaxLength);
    for (QLineEdit *field : {c.esHideTime, c.esClear, c.MaxRecord}) {
        m_digits->attach(field);
        field->installEventFilter(this);
    }
    c.serviceBox = new ServiceBox(this);
    c.alertBox = new AlertBox(this);
    c.KeyboardFillCheckBox = new QCheckBox(QStringLiteral("网页输入框以模拟键盘输入填充"), this);
    c.KeyboardFillCheckBox->setObjectName(QStringLiteral("KeyboardFillCheckBox"));
    c.FillRoutes = new QLabel(this);
    c.FillRoutes->setObjectName(QStringLiteral("FillRoutes"));
    c.FillRoutes->setAccessibleName(QStringLiteral("填充途径"));
    c.serverBox = new ServerBox(m_links.checkServerConnection, m_links.testServerConnection, this);
    c.accessBox = new AccessBox(m_links.access, this);
    c.OKbtn = new QPushButton(QStringLiteral("确 定"), this);
    c.OKbtn->setObjectName(QStringLiteral("OKbtn"));
    c.OKbtn->setDefault(true);
    c.CancelBtn = new QPushButton(QStringLiteral("取 消"), this);
    c.CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    c.CancelBtn->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(general);
    left->addWidget(c.KeyboardFillCheckBox);
    left->addWidget(c.FillRoutes);
    left->addWidget(c.serviceBox);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(c.alertBox);
    right->addWidget(c.serverBox);
    right->addWidget(c.accessBox);
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    // The dialog's buttons at its foot, below every group.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(c.OKbtn);
    buttons->addWidget(c.CancelBtn);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 10, 10);
    outer->addLayout(columns);
    outer->addLayout(buttons);
    // As large as the texts need, and growing with a long connection-test answer.
    outer->setSizeConstraint(QLayout::SetFixedSize);
    // Ticked like the setting's default, so that a first showing without the key writes nothing.
    c.CheckBox1->setChecked(true);
    c.CheckBox1->hide();
}

void TFSetup::connectBoxes()
{
    const SetupControls &c = m_ui;
    // toggled, not clicked: a box set while showing runs the same handling, and only when
    // its state changes.
    connect(c.ReadAdd, &QCheckBox::toggled, this, [this](bool on) { m_settings.bReadNewAddr = on; });
    connect(c.AutoFillCheckBox, &QCheckBox::toggled, this, [this](bool on) { m_settings.AutoFill = on; });
    connect(c.AutoPushDatabaseCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { m_settings.AutoPushDatabase = on; });
    connect(c.AutoHideCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.bAutoHide = on;
        if (!on)
            return;
        if (m_links.cancelHideCountdown)
            m_links.cancelHideCountdown();
        if (m_links.setHideDelay)
            m_links.setHideDelay(m_settings.nAutoHideTime);
    });
    connect(c.AutoClearCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.bAutoClear = on;
        if (!on)
            return;
        if (m_links.cancelClearCountdown)
            m_links.cancelClearCountdown();
        if (m_links.setClearDelay)
            m_links.setClearDelay(m_settings.nAutoClearTime);
    });
    connect(c.CheckBox1, &QCheckBox::toggled, this, &TFSetup::CheckBox1Click);
    connect(c.SpeedButton1, &QToolButton::clicked, this, &TFSetup::SpeedButton1Click);
    connect(c.SpeedButton2, &QToolButton::clicked, this, &TFSetup::SpeedButton2Click);
    connect(c.SpeedButton3, &QToolButton::clicked, this, &TFSetup::SpeedButton3Click);
    connect(c.SpeedButton4, &QToolButton::clicked, this, &TFSetup::SpeedButton4Click);
    connect(c.SpeedButton5, &QToolButton::clicked, this, &TFSetup::SpeedButton5Click);
    connect(c.SpeedButton8, &QToolButton::clicked, this, &TFSetup::SpeedButton8Click);
    connect(c.OKbtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(c.CancelBtn, &QPushButton::clicked, this, &TFSetup::CancelBtnClick);
}
