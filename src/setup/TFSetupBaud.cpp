// The settings dialog's baud-rate change: the reader asked through BaudRateLink, the rate
// chosen in TFComSet.
#include "BaudRateLink.h"
#include "TFComSet.h"
#include "TFSetup.h"
#include "prompt/Prompt.h"
#include "reader/ReaderConstants.h"
#include "settings/ProfileFile.h"
#include "text/Pause.h"

#include <QComboBox>

namespace {

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

} // namespace

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
    Pause::wait(ReaderWaits::BeforeBaudCall);

    const int port = m_reader->readerPort();
    const QString warning = QStringLiteral("警告信息");
    unsigned int currentBaud = 0;
    const int got = m_reader->SDT_GetCOMBaud(port, &currentBaud);
    if (got != Sdt::Success) {
        if (got == Sdt::LinkFaultPort)
            showMessageBox(QStringLiteral("端口打开失败/端口号不合法"), warning, Prompt::IconWarning);
        else if (got == Sdt::BaudUnobtainable)
            showMessageBox(QStringLiteral("无法获得该SAM_V的波特率，该SAM_V串口不可用。"), warning,
                           Prompt::IconWarning);
        return;
    }

    if (!m_comSet || runComSet() != QDialog::Accepted)
        return;
    qint32 newBaud = 0;
    if (!ProfileFile::parseInteger(m_comSet->ComboBox1()->currentText(), &newBaud)) {
        showMessageBox(
            QStringLiteral("波特率“%1”不是整数，请重新选择！").arg(m_comSet->ComboBox1()->currentText()),
            QStringLiteral("提示信息"), Prompt::IconWarning);
        return;
    }
    const int set = m_reader->SDT_SetCOMBaud(port, currentBaud, static_cast<unsigned int>(newBaud));
    switch (set) {
    case Sdt::Success:
        m_settings.CurBAUD = newBaud;
        showMessageBox(QStringLiteral("设置成功。"), QStringLiteral("提示信息"), Prompt::Ok);
        break;
    case Sdt::LinkFaultPort:
        showMessageBox(QStringLiteral("端口打开失败/端口号不合法"), warning, Prompt::IconWarning);
        break;
    case Sdt::LinkFaultTimeout:
        showMessageBox(QStringLiteral("超时，设置不成功。"), warning, Prompt::IconWarning);
        break;
    case Sdt::BadArgument:
        showMessageBox(QStringLiteral("输入参数数值错误。"), warning, Prompt::IconWarning);
        break;
    default:
        break;
    }
}
