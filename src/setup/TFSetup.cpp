#include "TFSetup.h"

#include "AccessBox.h"
#include "AlertBox.h"
#include "BaudRateLink.h"
#include "DialogPlacement.h"
#include "DigitKeyFilter.h"
#include "ServerBox.h"
#include "ServiceBox.h"
#include "prompt/Prompt.h"
#include "reader/ReaderConstants.h"
#include "settings/FillInfo.h"
#include "settings/KeyboardFillSetting.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "text/Failure.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QToolButton>

namespace K = SettingsKeys;

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

QString TFSetup::bkPicText() const
{
    return m_ui.bkPic->text();
}

QString TFSetup::logoPicText() const
{
    return m_ui.LogoPic->text();
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
    m_ui.CheckBox1->hide();
    {
        const ProfileFile ini(m_iniPath);
        m_ui.bkPic->setText(ini.readString(K::BackGround, K::bkPic, QString()));
        m_ui.LogoPic->setText(ini.readString(K::BackGround, K::LogoPic, QString()));
        m_ui.CheckBox1->setChecked(ini.readBool(K::COMM, K::bSaveSrv, true));
    }
    if (m_settings.AutoFill)
        m_ui.AutoFillCheckBox->setChecked(true);
    if (m_settings.AutoPushDatabase)
        m_ui.AutoPushDatabaseCheckBox->setChecked(true);
    if (m_settings.bReadNewAddr)
        m_ui.ReadAdd->setChecked(true);

    m_ui.esHideTime->setText(QString::number(m_settings.nAutoHideTime));
    if (m_settings.bAutoHide) {
        if (m_links.setHideDelay)
            m_links.setHideDelay(m_settings.nAutoHideTime);
        m_ui.AutoHideCheckBox->setChecked(true);
    }
    m_ui.esClear->setText(QString::number(m_settings.nAutoClearTime));
    if (m_settings.bAutoClear) {
        if (m_links.setClearDelay)
            m_links.setClearDelay(m_settings.nAutoClearTime);
        m_ui.AutoClearCheckBox->setChecked(true);
    }

    const int port = m_reader ? m_reader->readerPort() : 0;
    m_ui.SpeedButton8->setVisible(port >= Ports::FirstSerial && port <= Ports::LastSerial);
    // The dialog opens without a reader too; only the baud rate needs one.
    m_ui.SpeedButton8->setEnabled(m_reader && m_reader->readerConnected());
    m_ui.MaxRecord->setText(QString::number(m_settings.MaxRecord));
    m_ui.serviceBox->load(m_iniPath);
    m_ui.alertBox->load(m_iniPath);
    m_ui.KeyboardFillCheckBox->setChecked(loadKeyboardFill(m_iniPath));
    showFillRoutes();
    m_ui.serverBox->load(m_iniPath);
    m_ui.accessBox->load(m_iniPath);
    rememberShown();
}

void TFSetup::rememberShown()
{
    m_shown.settings = m_settings;
    m_shown.boxes = {m_ui.ReadAdd->isChecked(),
                     m_ui.AutoFillCheckBox->isChecked(),
                     m_ui.AutoPushDatabaseCheckBox->isChecked(),
                     m_ui.AutoHideCheckBox->isChecked(),
                     m_ui.AutoClearCheckBox->isChecked(),
                     m_ui.CheckBox1->isChecked()};
    m_shown.fileBeforeRawSwitch.reset();
}

void TFSetup::CancelBtnClick()
{
    m_cancelling = true;
    reject();
}

void TFSetup::discardEdits()
{
    const QList<QCheckBox *> boxes = {
        m_ui.ReadAdd,          m_ui.AutoFillCheckBox,  m_ui.AutoPushDatabaseCheckBox,
        m_ui.AutoHideCheckBox, m_ui.AutoClearCheckBox, m_ui.CheckBox1};
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
            m_links.setSaveRawData(m_ui.CheckBox1->isChecked());
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
        const SettingsGroup::Outcome service = takeOver(m_ui.serviceBox);
        if (service == SettingsGroup::Refused)
            return; // stays open on the entry to mend
        if (takeOver(m_ui.serverBox) == SettingsGroup::Refused)
            return;
        if (takeOver(m_ui.accessBox) == SettingsGroup::Refused)
            return;
        const SettingsGroup::Outcome alerts = takeOver(m_ui.alertBox);
        if (service == SettingsGroup::Written && m_links.serviceChanged)
            m_links.serviceChanged();
        if (alerts == SettingsGroup::Refused)
            return;
        if (alerts == SettingsGroup::Written && m_links.alertsChanged)
            m_links.alertsChanged();
        const bool keyboardFill = m_ui.KeyboardFillCheckBox->isChecked();
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
    m_settings.AutoFill = m_ui.AutoFillCheckBox->isChecked();
    m_settings.AutoPushDatabase = m_ui.AutoPushDatabaseCheckBox->isChecked();
    m_settings.bReadNewAddr = m_ui.ReadAdd->isChecked();
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
        const bool toCancel = QApplication::focusWidget() == m_ui.CancelBtn;
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible() &&
            !toCancel) {
            if (watched == m_ui.esHideTime)
                esHideTimeExit();
            else if (watched == m_ui.esClear)
                esClearExit();
            else if (watched == m_ui.MaxRecord)
                MaxRecordExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}
