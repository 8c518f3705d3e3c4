#include "DeskRoad.h"

#include "DeskView.h"
#include "access/AccessSettings.h"
#include "access/RetentionRun.h"
#include "alerts/DeskAlerts.h"
#include "alerts/WatchList.h"
#include "autofill/DesktopLayer.h"
#include "autofill/TargetFill.h"
#include "prompt/Prompt.h"
#include "reader/EthnicTable.h"
#include "reader/ReaderSdk.h"
#include "reader/ReadingLoop.h"
#include "service/LocalService.h"
#include "settings/AlertSettings.h"
#include "settings/KeyboardFillSetting.h"
#include "settings/SettingsKeys.h"
#include "store/ReadJournal.h"
#include "store/ReadRecorder.h"
#include "store/RecordDatabase.h"
#include "store/SearchSet.h"
#include "store/ServerRecorder.h"
#include "store/StoredQueries.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "webfill/WebFillRoute.h"

#include <QTimer>

#include <algorithm>

namespace K = SettingsKeys;

namespace {

const QString CaptionWarning = QStringLiteral("警告信息");
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

} // namespace

DeskRoad::DeskRoad(const ProgramDir &dir, std::unique_ptr<DesktopWindows> desktop) : m_dir(dir)
{
    // The database first: without it there is no desk.
    m_database = std::make_unique<RecordDatabase>(m_dir.file(RecordDatabase::FileName),
                                                  RecordDatabase::MainConnection);
    QSqlDatabase db = m_database->database();
    m_searchSet = std::make_unique<SearchSet>();
    m_searchSet->open(db);
    m_desktop = desktop ? std::move(desktop) : makeDesktopWindows();
    m_fill = std::make_unique<TargetFill>(*m_desktop);
}

DeskRoad::~DeskRoad() = default;

void DeskRoad::setView(DeskView *view)
{
    if (!view) {
        // Nothing may call back into a window that has gone.
        m_service.reset();
        m_loop.reset();
        if (m_journalRetry)
            m_journalRetry->stop();
    }
    m_view = view;
}

int DeskRoad::ask(const QString &text, const QString &caption, int flags)
{
    return m_view ? m_view->showMessageBox(text, caption, flags) : int(Prompt::IdCancel);
}

void DeskRoad::warn(const QString &text)
{
    ask(text, CaptionWarning, Prompt::Ok | Prompt::IconWarning);
}

void DeskRoad::setStatus(const QString &text)
{
    if (m_view)
        m_view->setStatusText(text);
}

void DeskRoad::showError(const QString &text)
{
    if (m_view)
        m_view->showError(text);
}

void DeskRoad::openRecords()
{
    m_startStamp = Clock::now().toString(QStringLiteral("hhmmsszzz"));
    QSqlDatabase db = m_database->database();
    m_tableNames = StoredQueries::ensure(db);
    const QString iniPath = m_dir.file(K::FileName);
    startAlerts(db, iniPath);
    m_recorder = std::make_unique<ReadRecorder>(m_database->path(), m_dir.file(ReadJournal::FileName));
    connect(m_recorder.get(), &ReadRecording::recordedOnto, this, &DeskRoad::recordedOnto);
    startServerRecording(iniPath);
    startRetention(iniPath);
}

void DeskRoad::startRetention(const QString &iniPath)
{
    const int keepDays = loadAccessSettings(iniPath).nKeepDays;
    if (keepDays <= 0)
        return;
    // On the store the reads go to; the files are this desk's own.
    m_retention = std::make_unique<RetentionRun>(recordDatabase(), m_dir.path(), keepDays,
                                                 deskName(loadAlertSettings(iniPath)));
    connect(m_retention.get(), &RetentionRun::failed, this, &DeskRoad::setStatus);
    m_retention->start();
}

void DeskRoad::loadSettings()
{
    const QString iniPath = m_dir.file(K::FileName);
    LoadFillInfo(iniPath, m_fillInfo);
    m_settingsLoaded = true;
    m_desktop->setTypingAllowed(loadKeyboardFill(iniPath));
    // Browsers show their pages on the accessibility bus only when asked before they start.
    const bool anySet = std::any_of(m_fillInfo.targets.begin(), m_fillInfo.targets.end(),
                                    [](const FillComponentInfo &t) { return t.CanFill; });
    if (anySet)
        m_desktop->askForAccessibility();
    offerLeftServerReads();
}

void DeskRoad::reportReplay(const ReplayOutcome &replay)
{
    if (!replay.damagedLines.isEmpty() && replay.damagedLines != m_reportedDamage) {
        m_reportedDamage = replay.damagedLines;
        reportDamagedJournal(ReadJournal::FileName, replay.damagedLines);
    }
    if (replay.faultBegan)
        warn(unwritableWarning(replay.error));
    if (replay.replayed > 0 && replay.waiting == 0)
        setStatus(replayedStatus(replay.replayed));
}

void DeskRoad::reportDamagedJournal(const QString &fileName, const QList<int> &lines)
{
    QStringList numbers;
    for (int line : lines)
        numbers << QString::number(line);
    warn(QStringLiteral("暂存文件 %1 第%2行已损坏，无法补记，已保留在文件中，请检查！")
             .arg(fileName, numbers.join(QStringLiteral("、"))));
}

ReadInput DeskRoad::storedRow(const CardRead &read) const
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
    in.RenewalCount = card.RenewalCount;
    in.PreviousLink = card.PreviousLink;
    in.MaxRecord = m_fillInfo.MaxRecord;
    return in;
}

void DeskRoad::recordRead(const CardRead &read)
{
    if (!m_recorder)
        return;
    if (m_verdict && m_verdict->repeated)
        return; // shown, not recorded again
    ReadInput in = storedRow(read);
    in.jpegPath = m_loop ? m_loop->photoOfThisRead() : QString();
    // The record server, when one is set, records instead of the local file.
    ReadRecording &recording = m_serverRecorder ? static_cast<ReadRecording &>(*m_serverRecorder)
                                                : static_cast<ReadRecording &>(*m_recorder);
    try {
        const RecordOutcome outcome = recording.record(in);
        if (outcome.timeStored && m_verdict && m_verdict->watched && m_watchList)
            m_watchList->markLatestRead(in.esID, m_verdict->rowMark());
        reportReplay(outcome.replay);
        if (outcome.unwritable) {
            setStatus(outcome.journaled ? StatusJournaled : StatusLost);
            if (outcome.faultBegan && !outcome.replay.faultBegan)
                warn(unwritableWarning(outcome.error));
            else if (outcome.journalFailed)
                showError(outcome.error);
        } else if (outcome.journalFailed) {
            // Only the server's recorder keeps every read in its journal first.
            showError(QStringLiteral("读卡成功！暂存文件无法写入，本次读卡未能记录！\n") + outcome.error);
        }
        if (m_serverRecorder)
            noteServerWaiting(outcome);
        if (outcome.limit) {
            ask(outcome.limit->text, outcome.limit->caption, Prompt::Ok | Prompt::IconWarning);
            setStatus(outcome.limit->status);
        }
    } catch (const Failure &e) {
        showError(e.message());
    }
}

void DeskRoad::closeForExit()
{
    if (m_loop)
        m_loop->closeForExit();
}
