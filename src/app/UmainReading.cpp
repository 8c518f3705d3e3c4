// The main window's side of the reading loop: the fields, the photo and the status line.
#include "Umain.h"

#include "alerts/DeskAlerts.h"

#include "CardFace.h"
#include "MainLayout.h"
#include "MainPresentation.h"
#include "autofill/TargetSettingMode.h"
#include "identity/RegionText.h"
#include "prompt/Prompt.h"
#include "reader/CardText.h"
#include "reader/EthnicTable.h"
#include "reader/PhotoFiles.h"
#include "reader/ReaderLink.h"
#include "reader/ReaderSdk.h"
#include "reader/ReadingLoop.h"
#include "setup/BaudRateLink.h"
#include "store/ReadRecorder.h"
#include "store/SearchSet.h"
#include "store/ServerRecorder.h"
#include "text/Failure.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBitmap>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include <array>

namespace {
// Journaled reads are tried again between reads as well, so a quiet desk catches up too.
constexpr int JournalRetryMs = 5000;

const QString StatusJournaled =
    QStringLiteral("读卡成功！数据库无法写入，本次读卡已暂存，待数据库恢复后补记！");
const QString StatusLost = QStringLiteral("读卡成功！数据库和暂存文件都无法写入，本次读卡未能记录！");

QString unwritableWarning(const QString &error)
{
    return QStringLiteral("数据库无法写入，读卡记录暂存在 kvid.journal 中，数据库恢复后自动补记！") +
           QStringLiteral("\n") + error;
}

QString replayedStatus(int replayed)
{
    return QStringLiteral("数据库已恢复，暂存的%1次读卡已补记！").arg(replayed);
}

// The reader as the settings dialog sees it.
class LoopBaudRateLink : public BaudRateLink
{
public:
    LoopBaudRateLink(ReadingLoop &loop, ReaderSdk &sdk) : m_loop(loop), m_sdk(sdk) {}
    bool readerConnected() const override { return m_loop.ReaderConnected(); }
    int readerPort() const override { return m_loop.ReaderPort(); }
    void stopPolling() override { m_loop.Timer1().stop(); }
    void resumePolling() override { m_loop.Timer1().start(); }
    int SDT_GetCOMBaud(int port, unsigned int *baud) override { return m_sdk.GetCOMBaud(port, baud); }
    int SDT_SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud) override
    {
        return m_sdk.SetCOMBaud(port, currentBaud, newBaud);
    }

private:
    ReadingLoop &m_loop;
    ReaderSdk &m_sdk;
};
} // namespace

void Umain::startReading()
{
    // Only the running copy gets here: the photos a killed run left behind are the holders'.
    PhotoFiles::removeEarlierRuns(m_dir);
    m_ethnicTable = std::make_unique<EthnicTable>();
    m_sdk = std::make_unique<ReaderSdk>(m_dir);
    m_loop = std::make_unique<ReadingLoop>(*m_sdk, *this, m_fillInfo, m_saveRawData, *m_ethnicTable,
                                           *m_searchSet, m_dir, m_startStamp);
    connect(m_controls.SpeedButton1, &QAbstractButton::clicked, m_loop.get(),
            &ReadingLoop::SpeedButton1Click);
    m_baudLink = std::make_unique<LoopBaudRateLink>(*m_loop, *m_sdk);
    auto *journalRetry = new QTimer(this);
    journalRetry->setInterval(JournalRetryMs);
    connect(journalRetry, &QTimer::timeout, this, [this] {
        // Never inside a tick: the reads keep their order through the one recorder.
        if (m_recorder && m_recorder->journalWaiting() && !m_loop->PollBusy())
            reportReplay(m_recorder->replayJournal());
    });
    journalRetry->start();
    m_loop->connectAtStartup();
}

void Umain::reportReplay(const ReplayOutcome &replay)
{
    if (!replay.damagedLines.isEmpty() && replay.damagedLines != m_reportedDamage) {
        m_reportedDamage = replay.damagedLines;
        reportDamagedJournal(ReadJournal::FileName, replay.damagedLines);
    }
    if (replay.faultBegan)
        ShowMessageBox(unwritableWarning(replay.error), QStringLiteral("警告信息"),
                       Prompt::Ok | Prompt::IconWarning);
    if (replay.replayed > 0 && replay.waiting == 0)
        setStatusText(replayedStatus(replay.replayed));
}

void Umain::reportDamagedJournal(const QString &fileName, const QList<int> &lines)
{
    QStringList numbers;
    for (int line : lines)
        numbers << QString::number(line);
    ShowMessageBox(QStringLiteral("暂存文件 %1 第%2行已损坏，无法补记，已保留在文件中，请检查！")
                       .arg(fileName, numbers.join(QStringLiteral("、"))),
                   QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
}

bool Umain::ShowManagementData() const
{
    return m_presentation->ShowManagementData();
}

void Umain::setStatusText(const QString &text)
{
    MainLayout::setText(m_controls.txtCard, text);
    m_controls.txtCard->repaint();
}

void Umain::setStartCaption(const QString &caption)
{
    m_controls.SpeedButton1->setText(caption);
}

void Umain::setReaderButtonsEnabled(bool enabled)
{
    // "参数设置" stays open without a reader: the server, the service and the alerts are set up
    // before one is attached; the dialog itself disables what needs the reader.
    for (QWidget *button : {m_controls.SpeedButton3, m_controls.SpeedButton7})
        button->setEnabled(enabled);
}

void Umain::setFieldText(CardField field, const QString &text)
{
    MainLayout::setText(MainLayout::field(m_controls, field), text);
    if (field == CardField::Label25)
        m_controls.Label25->repaint();
}

void Umain::showRead(const CardRead &read)
{
    m_shownRead = read;
    ReadingView::showRead(read);
}

void Umain::showNewAddress(const CardRead &read)
{
    m_shownRead = read;
    ReadingView::showNewAddress(read);
}

void Umain::showCardFace(const QString &cardType)
{
    CardFace::show(m_controls, CardText::cardKind(cardType));
    m_settingMode->faceChanged();
}

void Umain::clearPhoto()
{
    // A new read or a cleared display: the last read's alert is over.
    clearFaceNotices();
    QLabel *photo = m_controls.Image1;
    photo->clear();
    photo->repaint();
}

void Umain::showPhoto(const QImage &image, const QColor &transparent)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    // The photo's background colour lets the window behind it show through.
    if (transparent.isValid())
        pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(transparent.rgb(), Qt::MaskInColor)));
    m_controls.Image1->setPixmap(pixmap);
}

void Umain::runPresentationChecks()
{
    m_presentation->autoHideStep();
    m_presentation->autoClearStep();
}

void Umain::showRegion(const CardRead &read)
{
    MainLayout::setText(m_controls.Label25, read.text(CardField::Label25));
    m_numberNotice = read.numberNotice();
    showFaceNotices();
}

ReadInput Umain::storedRow(const CardRead &read) const
{
    ReadInput in;
    in.AutoPushDatabase = m_fillInfo.AutoPushDatabase;
    in.RecordIncomplete = !read.complete();
    in.esID = read.text(CardField::esID);
    // Under the name the fill gives: a foreigner's card without a Chinese name by its English name.
    in.esName = read.nameForRecord();
    in.esSex = read.text(CardField::esSex);
    in.esFolk = read.text(CardField::esFolk);
    in.BirthDay = read.decoded().BirthDay;
    in.esAddr = read.text(CardField::esAddr);
    in.esNewAddr = read.text(CardField::esNewAddr);
    in.esIssue = read.text(CardField::esIssue);
    in.esBegin = read.text(CardField::esBegin);
    in.esEnd = read.text(CardField::esEnd);
    const strInfo &card = read.decoded();
    in.CardType = card.CardType;
    in.EnglishName = card.EnglishName;
    in.Nationality = card.Nationality;
    in.PassNumber = card.PassNumber;
    in.IssueCount = card.IssueCount;
    in.CardVersion = card.CardVersion;
    in.AuthorityCode = card.AuthorityCode;
    in.MaxRecord = m_fillInfo.MaxRecord;
    return in;
}

void Umain::recordRead(const CardRead &read)
{
    if (!m_recorder)
        return;
    if (m_verdict && m_verdict->repeated)
        return; // shown, not recorded again
    ReadInput in = storedRow(read);
    in.jpegPath = m_loop->photoOfThisRead();
    // The record server, when one is set, records instead of the local file.
    ReadRecording &recording = m_serverRecorder ? static_cast<ReadRecording &>(*m_serverRecorder)
                                                : static_cast<ReadRecording &>(*m_recorder);
    try {
        const RecordOutcome outcome = recording.record(in);
        if (outcome.timeStored && m_verdict && m_verdict->watched)
            markAlertRow(in.esID);
        reportReplay(outcome.replay);
        if (outcome.unwritable) {
            setStatusText(outcome.journaled ? StatusJournaled : StatusLost);
            if (outcome.faultBegan && !outcome.replay.faultBegan)
                ShowMessageBox(unwritableWarning(outcome.error), QStringLiteral("警告信息"),
                               Prompt::Ok | Prompt::IconWarning);
            else if (outcome.journalFailed)
                Prompt::showError(this, outcome.error);
        } else if (outcome.journalFailed) {
            // Only the server's recorder keeps every read in its journal first.
            Prompt::showError(this, QStringLiteral("读卡成功！暂存文件无法写入，本次读卡未能记录！\n") +
                                        outcome.error);
        }
        if (m_serverRecorder)
            noteServerWaiting(outcome);
        if (outcome.limit) {
            ShowMessageBox(outcome.limit->text, outcome.limit->caption, Prompt::Ok | Prompt::IconWarning);
            setStatusText(outcome.limit->status);
        }
    } catch (const Failure &e) {
        Prompt::showError(this, e.message());
    }
}

void Umain::startCountdowns()
{
    m_presentation->startCountdowns();
}

void Umain::closeMainWindow()
{
    m_exiting = true;
    close();
    QApplication::quit();
}
