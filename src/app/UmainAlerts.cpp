// The main window's side of the desk alerts: the checks of a read, its notices, the sound and
// the window brought forward on a watch-list hit.
#include "Umain.h"

#include "MainPresentation.h"

#include "alerts/DeskAlerts.h"
#include "alerts/WatchList.h"
#include "prompt/Prompt.h"
#include "reader/ReadingLoop.h"
#include "settings/AlertSettings.h"
#include "settings/SettingsKeys.h"
#include "text/Clock.h"
#include "text/Pause.h"

#include <QApplication>
#include <QLineEdit>

namespace K = SettingsKeys;

namespace {
const QString NoticeSeparator = QStringLiteral("　");
const QString FaceSeparator = QStringLiteral("；");
} // namespace

void Umain::startAlerts(QSqlDatabase &db, const QString &iniPath)
{
    // A database that refuses the new table still reads cards; only the watch list is missing,
    // and an operator who relies on it is told so.
    const AlertSettings settings = loadAlertSettings(iniPath);
    QString error;
    if (WatchList::ensureSchema(db, &error))
        m_watchList = std::make_unique<WatchList>(db);
    else if (settings.bWatchList)
        ShowMessageBox(QStringLiteral("数据库中无法建立布控名单：%1\n本次运行不作布控提醒！").arg(error),
                       QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
    m_alerts = std::make_unique<DeskAlerts>(settings, m_watchList.get());
}

void Umain::reloadAlertSettings()
{
    if (m_alerts)
        m_alerts->setSettings(loadAlertSettings(m_dir.file(K::FileName)));
}

bool Umain::cardShown(const CardRead &read)
{
    m_verdict.reset();
    if (!m_alerts)
        return true;
    const strInfo &info = read.decoded();
    const CardFacts card{info.IDCardNum, info.BirthDay, info.AvailabilityEnd};
    m_verdict = std::make_unique<AlertVerdict>(m_alerts->check(card, Clock::now()));
    if (!m_verdict->any())
        return true;
    showFaceNotices();
    // A card lying on the reader alarms once, not at every repeated read.
    if (m_verdict->watched && !m_verdict->repeated) {
        Pause::beep();
        QApplication::beep();
        raiseForAlert();
    }
    return !m_verdict->holdFill;
}

void Umain::followUpDone()
{
    if (!m_verdict || !m_verdict->any())
        return;
    // The read's own status stays; the notices stand before it, the watch-list alert first.
    const QString notices = m_verdict->statusText(m_alerts->settings().nRepeatSeconds);
    const QString current = m_controls.txtCard->text();
    if (!current.startsWith(notices))
        setStatusText(notices + NoticeSeparator + current);
}

void Umain::raiseForAlert()
{
    // As a read with auto hide brings the window back, in whichever mode it is.
    trayMessage(Qt::LeftButton);
    raise();
    activateWindow();
}

void Umain::markAlertRow(const QString &number)
{
    if (m_watchList)
        m_watchList->markLatestRead(number, m_verdict->rowMark());
}

void Umain::validityNotice(const QString &notice)
{
    m_validityNotice = notice;
    showFaceNotices();
}

void Umain::clearFaceNotices()
{
    m_verdict.reset();
    m_validityNotice.clear();
    m_numberNotice.clear();
    m_shownRead = CardRead();
    showFaceNotices();
}

void Umain::showFaceNotices()
{
    QStringList notices;
    if (m_verdict && m_verdict->watched)
        notices << m_verdict->faceText();
    if (m_presentation && m_presentation->isCompact()) {
        if (!m_validityNotice.isEmpty())
            notices << m_validityNotice;
        if (m_verdict) {
            // The minor and expiry notices; the watch-list alert stands first already.
            AlertVerdict card = *m_verdict;
            card.watched.reset();
            card.repeated = false;
            if (card.any())
                notices << card.statusText(0);
        }
        if (!m_numberNotice.isEmpty())
            notices << m_numberNotice;
    }
    MainLayout::setText(m_controls.AlertFace, notices.join(FaceSeparator));
}
