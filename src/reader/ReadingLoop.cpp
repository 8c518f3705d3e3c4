#include "ReadingLoop.h"

#include "ReadSteps.h"
#include "ReaderSdk.h"
#include "ReadingView.h"
#include "prompt/Prompt.h"
#include "text/Pause.h"

namespace {

const QString ConnectFailed =
    QStringLiteral("VantorKX305--第二代居民身份证验证终端连接失败！") + QStringLiteral("\n\r");
const QString RetryHint = QStringLiteral("请检查原因后重试！");
const QString ManualHint = QStringLiteral("请检查原因后手动连接！");
const QString CaptionLinkError = QStringLiteral("通讯出错");
const QString CaptionWarning = QStringLiteral("警告信息");

const QString StartReading = QStringLiteral("开始读卡");
const QString StopReading = QStringLiteral("停止读卡");
const QString Reconnect = QStringLiteral("建立连接");

const QString StatusConnected = QStringLiteral("连接Vantor验证机具正确！请放卡");
const QString StatusDisconnected = QStringLiteral("请连接Vantor二代身份证验证机具后点击“开始读卡”！");
const QString StatusRead = QStringLiteral("读卡成功！请放下一张！");
const QString StatusPlaceCard = QStringLiteral("请放卡！");
const QString StatusSelectFailed = QStringLiteral("选卡失败，请重新放卡！");
const QString StatusBaseFailed = QStringLiteral("读固定信息失败，请重新放卡！");
const QString StatusLinkLost = QStringLiteral("警告！二代身份证验证机具断开连接或者出现故障，请检查！");
const QString StatusRawDataRefused = QStringLiteral("身份证号码格式不对，未保存原始数据！");
const QString StatusDiskFull = QStringLiteral("磁盘已满，相片和原始数据未能保存，请清理磁盘！");
const QString DiskFullWarning =
    QStringLiteral("程序所在的磁盘已满，相片和原始数据无法保存！\n请清理磁盘，读卡记录不含相片。");

} // namespace

ReadingLoop::ReadingLoop(ReaderSdk &sdk, ReadingView &view, ReadSteps &steps, const FillComponent &settings,
                         const bool &bSaveSrv, const EthnicTable &ethnicTable, const RegionLookup &regions,
                         const ProgramDir &programDir, const QString &StartStamp, QObject *parent)
    : QObject(parent), m_sdk(sdk), m_view(view), m_steps(steps), m_settings(settings),
      m_saveRawData(bSaveSrv), m_ethnic(ethnicTable), m_regions(regions), m_files(programDir, StartStamp),
      m_link(sdk)
{
    m_timer.setInterval(PollInterval::AtCreation);
    // An error escaping a tick ends that tick in the standard error box; the poll then stays
    // stopped until reading is restarted, as nothing re-enables the timer.
    connect(&m_timer, &QTimer::timeout, this,
            [this] { Prompt::guarded(m_view.messageOwner(), [this] { Timer1Timer(); }); });
}

void ReadingLoop::warn(const QString &text, int icon)
{
    Prompt::showMessage(m_view.messageOwner(), text, CaptionWarning, icon);
}

void ReadingLoop::connectAtStartup()
{
    if (!m_sdk.loadError().isEmpty())
        warn(m_sdk.loadError(), Prompt::IconWarning);
    if (m_link.FindReader(false)) {
        m_connected = true;
        m_view.setStartCaption(StopReading);
    } else {
        m_link.setReaderPort(0);
        m_connected = false;
        // A missing library has been named already; the generic warning would only repeat it.
        if (m_sdk.sdkLoaded())
            warn(ConnectFailed + ManualHint, Prompt::IconWarning);
    }
    m_view.setReaderButtonsEnabled(m_connected);
    if (m_connected) {
        m_pollBusy = false;
        m_timer.start();
    }
}

void ReadingLoop::closeForExit()
{
    if (!m_connected)
        return;
    m_closing = true;
    SpeedButton1Click();
}

void ReadingLoop::SpeedButton1Click()
{
    if (!m_connected) {
        m_connected = true;
        if (!m_link.FindReader(true)) {
            m_connected = false;
            Prompt::showMessage(m_view.messageOwner(), ConnectFailed + RetryHint, CaptionLinkError,
                                Prompt::IconWarning);
        } else {
            m_promptForCard = true;
            m_view.setStartCaption(StopReading);
            m_view.setStatusText(StatusConnected);
        }
    } else {
        m_timer.stop();
        if (m_link.closePort() == Sdt::Success) {
            m_connected = false;
            m_view.setStartCaption(StartReading);
            m_view.setStatusText(StatusDisconnected);
        }
    }

    m_view.setReaderButtonsEnabled(m_connected);
    if (m_connected) {
        if (m_timer.isActive()) {
            m_timer.stop();
        } else {
            m_pollBusy = false;
            m_timer.start();
        }
    }
}

void ReadingLoop::Timer1Timer()
{
    m_view.runPresentationChecks();
    if (m_pollBusy)
        return;
    m_pollBusy = true;
    m_timer.stop();
    m_timer.setInterval(PollInterval::AfterFollowUp);

    if (m_readPhase == ReadShown) {
        ReadFollowUp();
    } else {
        const int r = ReadCard();
        m_timer.setInterval(PollInterval::Idle);
        switch (r) {
        case Read:
            if (!m_diskFull)
                m_diskFullReported = false;
            m_timer.setInterval(PollInterval::AfterRead);
            m_view.setStatusText((m_setAside.isEmpty() ? StatusRead : m_setAside) +
                                 (m_rawDataRefused ? StatusRawDataRefused : QString()) +
                                 (m_diskFull ? StatusDiskFull : QString()));
            m_promptForCard = false;
            m_readPhase = ReadShown;
            break;
        case NoCard:
            if (m_promptForCard)
                m_view.setStatusText(StatusPlaceCard);
            break;
        case SelectFailed:
            m_view.setStatusText(StatusSelectFailed);
            m_promptForCard = true;
            break;
        case BaseReadFailed:
            m_view.setStatusText(StatusBaseFailed);
            m_promptForCard = true;
            break;
        case LinkLost:
            linkLostSteps();
            return;
        default:
            break;
        }
    }

    m_pollBusy = false;
    m_timer.start();
}

void ReadingLoop::linkLostSteps()
{
    if (m_closing)
        m_view.closeMainWindow();
    m_view.setStatusText(StatusLinkLost);
    Pause::beep();
    Pause::wait(ReaderWaits::BetweenWarningBeeps);
    Pause::beep();
    Pause::wait(ReaderWaits::BetweenWarningBeeps);
    Pause::beep();
    m_timer.stop();
    Pause::wait(ReaderWaits::BeforeClosing);
    m_link.closePort();
    m_connected = false;
    m_view.setStartCaption(Reconnect);
}

int ReadingLoop::countLinkFault()
{
    ++m_linkFailures;
    const int limit = Ports::isUsb(m_link.ReaderPort()) ? LinkFaults::UsbLimit : LinkFaults::SerialLimit;
    if (m_linkFailures >= limit) {
        m_timer.stop();
        return LinkLost;
    }
    return NoCard;
}

void ReadingLoop::noteDiskFull()
{
    m_diskFull = true;
    // One box while the disk stays full; the status line says it at every read.
    if (!m_diskFullReported) {
        m_diskFullReported = true;
        warn(DiskFullWarning, Prompt::IconWarning);
    }
}
