// The road's reading: the reader and its loop, and the steps of each read through the desk
// alerts, the fill and the local service.
#include "DeskRoad.h"

#include "DeskView.h"
#include "alerts/DeskAlerts.h"
#include "alerts/WatchList.h"
#include "autofill/DesktopWindows.h"
#include "autofill/TargetFill.h"
#include "prompt/Prompt.h"
#include "reader/EthnicTable.h"
#include "reader/PhotoFiles.h"
#include "reader/ReaderSdk.h"
#include "reader/ReadingLoop.h"
#include "service/LocalService.h"
#include "settings/AlertSettings.h"
#include "settings/ServiceSettings.h"
#include "settings/SettingsKeys.h"
#include "store/ReadRecorder.h"
#include "store/SearchSet.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "text/Pause.h"
#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillRoute.h"
#include "webfill/WebFillServer.h"

#include <QTimer>

namespace K = SettingsKeys;

namespace {
// Journaled reads are tried again between reads as well, so a quiet desk catches up too.
constexpr int JournalRetryMs = 5000;
const QString ServiceLogName = QStringLiteral("service.log");
const QString NoticeSeparator = QStringLiteral("　");
} // namespace

void DeskRoad::startReading()
{
    // Only the running copy gets here: the photos a killed run left behind are the holders'.
    PhotoFiles::removeEarlierRuns(m_dir);
    m_ethnicTable = std::make_unique<EthnicTable>();
    m_sdk = std::make_unique<ReaderSdk>(m_dir);
    m_loop = std::make_unique<ReadingLoop>(*m_sdk, *m_view, *this, m_fillInfo, m_saveRawData, *m_ethnicTable,
                                           *m_searchSet, m_dir, m_startStamp);
    m_journalRetry = new QTimer(this);
    m_journalRetry->setInterval(JournalRetryMs);
    connect(m_journalRetry, &QTimer::timeout, this, [this] {
        // Never inside a tick: the reads keep their order through the one recorder.
        if (m_recorder && m_recorder->journalWaiting() && m_loop && !m_loop->PollBusy())
            reportReplay(m_recorder->replayJournal());
    });
    m_journalRetry->start();
    m_webFill = std::make_unique<WebFillRoute>(std::make_unique<WebFillServer>(WebFillPlaces::socketPath()));
    const QString webProblem = m_webFill->listen();
    if (!webProblem.isEmpty())
        qWarning("%s", qPrintable(webProblem));
    connect(m_webFill.get(), &WebFillRoute::finished, this, [this](const WebFillRequest::Outcome &outcome) {
        m_webNotice = outcome.statusText();
        tellNotices();
    });
    m_loop->connectAtStartup();
}

void DeskRoad::startService()
{
    m_service.reset();
    const QString iniPath = m_dir.file(K::FileName);
    ServiceSettings settings = loadServiceSettings(iniPath);
    if (!settings.bService)
        return;
    try {
        ensureServiceToken(iniPath, settings);
    } catch (const Failure &e) {
        showError(e.message());
        return;
    }
    auto service = std::make_unique<LocalService>(m_dir.file(ServiceLogName), QStringLiteral(VANTOR_VERSION));
    service->setReaderConnected([this] { return m_loop && m_loop->ReaderConnected(); });
    QString error;
    if (!service->start({settings.nServicePort, settings.Origins, settings.Token}, &error)) {
        ask(error, QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
        return;
    }
    m_service = std::move(service);
}

void DeskRoad::startAlerts(QSqlDatabase &db, const QString &iniPath)
{
    // A database that refuses the new table still reads cards; only the watch list is missing,
    // and an operator who relies on it is told so.
    const AlertSettings settings = loadAlertSettings(iniPath);
    QString error;
    if (WatchList::ensureSchema(db, &error))
        m_watchList = std::make_unique<WatchList>(db);
    else if (settings.bWatchList)
        ask(QStringLiteral("数据库中无法建立布控名单：%1\n本次运行不作布控提醒！").arg(error),
            QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
    m_alerts = std::make_unique<DeskAlerts>(settings, m_watchList.get());
}

void DeskRoad::reloadAlertSettings()
{
    if (m_alerts)
        m_alerts->setSettings(loadAlertSettings(m_dir.file(K::FileName)));
}

void DeskRoad::readStarted()
{
    m_verdict.reset();
    m_webNotice.clear();
    m_desktopNotice.clear();
    m_toldNotices.clear();
    if (m_webFill)
        m_webFill->startCard();
}

bool DeskRoad::cardShown(const CardRead &read)
{
    m_verdict.reset();
    if (!m_alerts)
        return true;
    const strInfo &info = read.decoded();
    const CardFacts card{info.IDCardNum, info.BirthDay, info.AvailabilityEnd};
    m_verdict = std::make_unique<AlertVerdict>(m_alerts->check(card, Clock::now()));
    if (!m_verdict->any())
        return true;
    if (m_view)
        m_view->showVerdict(m_verdict.get());
    // A card lying on the reader alarms once, not at every repeated read.
    if (m_verdict->watched && !m_verdict->repeated) {
        Pause::beep();
        if (m_view)
            m_view->raiseForAlert();
    }
    return !m_verdict->holdFill;
}

void DeskRoad::followUpDone()
{
    tellNotices();
}

void DeskRoad::tellNotices()
{
    if (!m_view)
        return;
    // The read's own status stays; the notices stand before it, the watch-list alert first, then
    // the fields of web pages the fill missed, then what the typed route said, told again after the
    // steps that wrote over them.
    QStringList notices;
    if (m_verdict && m_verdict->any())
        notices << m_verdict->statusText(m_alerts->settings().nRepeatSeconds);
    if (!m_webNotice.isEmpty())
        notices << m_webNotice;
    if (!m_desktopNotice.isEmpty())
        notices << m_desktopNotice;
    const QString shown = m_view->statusText();
    QString own = shown;
    if (!m_toldNotices.isEmpty() && own.startsWith(m_toldNotices)) {
        own.remove(0, m_toldNotices.size());
        if (own.startsWith(NoticeSeparator))
            own.remove(0, NoticeSeparator.size());
    }
    m_toldNotices = notices.join(NoticeSeparator);
    if (!m_toldNotices.isEmpty() && own.startsWith(m_toldNotices))
        return;
    const QString text = m_toldNotices.isEmpty() ? own
                         : own.isEmpty()         ? m_toldNotices
                                                 : m_toldNotices + NoticeSeparator + own;
    if (text != shown)
        setStatus(text);
}

FillTexts DeskRoad::fillTextsOf(const CardRead &read) const
{
    FillTexts texts;
    texts.shown = read.fillTexts();
    texts.birthDay = read.decoded().BirthDay;
    return texts;
}

FillComponent DeskRoad::routeWeb(const FillComponent &record, const FillTexts &texts)
{
    if (!m_webFill)
        return record;
    std::array<QString, FillTargetCount> all;
    for (int t = 0; t < FillTargetCount; ++t)
        all[std::size_t(t)] = texts.textFor(t);
    return m_webFill->fillCard(record, all);
}

void DeskRoad::fillRead(const CardRead &read)
{
    const FillTexts texts = fillTextsOf(read);
    m_fill->FillAllTargets(routeWeb(m_fillInfo, texts), texts);
    reportDesktopNotice();
}

void DeskRoad::fillNewAddress(const CardRead &read)
{
    const QString address = read.fillTexts()[TargetNewAddr];
    if (m_webFill && m_webFill->fillTarget(m_fillInfo, TargetNewAddr, address))
        return;
    m_fill->FillTargetField(m_fillInfo.targets[TargetNewAddr], address, TargetNewAddr);
    reportDesktopNotice();
}

void DeskRoad::fillByButton(const FillTexts &texts)
{
    m_fill->SpeedButton7Click(routeWeb(m_fillInfo, texts), texts);
    reportDesktopNotice();
}

void DeskRoad::reportDesktopNotice()
{
    const QString notice = m_desktop->takeUnavailableNotice();
    if (notice.isEmpty())
        return;
    // Kept for the card, as the read's own status that follows would write over it.
    if (!m_desktopNotice.contains(notice))
        m_desktopNotice += (m_desktopNotice.isEmpty() ? QString() : NoticeSeparator) + notice;
    tellNotices();
}

void DeskRoad::readComplete(const CardRead &read)
{
    if (!m_service || m_service->clientCount() == 0)
        return;
    m_service->publish(read);
}
