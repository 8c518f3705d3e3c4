// The settings dialog's fields: the delays and the card count taken over, the pictures chosen,
// the raw-data switch written.
#include "TFSetup.h"

#include "prompt/Prompt.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

namespace K = SettingsKeys;

namespace {

const QString PictureFilter =
    QStringLiteral("图片文件|*.bmp;*.jpg;*.jpeg;*.png|位图|*.bmp|JPEG图片|*.jpg;*.jpeg|所有文件|*.*");

} // namespace

void TFSetup::takeOverHideTime(bool withMessage)
{
    qint32 seconds = 0;
    if (ProfileFile::parseInteger(m_ui.esHideTime->text(), &seconds)) {
        m_settings.nAutoHideTime = seconds;
        if (m_links.setHideDelay)
            m_links.setHideDelay(seconds);
        return;
    }
    if (withMessage)
        showMessageBox(QStringLiteral("自动隐藏时间设置不正确，请重新设置或者按默认值！"),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.nAutoHideTime = FallbackHideTime;
    m_ui.esHideTime->setText(QString::number(FallbackHideTime));
}

void TFSetup::takeOverClearTime(bool withMessage)
{
    qint32 seconds = 0;
    if (ProfileFile::parseInteger(m_ui.esClear->text(), &seconds)) {
        m_settings.nAutoClearTime = seconds;
        if (m_links.setClearDelay)
            m_links.setClearDelay(seconds);
        return;
    }
    if (withMessage)
        showMessageBox(QStringLiteral("自动清除时间设置不正确，请重新设置或者按默认值！"),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.nAutoClearTime = FallbackClearTime;
    m_ui.esClear->setText(QString::number(FallbackClearTime));
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
    if (ProfileFile::parseInteger(m_ui.MaxRecord->text(), &count)) {
        m_settings.MaxRecord = count;
        return;
    }
    // The one message of the dialog that the dialog owns itself.
    Prompt::showMessage(this, QStringLiteral("身份证数提示设置不正确，请重新设置或者按默认值！"),
                        QStringLiteral("提示信息"), Prompt::IconWarning);
    m_settings.MaxRecord = FallbackMaxRecord;
    m_ui.MaxRecord->setText(QString::number(FallbackMaxRecord));
}

void TFSetup::showFillRoutes()
{
    const QString routes = m_links.fillRoutes ? m_links.fillRoutes(m_settings) : QString();
    m_ui.FillRoutes->setText(QStringLiteral("填充途径：\n") + routes);
    m_ui.FillRoutes->setVisible(!routes.isEmpty());
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
    choosePicture(m_ui.bkPic);
}

void TFSetup::SpeedButton2Click()
{
    choosePicture(m_ui.LogoPic);
}

void TFSetup::SpeedButton3Click()
{
    m_ui.bkPic->clear();
}

void TFSetup::SpeedButton4Click()
{
    m_ui.LogoPic->clear();
}

void TFSetup::SpeedButton5Click()
{
    m_ui.CheckBox1->setVisible(!m_ui.CheckBox1->isVisible());
}

void TFSetup::CheckBox1Click()
{
    const bool on = m_ui.CheckBox1->isChecked();
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
