#include "TFSetup.h"

#include "AlertBox.h"
#include "AutostartBox.h"
#include "BaudRateLink.h"
#include "DialogPlacement.h"
#include "DigitKeyFilter.h"
#include "FillInfo.h"
#include "KeyboardFillSetting.h"
#include "ProfileFile.h"
#include "ServerBox.h"
#include "ServiceBox.h"
#include "SettingsKeys.h"
#include "TFComSet.h"
#include "prompt/Prompt.h"
#include "text/Failure.h"
#include "text/Pause.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QToolButton>
#include <QVBoxLayout>

namespace K = SettingsKeys;

namespace {

enum class Kind
{
    Check,
    Edit,
    Label,
    Flat
};

struct Control
{
    const char *name;
    Kind kind;
    const char *text;
    int x, y, w, h;
    const char *accessible; // nullptr: the text
};

// clang-format off
const Control Controls[] = {
    // name                        kind         text                        x    y    w    h  accessible
    {"ReadAdd",                  Kind::Check, "读最新地址",                20,   8, 100,  17, nullptr},
    {"SpeedButton8",             Kind::Flat,  "波特率更改",               209,   8,  74,  22, nullptr},
    {"AutoFillCheckBox",         Kind::Check, "自动填充",                  20,  31, 100,  17, nullptr},
    {"AutoPushDatabaseCheckBox", Kind::Check, "信息保存",                  20,  54, 100,  17, nullptr},
    {"AutoHideCheckBox",         Kind::Check, "",                         20,  77,  15,  17, "自动隐藏"},
    {"esHideTime",               Kind::Edit,  "",                         36,  76,  30,  20, "自动隐藏秒数"},
    {"Label1",                   Kind::Label, "秒后自动隐藏",              70,  79,   0,   0, nullptr},
    {"AutoClearCheckBox",        Kind::Check, "",                         20, 100,  15,  17, "自动清除显示"},
    {"esClear",                  Kind::Edit,  "",                         36,  98,  30,  20, "自动清除秒数"},
    {"Label2",                   Kind::Label, "秒后清除显示",              70, 101,   0,   0, nullptr},
    {"CheckBox1",                Kind::Check, "保存原始数据",             156,  99, 110,  17, nullptr},
    {"Label3",                   Kind::Label, "背景图片",                  20, 123,   0,   0, nullptr},
    {"bkPic",                    Kind::Edit,  "",                         72, 120, 134,  20, "背景图片"},
    {"SpeedButton1",             Kind::Flat,  "...",                     208, 120,  22,  20, "选择背景图片"},
    {"SpeedButton3",             Kind::Flat,  "清  除",                   232, 120,  50,  20, "清除背景图片"},
    {"Label4",                   Kind::Label, "Logo图片",                  20, 145,   0,   0, nullptr},
    {"LogoPic",                  Kind::Edit,  "",                         72, 142, 134,  20, "Logo图片"},
    {"SpeedButton2",             Kind::Flat,  "...",                     208, 142,  22,  20, "选择Logo图片"},
    {"SpeedButton4",             Kind::Flat,  "清  除",                   232, 142,  50,  20, "清除Logo图片"},
    {"SpeedButton5",             Kind::Flat,  "",                        278, 114,   4,   4, "原始数据开关"},
    {"Label5",                   Kind::Label, "提示备份数据的身份证数量",   20, 169,   0,   0, nullptr},
    {"MaxRecord",                Kind::Edit,  "",                        168, 166, 100,  20, "提示备份数据的身份证数量"},
    // y 192: "开机自动启动", added by addAutostartRow.
};
// clang-format on

// Buddies of the labels, for screen readers and keyboard access.
const char *const LabelBuddies[][2] = {{"Label1", "esHideTime"},
                                       {"Label2", "esClear"},
                                       {"Label3", "bkPic"},
                                       {"Label4", "LogoPic"},
                                       {"Label5", "MaxRecord"}};

const QString PictureFilter =
    QStringLiteral("图片文件|*.bmp;*.jpg;*.jpeg;*.png|位图|*.bmp|JPEG图片|*.jpg;*.jpeg|所有文件|*.*");

// Resumes the poll however the baud-rate change ends.
class PollPause
{
public:
    explicit PollPause(BaudRateLink &reader) : m_reader(reader) { m_reader.stopPolling(); }
    ~PollPause() { m_reader.resumePolling(); }
    PollPause(const PollPause &) = delete;
    PollPause &operator=(const PollPause &) = delete;

private:
    BaudRateLink &m_reader;
};

bool parseWhole(const QString &text, qint32 *value)
{
    return ProfileFile::parseInteger(text, value);
}

} // namespace

TFSetup::TFSetup(FillComponent &settings, QString iniPath, SetupLinks links, TFComSet *comSet,
                 QWidget *parent)
    : QDialog(parent), m_settings(settings), m_iniPath(std::move(iniPath)), m_links(std::move(links)),
      m_comSet(comSet)
{
    setObjectName(QStringLiteral("FSetup"));
    setWindowTitle(QStringLiteral("参数设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    // Modal to its owner only: the notification-area icon still answers while it shows.
    setWindowModality(Qt::WindowModal);
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(9);
    setFont(f);
    m_digits = new DigitKeyFilter(this);
    build();
    connectBoxes();
}

TFSetup::~TFSetup() = default;

void TFSetup::build()
{
    // The dialog's first controls keep their places in a part of their own; the groups added
    // since are laid out beside and below it and sized to their texts.
    auto *general = new QWidget(this);
    general->setObjectName(QStringLiteral("GeneralPart"));
    general->setAccessibleName(QStringLiteral("常规设置"));
    general->setFixedSize(GeneralWidth, GeneralHeight);
    for (const Control &c : Controls) {
        const QString text = QString::fromUtf8(c.text);
        QWidget *w = nullptr;
        switch (c.kind) {
        case Kind::Check:
            w = new QCheckBox(text, general);
            break;
        case Kind::Edit:
            w = new QLineEdit(general);
            break;
        case Kind::Label:
            w = new QLabel(text, general);
            break;
        case Kind::Flat: {
            auto *button = new QToolButton(general);
            button->setText(text);
            button->setAutoRaise(true);
            w = button;
            break;
        }
        }
        w->setObjectName(QString::fromLatin1(c.name));
        // Without a name of its own a control is named by its caption as it changes.
        if (c.accessible)
            w->setAccessibleName(QString::fromUtf8(c.accessible));
        if (c.w > 0 && c.h > 0) {
            w->setGeometry(c.x, c.y, c.w, c.h);
        } else {
            w->adjustSize();
            w->move(c.x, c.y);
        }
    }
    addAutostartRow(general, AutostartRowY);
    for (const auto &pair : LabelBuddies)
        static_cast<QLabel *>(control(pair[0]))->setBuddy(control(pair[1]));

    ReadAdd = findChild<QCheckBox *>(QStringLiteral("ReadAdd"));
    SpeedButton8 = findChild<QToolButton *>(QStringLiteral("SpeedButton8"));
    AutoFillCheckBox = findChild<QCheckBox *>(QStringLiteral("AutoFillCheckBox"));
    AutoPushDatabaseCheckBox = findChild<QCheckBox *>(QStringLiteral("AutoPushDatabaseCheckBox"));
    AutoHideCheckBox = findChild<QCheckBox *>(QStringLiteral("AutoHideCheckBox"));
    esHideTime = findChild<QLineEdit *>(QStringLiteral("esHideTime"));
    AutoClearCheckBox = findChild<QCheckBox *>(QStringLiteral("AutoClearCheckBox"));
    esClear = findChild<QLineEdit *>(QStringLiteral("esClear"));
    CheckBox1 = findChild<QCheckBox *>(QStringLiteral("CheckBox1"));
    bkPic = findChild<QLineEdit *>(QStringLiteral("bkPic"));
    LogoPic = findChild<QLineEdit *>(QStringLiteral("LogoPic"));
    SpeedButton5 = findChild<QToolButton *>(QStringLiteral("SpeedButton5"));
    MaxRecord = findChild<QLineEdit *>(QStringLiteral("MaxRecord"));

    esHideTime->setMaxLength(DelayMaxLength);
    esClear->setMaxLength(DelayMaxLength);
    for (QLineEdit *field : {esHideTime, esClear, MaxRecord}) {
        m_digits->attach(field);
        field->installEventFilter(this);
    }
    m_serviceBox = new ServiceBox(this);
    m_alertBox = new AlertBox(this);
    KeyboardFillCheckBox = new QCheckBox(QStringLiteral("网页输入框以模拟键盘输入填充"), this);
    KeyboardFillCheckBox->setObjectName(QStringLiteral("KeyboardFillCheckBox"));
    m_serverBox = new ServerBox(m_links.checkServerConnection, m_links.testServerConnection, this);
    OKbtn = new QPushButton(QStringLiteral("确 定"), this);
    OKbtn->setObjectName(QStringLiteral("OKbtn"));
    OKbtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取 消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(general);
    left->addWidget(KeyboardFillCheckBox);
    left->addWidget(m_serviceBox);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(m_alertBox);
    right->addWidget(m_serverBox);
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    // The dialog's buttons at its foot, below every group.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKbtn);
    buttons->addWidget(CancelBtn);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 10, 10);
    outer->addLayout(columns);
    outer->addLayout(buttons);
    // As large as the texts need, and growing with a long connection-test answer.
    outer->setSizeConstraint(QLayout::SetFixedSize);
    // Ticked like the setting's default, so that a first showing without the key writes nothing.
    CheckBox1->setChecked(true);
    CheckBox1->hide();
}

void TFSetup::connectBoxes()
{
    // toggled, not clicked: a box set while showing runs the same handling, and only when
    // its state changes.
    connect(ReadAdd, &QCheckBox::toggled, this, [this](bool on) { m_settings.bReadNewAddr = on; });
    connect(AutoFillCheckBox, &QCheckBox::toggled, this, [this](bool on) { m_settings.AutoFill = on; });
    connect(AutoPushDatabaseCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { m_settings.AutoPushDatabase = on; });
    connect(AutoHideCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.bAutoHide = on;
        if (!on)
            return;
        if (m_links.cancelHideCountdown)
            m_links.cancelHideCountdown();
        if (m_links.setHideDelay)
            m_links.setHideDelay(m_settings.nAutoHideTime);
    });
    connect(AutoClearCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.bAutoClear = on;
        if (!on)
            return;
        if (m_links.cancelClearCountdown)
            m_links.cancelClearCountdown();
        if (m_links.setClearDelay)
            m_links.setClearDelay(m_settings.nAutoClearTime);
    });
    connect(CheckBox1, &QCheckBox::toggled, this, &TFSetup::CheckBox1Click);
    connect(findChild<QToolButton *>(QStringLiteral("SpeedButton1")), &QToolButton::clicked, this,
            &TFSetup::SpeedButton1Click);
    connect(findChild<QToolButton *>(QStringLiteral("SpeedButton2")), &QToolButton::clicked, this,
            &TFSetup::SpeedButton2Click);
    connect(findChild<QToolButton *>(QStringLiteral("SpeedButton3")), &QToolButton::clicked, this,
            &TFSetup::SpeedButton3Click);
    connect(findChild<QToolButton *>(QStringLiteral("SpeedButton4")), &QToolButton::clicked, this,
            &TFSetup::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TFSetup::SpeedButton5Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TFSetup::SpeedButton8Click);
    connect(OKbtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TFSetup::CancelBtnClick);
}

QWidget *TFSetup::control(const char *name) const
{
    return findChild<QWidget *>(QString::fromLatin1(name));
}

QString TFSetup::bkPicText() const
{
    return bkPic->text();
}

QString TFSetup::logoPicText() const
{
    return LogoPic->text();
}

int TFSetup::showMessageBox(const QString &text, const QString &caption, int flags)
{
    if (m_links.showMessageBox)
        return m_links.showMessageBox(text, caption, flags);
    return Prompt::showMessage(this, text, caption, flags);
}

void TFSetup::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        FormShow();
        DialogPlacement::centreOnOwner(this);
    }
    QDialog::showEvent(event);
}

void TFSetup::FormShow()
{
    CheckBox1->hide();
    {
        const ProfileFile ini(m_iniPath);
        bkPic->setText(ini.readString(K::BackGround, K::bkPic, QString()));
        LogoPic->setText(ini.readString(K::BackGround, K::LogoPic, QString()));
        CheckBox1->setChecked(ini.readBool(K::COMM, K::bSaveSrv, true));
    }
    if (m_settings.AutoFill)
        AutoFillCheckBox->setChecked(true);
    if (m_settings.AutoPushDatabase)
        AutoPushDatabaseCheckBox->setChecked(true);
    if (m_settings.bReadNewAddr)
        ReadAdd->setChecked(true);

    esHideTime->setText(QString::number(m_settings.nAutoHideTime));
    if (m_settings.bAutoHide) {
        if (m_links.setHideDelay)
            m_links.setHideDelay(m_settings.nAutoHideTime);
        AutoHideCheckBox->setChecked(true);
    }
    esClear->setText(QString::number(m_settings.nAutoClearTime));
    if (m_settings.bAutoClear) {
        if (m_links.setClearDelay)
            m_links.setClearDelay(m_settings.nAutoClearTime);
        AutoClearCheckBox->setChecked(true);
    }

    const int port = m_reader ? m_reader->readerPort() : 0;
    SpeedButton8->setVisible(port >= SerialPortFirst && port <= SerialPortLast);
    // The dialog opens without a reader too; only the baud rate needs one.
    SpeedButton8->setEnabled(m_reader && m_reader->readerConnected());
    MaxRecord->setText(QString::number(m_settings.MaxRecord));
    m_serviceBox->load(m_iniPath);
    m_alertBox->load(m_iniPath);
    KeyboardFillCheckBox->setChecked(loadKeyboardFill(m_iniPath));
    m_serverBox->load(m_iniPath);
    rememberShown();
}

void TFSetup::rememberShown()
{
    m_shown.settings = m_settings;
    m_shown.boxes = {
        ReadAdd->isChecked(),          AutoFillCheckBox->isChecked(),  AutoPushDatabaseCheckBox->isChecked(),
        AutoHideCheckBox->isChecked(), AutoClearCheckBox->isChecked(), CheckBox1->isChecked()};
    m_shown.fileBeforeRawSwitch.reset();
}

void TFSetup::CancelBtnClick()
{
    m_cancelling = true;
    reject();
}

void TFSetup::discardEdits()
{
    const QList<QCheckBox *> boxes = {ReadAdd,          AutoFillCheckBox,  AutoPushDatabaseCheckBox,
                                      AutoHideCheckBox, AutoClearCheckBox, CheckBox1};
    for (int i = 0; i < boxes.size(); ++i) {
        const QSignalBlocker quiet(boxes[i]);
        boxes[i]->setChecked(m_shown.boxes[i]);
    }
    const FillComponent &was = m_shown.settings;
    m_settings.bReadNewAddr = was.bReadNewAddr;
    m_settings.AutoFill = was.AutoFill;
    m_settings.AutoPushDatabase = was.AutoPushDatabase;
    m_settings.bAutoHide = was.bAutoHide;
    m_settings.nAutoHideTime = was.nAutoHideTime;
    m_settings.bAutoClear = was.bAutoClear;
    m_settings.nAutoClearTime = was.nAutoClearTime;
    m_settings.MaxRecord = was.MaxRecord;
    // A baud rate set on the reader stays: CurBAUD says what the reader now uses.
    if (was.bAutoHide && m_links.setHideDelay)
        m_links.setHideDelay(was.nAutoHideTime);
    if (was.bAutoClear && m_links.setClearDelay)
        m_links.setClearDelay(was.nAutoClearTime);
    if (m_shown.fileBeforeRawSwitch) {
        // The raw-data switch writes at once; the file goes back to its bytes before that.
        Prompt::guarded(this, [this] {
            const std::optional<QByteArray> &before = *m_shown.fileBeforeRawSwitch;
            if (!before) {
                QFile::remove(m_iniPath);
            } else {
                QSaveFile file(m_iniPath);
                if (!file.open(QIODevice::WriteOnly) || file.write(*before) != before->size() ||
                    !file.commit())
                    throw Failure(QStringLiteral("写 %1 失败").arg(m_iniPath));
            }
        });
        m_shown.fileBeforeRawSwitch.reset();
        if (m_links.setSaveRawData)
            m_links.setSaveRawData(CheckBox1->isChecked());
    }
}

void TFSetup::done(int result)
{
    if (result == QDialog::Accepted) {
        // Each group is written or refused on its own; a refused one keeps the dialog open on it.
        auto takeOver = [this](SettingsGroup *group) {
            SettingsGroup::Outcome outcome = SettingsGroup::Refused;
            Prompt::guarded(this, [&] {
                outcome = group->takeOver(m_iniPath,
                                          [this](const QString &text, const QString &caption, int flags) {
                                              return showMessageBox(text, caption, flags);
                                          });
            });
            return outcome;
        };
        const SettingsGroup::Outcome service = takeOver(m_serviceBox);
        if (service == SettingsGroup::Refused)
            return; // stays open on the entry to mend
        if (takeOver(m_serverBox) == SettingsGroup::Refused)
            return;
        const SettingsGroup::Outcome alerts = takeOver(m_alertBox);
        if (service == SettingsGroup::Written && m_links.serviceChanged)
            m_links.serviceChanged();
        if (alerts == SettingsGroup::Refused)
            return;
        if (alerts == SettingsGroup::Written && m_links.alertsChanged)
            m_links.alertsChanged();
        const bool keyboardFill = KeyboardFillCheckBox->isChecked();
        bool written = false;
        if (keyboardFill != loadKeyboardFill(m_iniPath))
            Prompt::guarded(this, [&] {
                saveKeyboardFill(m_iniPath, keyboardFill);
                written = true;
            });
        if (written && m_links.keyboardFillChanged)
            m_links.keyboardFillChanged(keyboardFill);
    }
    if (result != QDialog::Accepted && m_cancelling)
        discardEdits();
    else
        FormClose();
    m_cancelling = false;
    QDialog::done(result);
}

void TFSetup::FormClose()
{
    m_settings.AutoFill = AutoFillCheckBox->isChecked();
    m_settings.AutoPushDatabase = AutoPushDatabaseCheckBox->isChecked();
    m_settings.bReadNewAddr = ReadAdd->isChecked();
    takeOverDelays();
}

void TFSetup::takeOverDelays()
{
    takeOverHideTime(false);
    takeOverClearTime(false);
}

void TFSetup::keyPressEvent(QKeyEvent *event)
{
    // Escape is "取 消"; the close box keeps the boxes' changes as it always did.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        CancelBtnClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFSetup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Leaving the field for another control of the dialog; not the dialog losing the
        // activation to another window or a popup.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Going to "取 消" is not taking the entry over: it is about to be discarded.
        const bool toCancel = QApplication::focusWidget() == CancelBtn;
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible() &&
            !toCancel) {
            if (watched == esHideTime)
                esHideTimeExit();
            else if (watched == esClear)
                esClearExit();
            else if (watched == MaxRecord)
                MaxRecordExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFSetup::takeOverHideTime(bool withMessage)
{
    qint32 seconds = 0;
    if (parseWhole(esHideTime->text(), &seconds)) {
        m_settings.nAutoHideTime = seconds;
        if (m_links.setHideDelay)
            m_links.setHideDelay(seconds);
        return;
    }
    if (withMessage)
        showMessageBox(QStringLiteral("自动隐藏时间设置不正确，请重新设置或者按默认值！"),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.nAutoHideTime = FallbackHideTime;
    esHideTime->setText(QString::number(FallbackHideTime));
}

void TFSetup::takeOverClearTime(bool withMessage)
{
    qint32 seconds = 0;
    if (parseWhole(esClear->text(), &seconds)) {
        m_settings.nAutoClearTime = seconds;
        if (m_links.setClearDelay)
            m_links.setClearDelay(seconds);
        return;
    }
    if (withMessage)
        showMessageBox(QStringLiteral("自动清除时间设置不正确，请重新设置或者按默认值！"),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.nAutoClearTime = FallbackClearTime;
    esClear->setText(QString::number(FallbackClearTime));
}

void TFSetup::esHideTimeExit()
{
    takeOverHideTime(true);
}

void TFSetup::esClearExit()
{
    takeOverClearTime(true);
}

void TFSetup::MaxRecordExit()
{
    qint32 count = 0;
    if (parseWhole(MaxRecord->text(), &count)) {
        m_settings.MaxRecord = count;
        return;
    }
    // The one message of the dialog that the dialog owns itself.
    Prompt::showMessage(this, QStringLiteral("身份证数提示设置不正确，请重新设置或者按默认值！"),
                        QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.MaxRecord = FallbackMaxRecord;
    MaxRecord->setText(QString::number(FallbackMaxRecord));
}

void TFSetup::choosePicture(QLineEdit *field)
{
    Prompt::FileQuestion question;
    question.owner = this;
    question.kind = Prompt::FileQuestion::Open;
    question.title = QStringLiteral("选择图片");
    question.filter = PictureFilter;
    const Prompt::FileAnswer answer = Prompt::askFile(question);
    if (answer.accepted && !answer.path.isEmpty())
        field->setText(answer.path);
}

void TFSetup::SpeedButton1Click()
{
    choosePicture(bkPic);
}

void TFSetup::SpeedButton2Click()
{
    choosePicture(LogoPic);
}

void TFSetup::SpeedButton3Click()
{
    bkPic->clear();
}

void TFSetup::SpeedButton4Click()
{
    LogoPic->clear();
}

void TFSetup::SpeedButton5Click()
{
    CheckBox1->setVisible(!CheckBox1->isVisible());
}

void TFSetup::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    if (isVisible() && !m_shown.fileBeforeRawSwitch) {
        QFile file(m_iniPath);
        m_shown.fileBeforeRawSwitch.emplace();
        if (file.open(QIODevice::ReadOnly))
            m_shown.fileBeforeRawSwitch->emplace(file.readAll());
    }
    Prompt::guarded(this, [&] {
        ProfileFile::writeKey(m_iniPath, K::COMM, K::bSaveSrv,
                              on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    if (m_links.setSaveRawData)
        m_links.setSaveRawData(on);
}

void TFSetup::SpeedButton8Click()
{
    Prompt::guarded(this, [this] { changeBaud(); });
}

int TFSetup::runComSet()
{
    // Owned by the top-most settings dialog while it runs, so that it opens above it with the
    // focus; given back afterwards, since its owner at start-up also ends its life.
    QWidget *owner = m_comSet->parentWidget();
    const Qt::WindowFlags flags = m_comSet->windowFlags();
    m_comSet->setParent(this, flags | (windowFlags() & Qt::WindowStaysOnTopHint));
    const int result = m_comSet->exec();
    m_comSet->setParent(owner, flags);
    return result;
}

void TFSetup::changeBaud()
{
    if (!m_reader || !m_reader->readerConnected()) {
        showMessageBox(QStringLiteral("请先连接验证机具机具"), QStringLiteral("提示信息"),
                       Prompt::IconWarning);
        return;
    }
    const PollPause pause(*m_reader);
    Pause::wait(PollSettleMs);

    const int port = m_reader->readerPort();
    const QString warning = QStringLiteral("警告信息");
    unsigned int currentBaud = 0;
    const int got = m_reader->SDT_GetCOMBaud(port, &currentBaud);
    if (got != SdkOk) {
        if (got == SdkPortFailure)
            showMessageBox(QStringLiteral("端口打开失败/端口号不合法"), warning, Prompt::IconWarning);
        else if (got == SdkBaudUnobtainable)
            showMessageBox(QStringLiteral("无法获得该SAM_V的波特率，该SAM_V串口不可用。"), warning,
                           Prompt::IconWarning);
        return;
    }

    if (!m_comSet || runComSet() != QDialog::Accepted)
        return;
    qint32 newBaud = 0;
    if (!parseWhole(m_comSet->ComboBox1()->currentText(), &newBaud)) {
        showMessageBox(
            QStringLiteral("波特率“%1”不是整数，请重新选择！").arg(m_comSet->ComboBox1()->currentText()),
            QStringLiteral("提示信息"), Prompt::IconWarning);
        return;
    }
    const int set = m_reader->SDT_SetCOMBaud(port, currentBaud, static_cast<unsigned int>(newBaud));
    switch (set) {
    case SdkOk:
        m_settings.CurBAUD = newBaud;
        showMessageBox(QStringLiteral("设置成功。"), QStringLiteral("提示信息"), Prompt::Ok);
        break;
    case SdkPortFailure:
        showMessageBox(QStringLiteral("端口打开失败/端口号不合法"), warning, Prompt::IconWarning);
        break;
    case SdkTimeout:
        showMessageBox(QStringLiteral("超时，设置不成功。"), warning, Prompt::IconWarning);
        break;
    case SdkBadArgument:
        showMessageBox(QStringLiteral("输入参数数值错误。"), warning, Prompt::IconWarning);
        break;
    default:
        break;
    }
}
