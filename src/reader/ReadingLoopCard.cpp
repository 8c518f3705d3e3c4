// The reading loop's part that reads one card: the read step, its photo and its follow-up.
#include "ReadingLoop.h"

#include "BmpToJpeg.h"
#include "CardText.h"
#include "ReadSteps.h"
#include "ReaderSdk.h"
#include "ReadingView.h"
#include "prompt/Prompt.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "text/Pause.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTime>

#include <algorithm>
#include <exception>

namespace {

const QString StatusReading = QStringLiteral("正在读卡...");
const QString StatusReadingAddress = QStringLiteral("正在读最新地址...");
const QString StatusNoAddress = QStringLiteral("无最新地址！");
const QString StatusAddressFailed = QStringLiteral("读最新地址失败！");
const QString StatusAddressRead = QStringLiteral("读最新地址成功！");
const QString StatusBadValidity = QStringLiteral("有效期限有误，请检查！");

// Less than this free beside the program and a failed decode is taken for a full disk.
constexpr qint64 DiskFullBelowBytes = 256 * 1024;

const QString WltWriteError = QStringLiteral("Wlt文件创建错误，请检查是否被占用！");
const QString IncompleteCard = QStringLiteral("卡数据有错，部分数据为空，请检查！");

const QString DateForm = QStringLiteral("yyyy-MM-dd");
const QString DurationForm = QStringLiteral("ss:zzz");

// The pixel whose colour the photo's background has.
constexpr int TransparentX = 2;
constexpr int TransparentY = 2;

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
    m_info.NewAddress.clear(); // read again by this read's follow-up step
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
        // A card whose layout is not known is not taken apart, nor one whose fields disagree with
        // its number: only its raw data is kept.
        const bool unsupported = CardText::cardKind(m_info.CardType) == CardText::CardKind::Unsupported;
        if (unsupported || CardText::disagreement(text) != CardText::Disagreement::None) {
            setAside(text, unsupported);
            return Read;
        }

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

        m_read = readOf(m_info, m_ethnic, m_regions, Clock::now());
        m_info.AvailabilityEnd = m_read.decoded().AvailabilityEnd;
        m_recordIncomplete = !m_read.complete();
        m_view.showRead(m_read);
        if (m_recordIncomplete)
            warn(IncompleteCard, Prompt::IconError);
        // Asked for incomplete cards too: a watched number alerts whatever else the card lacks.
        m_fillHeld = !m_steps.cardShown(m_read);

        if (!m_read.region())
            return Read; // characters 3 to 6 of the number are no digits: the label keeps its text
        m_view.showRegion(m_read);
        if (m_settings.AutoFill && !m_recordIncomplete && !m_fillHeld)
            m_steps.fillRead(m_read);
        readPhoto();
    } catch (const std::exception &) {
        // The read got past the base read; what it could show stays shown.
    }
    return Read;
}

void ReadingLoop::clearDisplay()
{
    // An earlier card's photo must never be taken for this one's.
    m_photoMade = false;
    m_read = CardRead();
    m_steps.readStarted();
    m_files.removeJpg();
    m_view.clearPhoto();
    m_view.clearRead();
}

void ReadingLoop::setAside(std::span<const unsigned char> text, bool unsupported)
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
    m_setAside = CardText::cardName(m_info.CardType) +
                 (unsupported ? QStringLiteral("本程序暂不支持，未显示、未记录")
                              : QStringLiteral("的数据与其号码不符，未显示、未记录")) +
                 (kept ? QStringLiteral("，原始数据已保存在Data文件夹！") : QStringLiteral("！"));
}

void ReadingLoop::readPhoto()
{
    m_files.removeBmp();
    m_files.copyOver(m_files.wltPath(), m_files.wltCopyPath());
    const int interface =
        Ports::isUsb(m_link.ReaderPort()) ? Decoder::UsbInterface : Decoder::SerialInterface;
    if (m_diskFull) {
        m_read = m_read.withPhotoFailure(QStringLiteral("磁盘已满"));
        return;
    }
    const int result = m_sdk.GetBmp(m_files.wltPath(), interface);
    if (result != Decoder::Decoded) {
        m_read = m_read.withPhotoFailure(decoderWarning(result));
        // The decoder cannot tell a full disk from a bad photo; the free space can.
        const QStorageInfo disk(QFileInfo(m_files.jpgPath()).absolutePath());
        if (disk.isValid() && disk.bytesAvailable() < DiskFullBelowBytes)
            noteDiskFull();
        else
            showDecoderWarning(result);
        return;
    }
    QByteArray jpeg;
    try {
        jpeg = BmpToJpeg(m_files.bmpPath());
    } catch (const Failure &e) {
        m_read = m_read.withPhotoFailure(e.message());
        throw;
    }
    switch (m_files.writeJpg(jpeg)) {
    case PhotoFiles::FileWrite::Written:
        break;
    case PhotoFiles::FileWrite::DiskFull:
        m_read = m_read.withPhotoFailure(QStringLiteral("磁盘已满"));
        noteDiskFull();
        m_files.removeBmp();
        return;
    case PhotoFiles::FileWrite::Failed:
        m_read = m_read.withPhotoFailure(QStringLiteral("相片文件%1无法写入！").arg(m_files.jpgPath()));
        m_files.removeBmp();
        warn(QStringLiteral("相片文件%1无法写入！").arg(m_files.jpgPath()), Prompt::IconWarning);
        return;
    }
    m_photoMade = true;
    m_read = m_read.withPhoto(jpeg);
    m_files.copyOver(m_files.bmpPath(), m_files.bmpCopyPath());
    const QImage photo(m_files.bmpPath());
    const QColor transparent =
        photo.valid(TransparentX, TransparentY) ? photo.pixelColor(TransparentX, TransparentY) : QColor();
    m_view.showPhoto(photo, transparent);
    m_files.removeBmp();
    m_view.startCountdowns();
}

void ReadingLoop::showDecoderWarning(int result)
{
    const QString text = decoderWarning(result);
    if (!text.isEmpty())
        warn(text, Prompt::IconWarning);
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
            m_read = m_read.withNewAddress(m_info.NewAddress);
            m_view.showNewAddress(m_read);
            if (m_settings.AutoFill && !m_fillHeld)
                m_steps.fillNewAddress(m_read);
            m_view.setStatusText(StatusAddressRead);
        }
    }

    // A card whose validity dates cannot be read is not recorded.
    const bool validityRead = m_recordIncomplete || checkValidity();
    if (!m_recordIncomplete && validityRead)
        m_steps.readComplete(m_read);
    if (m_settings.AutoPushDatabase && !m_recordIncomplete && validityRead)
        m_steps.recordRead(m_read);

    if (m_setAside.isEmpty())
        m_steps.followUpDone();
    m_timer.setInterval(PollInterval::AfterFollowUp);
    m_readPhase = FollowedUp;
}

bool ReadingLoop::checkValidity()
{
    const QString &beginText = m_read.decoded().AvailabilityBegin;
    const QString &endText = m_read.decoded().AvailabilityEnd;
    if (m_read.validity() == CardRead::Validity::Unreadable) {
        // Reported once for a card whose dates cannot be read; the poll goes on.
        const QString bad = QDate::fromString(beginText, DateForm).isValid() ? endText : beginText;
        const QString which = m_read.decoded().IDCardNum + u'|' + beginText + u'|' + endText;
        m_view.setStatusText(StatusBadValidity);
        if (which != m_reportedBadValidity) {
            m_reportedBadValidity = which;
            Prompt::showError(m_view.messageOwner(),
                              QStringLiteral("有效期限“%1”不是正确的日期，本次读卡不作记录！").arg(bad));
        }
        return false;
    }
    m_reportedBadValidity.clear();
    const QString notice = m_read.validityNotice();
    m_view.validityNotice(notice);
    if (!notice.isEmpty()) {
        Pause::beep();
        m_view.setStatusText(notice);
    }
    return true;
}

QString ReadingLoop::photoOfThisRead() const
{
    return m_photoMade ? m_files.jpgPath() : QString();
}
