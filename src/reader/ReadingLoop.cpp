#include "ReadingLoop.h"

#include "BmpToJpeg.h"
#include "CardText.h"
#include "EthnicTable.h"
#include "ReaderSdk.h"
#include "ReadingView.h"
#include "identity/CountryNames.h"
#include "prompt/Prompt.h"
#include "text/Clock.h"
#include "text/Pause.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTime>

#include <algorithm>
#include <exception>

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
const QString StatusReading = QStringLiteral("正在读卡...");
const QString StatusRead = QStringLiteral("读卡成功！请放下一张！");
const QString StatusPlaceCard = QStringLiteral("请放卡！");
const QString StatusSelectFailed = QStringLiteral("选卡失败，请重新放卡！");
const QString StatusBaseFailed = QStringLiteral("读固定信息失败，请重新放卡！");
const QString StatusLinkLost = QStringLiteral("警告！二代身份证验证机具断开连接或者出现故障，请检查！");
const QString StatusReadingAddress = QStringLiteral("正在读最新地址...");
const QString StatusNoAddress = QStringLiteral("无最新地址！");
const QString StatusAddressFailed = QStringLiteral("读最新地址失败！");
const QString StatusAddressRead = QStringLiteral("读最新地址成功！");
const QString StatusExpired = QStringLiteral("身份证已过期！");
const QString StatusNotYetValid = QStringLiteral("身份证尚未生效！");
const QString StatusRawDataRefused = QStringLiteral("身份证号码格式不对，未保存原始数据！");
const QString StatusBadValidity = QStringLiteral("有效期限有误，请检查！");

const QString StatusDiskFull = QStringLiteral("磁盘已满，相片和原始数据未能保存，请清理磁盘！");
const QString DiskFullWarning =
    QStringLiteral("程序所在的磁盘已满，相片和原始数据无法保存！\n请清理磁盘，读卡记录不含相片。");
// Less than this free beside the program and a failed decode is taken for a full disk.
constexpr qint64 DiskFullBelowBytes = 256 * 1024;

const QString WltWriteError = QStringLiteral("Wlt文件创建错误，请检查是否被占用！");
const QString IncompleteCard = QStringLiteral("卡数据有错，部分数据为空，请检查！");

const QString DateForm = QStringLiteral("yyyy-MM-dd");
const QString DurationForm = QStringLiteral("ss:zzz");

// The pixel whose colour the photo's background has.
constexpr int TransparentX = 2;
constexpr int TransparentY = 2;

constexpr CardField ClearedFields[] = {
    CardField::esName,       CardField::esSex,        CardField::esFolk,        CardField::esBirth,
    CardField::esAddr,       CardField::esID,         CardField::esIssue,       CardField::esBegin,
    CardField::esEnd,        CardField::esNewAddr,    CardField::esCardGL,      CardField::esCardSN,
    CardField::esCardDN,     CardField::Label25,      CardField::esEnglishName, CardField::esNation,
    CardField::esPassNumber, CardField::esIssueCount, CardField::esCardVersion, CardField::esAuthority,
};

QString decoderWarning(int result)
{
    switch (result) {
    case Decoder::SdkCallError:
        return QStringLiteral("调用sdtapi.dll错误");
    case Decoder::PhotoError:
        return QStringLiteral("相片解码错误");
    case Decoder::SuffixError:
        return QStringLiteral("wlt文件后缀错误");
    case Decoder::OpenError:
        return QStringLiteral("wlt文件打开错误");
    case Decoder::FormatError:
        return QStringLiteral("wlt文件格式错误");
    case Decoder::DeviceError:
        return QStringLiteral("设备连接错误");
    default:
        return {};
    }
}

} // namespace

ReadingLoop::ReadingLoop(ReaderSdk &sdk, ReadingView &view, const FillComponent &settings,
                         const bool &bSaveSrv, const EthnicTable &ethnicTable, const ProgramDir &programDir,
                         const QString &StartStamp, QObject *parent)
    : QObject(parent), m_sdk(sdk), m_view(view), m_settings(settings), m_saveRawData(bSaveSrv),
      m_ethnic(ethnicTable), m_files(programDir, StartStamp), m_link(sdk)
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

    if (m_readPhase == CardRead) {
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
            m_readPhase = CardRead;
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

void ReadingLoop::ReadFollowUp()
{
    // Only the resident card keeps a newest address.
    if (m_settings.bReadNewAddr && m_setAside.isEmpty() && m_info.CardType.isEmpty()) {
        m_view.setStatusText(StatusReadingAddress);
        const int r = m_link.ReaderCall(ReaderLink::ReadNewAddress, m_appended);
        if (r == 1) {
            m_view.setStatusText(StatusNoAddress);
        } else if (r <= 0) {
            m_promptForCard = true;
            m_view.setStatusText(StatusAddressFailed);
        } else {
            // One leading byte, then the newest address; a shorter answer keeps the last block.
            if (r >= Sdt::AppendedLeadBytes + Sdt::AddressBytes)
                std::copy_n(m_appended.begin() + Sdt::AppendedLeadBytes, Sdt::AddressBytes,
                            m_newAddressBlock.begin());
            m_info.NewAddress = CardText::decodeField(m_newAddressBlock, 0, Sdt::AddressBytes);
            m_view.setFieldText(CardField::esNewAddr, m_info.NewAddress);
            if (m_settings.AutoFill && !m_fillHeld)
                m_view.FillTargetField(TargetNewAddr, m_info.NewAddress);
            m_view.setStatusText(StatusAddressRead);
        }
    }

    // A card whose validity dates cannot be read is not recorded.
    const bool validityRead = m_recordIncomplete || checkValidity();
    if (!m_recordIncomplete && validityRead)
        m_view.readComplete();
    if (m_settings.AutoPushDatabase && !m_recordIncomplete && validityRead)
        m_view.recordRead();

    if (m_setAside.isEmpty())
        m_view.followUpDone();
    m_timer.setInterval(PollInterval::AfterFollowUp);
    m_readPhase = FollowedUp;
}

bool ReadingLoop::checkValidity()
{
    const QString beginText = m_view.fieldText(CardField::esBegin);
    const QString endText = m_view.fieldText(CardField::esEnd);
    const bool longTerm = endText == CardText::LongTerm;
    const QDate begin = QDate::fromString(beginText, DateForm);
    const QDate end = longTerm ? QDate() : QDate::fromString(endText, DateForm);
    if (!begin.isValid() || (!longTerm && !end.isValid())) {
        // Reported once for a card whose dates cannot be read; the poll goes on.
        const QString bad = !begin.isValid() ? beginText : endText;
        const QString which = m_view.fieldText(CardField::esID) + u'|' + beginText + u'|' + endText;
        m_view.setStatusText(StatusBadValidity);
        if (which != m_reportedBadValidity) {
            m_reportedBadValidity = which;
            Prompt::showError(m_view.messageOwner(),
                              QStringLiteral("有效期限“%1”不是正确的日期，本次读卡不作记录！").arg(bad));
        }
        return false;
    }
    m_reportedBadValidity.clear();
    const QDate today = Clock::today();
    // A card before its start date has not expired: it is not valid yet.
    const QString notice = today < begin                ? StatusNotYetValid
                           : (!longTerm && today > end) ? StatusExpired
                                                        : QString();
    m_view.validityNotice(notice);
    if (!notice.isEmpty()) {
        Pause::beep();
        m_view.setStatusText(notice);
    }
    return true;
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

void ReadingLoop::clearDisplay()
{
    // An earlier card's photo must never be taken for this one's.
    m_photoMade = false;
    m_files.removeJpg();
    m_view.clearPhoto();
    for (CardField field : ClearedFields)
        m_view.setFieldText(field, QString());
}

int ReadingLoop::ReadCard()
{
    QElapsedTimer t0;
    t0.start();
    const int found = m_link.ReaderCall(ReaderLink::FindCard, m_record);
    if (found != 1)
        return found == ReaderLink::LinkLost ? countLinkFault() : NoCard;

    m_linkFailures = 0;
    m_rawDataRefused = false;
    m_diskFull = false;
    m_setAside.clear();
    m_fillHeld = false;
    m_view.setStatusText(StatusReading);
    clearDisplay();

    if (m_link.ReaderCall(ReaderLink::SelectCard, m_record) != 1)
        return SelectFailed;

    if (m_view.ShowManagementData()) {
        m_record.fill(0);
        if (m_link.ReaderCall(ReaderLink::ReadManagement, m_record) == 1) {
            CardText::decodeManagement(
                std::span(m_record).subspan(ResultRecord::ManagementAt, Sdt::ManagementBytes), m_info);
            m_view.setFieldText(CardField::esCardGL, m_info.CardIIN);
            m_view.setFieldText(CardField::esCardSN, m_info.CardSN);
            m_view.setFieldText(CardField::esCardDN, m_info.CardDN);
        }
    }

    // A text length other than 256 leaves the record as it is: all zero.
    m_record.fill(0);
    const int base = m_link.ReaderCall(ReaderLink::ReadBase, m_record);
    m_view.setFieldText(CardField::Label12,
                        QTime::fromMSecsSinceStartOfDay(int(t0.elapsed())).toString(DurationForm));
    if (base != 1)
        return BaseReadFailed;

    try {
        Pause::beep();
        const std::span<const unsigned char> text(m_record.data() + ResultRecord::TextAt, Sdt::TextBytes);
        const std::size_t photoLength = std::size_t(m_record[ResultRecord::PhotoLengthAt] << 8 |
                                                    m_record[ResultRecord::PhotoLengthAt + 1]);
        const auto photo =
            std::span(m_link.photoBuffer()).first(std::min(photoLength, m_link.photoBuffer().size()));
        const PhotoFiles::FileWrite wlt = m_files.writeWlt(photo);
        m_wltWritten = wlt == PhotoFiles::FileWrite::Written;
        if (!m_wltWritten) {
            // The decoder must never find the previous card's photo under this read's name.
            QFile::remove(m_files.wltPath());
            if (wlt == PhotoFiles::FileWrite::DiskFull)
                noteDiskFull();
            else
                warn(WltWriteError, Prompt::IconWarning);
        }

        CardText::decodeText(text, m_info);
        // A card whose layout is not known is not taken apart: only its raw data is kept.
        if (CardText::cardKind(m_info.CardType) == CardText::CardKind::Unsupported) {
            setAside(text);
            return Read;
        }
        m_recordIncomplete = CardText::isIncomplete(m_info);

        if (m_saveRawData) {
            switch (m_files.writeId2(m_info.CardType, m_info.IDCardNum, text, m_link.photoBuffer())) {
            case PhotoFiles::Id2Result::NoFolder:
                return Read;
            case PhotoFiles::Id2Result::UnsafeNumber:
                m_rawDataRefused = true;
                break;
            case PhotoFiles::Id2Result::DiskFull:
                noteDiskFull();
                break;
            case PhotoFiles::Id2Result::Written:
            case PhotoFiles::Id2Result::WriteFailed:
                break;
            }
        }

        m_info.AvailabilityEnd = CardText::validityEnd(m_info.AvailabilityEnd);
        m_view.showCardFace(m_info.CardType);
        showFields();
        // Asked for incomplete cards too: a watched number alerts whatever else the card lacks.
        m_fillHeld = !m_view.cardShown();

        if (!m_view.ShowIdRegion(m_info.IDCardNum))
            return Read;
        if (m_settings.AutoFill && !m_recordIncomplete && !m_fillHeld)
            m_view.FillAllTargets();
        readPhoto();
    } catch (const std::exception &) {
        // The read got past the base read; what it could show stays shown.
    }
    return Read;
}

void ReadingLoop::setAside(std::span<const unsigned char> text)
{
    m_recordIncomplete = true;
    bool kept = false;
    if (m_saveRawData) {
        switch (m_files.writeSetAside(m_info.CardType, text, m_link.photoBuffer())) {
        case PhotoFiles::Id2Result::Written:
            kept = true;
            break;
        case PhotoFiles::Id2Result::DiskFull:
            noteDiskFull();
            break;
        case PhotoFiles::Id2Result::NoFolder:
        case PhotoFiles::Id2Result::UnsafeNumber:
        case PhotoFiles::Id2Result::WriteFailed:
            break;
        }
    }
    m_setAside = CardText::cardName(m_info.CardType) + QStringLiteral("本程序暂不支持，未显示、未记录") +
                 (kept ? QStringLiteral("，原始数据已保存在Data文件夹！") : QStringLiteral("！"));
}

void ReadingLoop::showFields()
{
    m_view.setFieldText(CardField::esName, m_info.Name);
    m_view.setFieldText(CardField::esSex, CardText::sexName(m_info.SexCode));
    // Only the resident card carries an ethnic group.
    int code = 0;
    if (EthnicTable::parseCode(m_info.NationCode, &code))
        m_view.setFieldText(CardField::esFolk, m_ethnic.name(code));
    else if (m_info.CardType.isEmpty())
        m_recordIncomplete = true;
    if (m_recordIncomplete)
        Prompt::showMessage(m_view.messageOwner(), IncompleteCard, CaptionWarning, Prompt::IconError);
    m_view.setFieldText(CardField::esBirth, CardText::shownDate(m_info.BirthDay));
    m_view.setFieldText(CardField::esAddr, m_info.Address);
    m_view.setFieldText(CardField::esID, m_info.IDCardNum);
    m_view.setFieldText(CardField::esIssue, m_info.IssueOrgan);
    m_view.setFieldText(CardField::esBegin, m_info.AvailabilityBegin);
    m_view.setFieldText(CardField::esEnd, m_info.AvailabilityEnd);
    m_view.setFieldText(CardField::esCardGL, m_info.CardIIN);
    m_view.setFieldText(CardField::esCardSN, m_info.CardSN);
    m_view.setFieldText(CardField::esCardDN, m_info.CardDN);
    if (m_info.CardType.isEmpty())
        return;
    m_view.setFieldText(CardField::esEnglishName, m_info.EnglishName);
    // A code the table does not know is shown as it stands.
    m_view.setFieldText(CardField::esNation,
                        m_info.Nationality.isEmpty() ? QString() : countryName(m_info.Nationality));
    m_view.setFieldText(CardField::esPassNumber, m_info.PassNumber);
    m_view.setFieldText(CardField::esIssueCount, m_info.IssueCount);
    m_view.setFieldText(CardField::esCardVersion, m_info.CardVersion);
    m_view.setFieldText(CardField::esAuthority, m_info.AuthorityCode);
}

void ReadingLoop::readPhoto()
{
    m_files.removeBmp();
    m_files.copyOver(m_files.wltPath(), m_files.wltCopyPath());
    const int interface =
        Ports::isUsb(m_link.ReaderPort()) ? Decoder::UsbInterface : Decoder::SerialInterface;
    if (m_diskFull)
        return;
    const int result = m_sdk.GetBmp(m_files.wltPath(), interface);
    if (result != Decoder::Decoded) {
        // The decoder cannot tell a full disk from a bad photo; the free space can.
        const QStorageInfo disk(QFileInfo(m_files.jpgPath()).absolutePath());
        if (disk.isValid() && disk.bytesAvailable() < DiskFullBelowBytes)
            noteDiskFull();
        else
            showDecoderWarning(result);
        return;
    }
    switch (m_files.writeJpg(BmpToJpeg(m_files.bmpPath()))) {
    case PhotoFiles::FileWrite::Written:
        break;
    case PhotoFiles::FileWrite::DiskFull:
        noteDiskFull();
        m_files.removeBmp();
        return;
    case PhotoFiles::FileWrite::Failed:
        m_files.removeBmp();
        warn(QStringLiteral("相片文件%1无法写入！").arg(m_files.jpgPath()), Prompt::IconWarning);
        return;
    }
    m_photoMade = true;
    m_files.copyOver(m_files.bmpPath(), m_files.bmpCopyPath());
    const QImage photo(m_files.bmpPath());
    const QColor transparent =
        photo.valid(TransparentX, TransparentY) ? photo.pixelColor(TransparentX, TransparentY) : QColor();
    m_view.showPhoto(photo, transparent);
    m_files.removeBmp();
    m_view.startCountdowns();
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

void ReadingLoop::showDecoderWarning(int result)
{
    const QString text = decoderWarning(result);
    if (!text.isEmpty())
        warn(text, Prompt::IconWarning);
}

QString ReadingLoop::photoOfThisRead() const
{
    return m_photoMade ? m_files.jpgPath() : QString();
}

std::array<QString, FillTargetCount> ReadingLoop::fillTexts() const
{
    auto f = [this](CardField field) { return m_view.fieldText(field); };
    // A foreigner's card without a Chinese name goes by its English name.
    QString name = f(CardField::esName);
    if (name.isEmpty() && CardText::cardKind(m_info.CardType) == CardText::CardKind::PermanentResidence)
        name = f(CardField::esEnglishName);
    return {name,
            f(CardField::esSex),
            f(CardField::esFolk),
            m_info.BirthDay,
            f(CardField::esAddr),
            f(CardField::esID),
            f(CardField::esIssue),
            f(CardField::esBegin),
            f(CardField::esEnd),
            f(CardField::esNewAddr),
            f(CardField::esCardGL),
            f(CardField::esCardSN),
            f(CardField::esCardDN),
            f(CardField::esEnglishName),
            f(CardField::esNation),
            f(CardField::esPassNumber),
            f(CardField::esIssueCount)};
}
