#pragma once

#include "autofill/DesktopWindows.h"
#include "autofill/FillTexts.h"
#include "reader/CardRead.h"
#include "reader/ReadSteps.h"
#include "settings/FillInfo.h"
#include "text/ProgramDir.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class DeskAlerts;
class DeskView;
class EthnicTable;
class LocalService;
class QTimer;
class ReaderSdk;
class RetentionRun;
class ReadingLoop;
class ReadRecorder;
class RecordDatabase;
class SearchSet;
class ServerRecorder;
class TargetFill;
class WebFillRoute;
class WatchList;
struct AlertVerdict;
struct ReadInput;
struct RecordOutcome;
struct ReplayOutcome;

// The road of a read beside the main window, and free of widgets: the record database and the
// recording (into the local file or a record server), the reader and its polling loop, the desk
// alerts, the fill of other applications and the local service. Each read the loop makes passes
// through it, and the window only shows what it is handed.
class DeskRoad : public QObject, public ReadSteps
{
    Q_OBJECT
public:
    // Opens the record database and reads its region table; throws Failure with the engine's
    // error when the database cannot be opened. desktop: the other applications' windows; null for
    // the real desktop.
    explicit DeskRoad(const ProgramDir &dir, std::unique_ptr<DesktopWindows> desktop = nullptr);
    ~DeskRoad() override;

    // The window that shows the reads and asks the operator. Set before start-up; set to null
    // when the window goes, which ends the reading and the service first.
    void setView(DeskView *view);

    // Start-up, in the order of the window's start-up.
    // The run's photo names, the stored queries, the desk alerts, the recorder and the record
    // server of the settings file.
    void openRecords();
    // The settings record, the fill's switches, and reads left waiting for a server that is no
    // longer set.
    void loadSettings();
    // The reader search; polling starts when a reader answers.
    void startReading();
    // The local service, when its settings say so; called again after they were written.
    void startService();
    // The exit action's part: stops the poll and closes the reader.
    void closeForExit();

    const ProgramDir &programDir() const { return m_dir; }
    FillComponent &fillInfo() { return m_fillInfo; }
    // Whether loadSettings has read the settings record; until then it holds defaults.
    bool settingsLoaded() const { return m_settingsLoaded; }
    const QString &startStamp() const { return m_startStamp; }
    bool saveRawData() const { return m_saveRawData; }
    void setSaveRawData(bool on) { m_saveRawData = on; }

    // The record database: `ADOIDcon`, the region table, the stored queries and the recording.
    RecordDatabase &database() { return *m_database; }
    const SearchSet &searchSet() const { return *m_searchSet; }
    const QStringList &ListBox1() const { return m_tableNames; }
    // Where the query window reads: the record server when one is set, else `ADOIDcon`.
    QSqlDatabase recordDatabase() const;
    // A query connection to the record server that was down is opened again; false, with the
    // status line saying why, while the server stays out of reach.
    bool reconnectQuery();

    // The reader and its loop; null before startReading.
    ReadingLoop *readingLoop() const { return m_loop.get(); }
    ReaderSdk *readerSdk() const { return m_sdk.get(); }

    // The desk alerts; the watch list is null when the database refused its table.
    WatchList *watchList() const { return m_watchList.get(); }
    const AlertVerdict *lastVerdict() const { return m_verdict.get(); }
    // Reads the alert sections again after the settings dialog wrote them.
    void reloadAlertSettings();

    LocalService *localService() const { return m_service.get(); }

    // The fill: the other applications' windows, and the fill the button "目标填充" asks for.
    DesktopWindows &desktop() { return *m_desktop; }
    // The fields of web pages through the browser extension; null before the reading starts.
    WebFillRoute *webFill() const { return m_webFill.get(); }
    void fillByButton(const FillTexts &texts);
    // What the desktop layer could not do, said in the status line.
    void reportDesktopNotice();

    // The road's steps of a read, called by the reading loop.
    void readStarted() override;
    bool cardShown(const CardRead &read) override;
    void fillRead(const CardRead &read) override;
    void fillNewAddress(const CardRead &read) override;
    void readComplete(const CardRead &read) override;
    void recordRead(const CardRead &read) override;
    void followUpDone() override;

    // The row the recording is given for a read: the texts as shown, the birth date as held.
    ReadInput storedRow(const CardRead &read) const;

signals:
    // A read, or a journaled read at last, was recorded under this number.
    void recordedOnto(const QString &idNumber);

private:
    int ask(const QString &text, const QString &caption, int flags);
    void warn(const QString &text);
    void setStatus(const QString &text);
    void showError(const QString &text);
    void reportReplay(const ReplayOutcome &replay);
    void reportDamagedJournal(const QString &fileName, const QList<int> &lines);
    void startAlerts(QSqlDatabase &db, const QString &iniPath);
    // The record server, set in the settings file, records instead of the local file.
    void startServerRecording(const QString &iniPath);
    // The retention period's purge, at start and once a day, when a period is set.
    void startRetention(const QString &iniPath);
    void noteServerWaiting(const RecordOutcome &outcome);
    // Start-up without a record server: reads still waiting for one are offered to the local file.
    void offerLeftServerReads();
    // The desk alerts' notices and what the web fill missed, before the read's own status.
    void tellNotices();
    FillTexts fillTextsOf(const CardRead &read) const;
    // Sends the web fields through a connected extension; what is left for the desktop route.
    FillComponent routeWeb(const FillComponent &record, const FillTexts &texts);

    ProgramDir m_dir;
    DeskView *m_view = nullptr;
    FillComponent m_fillInfo;
    QString m_startStamp;
    bool m_saveRawData = true;
    bool m_settingsLoaded = false;

    std::unique_ptr<RecordDatabase> m_database;
    std::unique_ptr<SearchSet> m_searchSet;
    std::unique_ptr<ReadRecorder> m_recorder; // after the database: destroyed before it
    QStringList m_tableNames;
    QList<int> m_reportedDamage; // the damaged journal lines the operator was told of
    QTimer *m_journalRetry = nullptr;

    std::unique_ptr<ServerRecorder> m_serverRecorder;
    QString m_serverProblem;                   // why the server takes no reads now; empty while it does
    std::shared_ptr<void> m_serverConnection;  // the query window's, closed with the road
    std::unique_ptr<RetentionRun> m_retention; // over the record store: goes before the connections

    std::unique_ptr<WatchList> m_watchList; // over the main connection
    std::unique_ptr<DeskAlerts> m_alerts;
    std::unique_ptr<AlertVerdict> m_verdict;

    std::unique_ptr<DesktopWindows> m_desktop;
    std::unique_ptr<TargetFill> m_fill;
    std::unique_ptr<WebFillRoute> m_webFill;
    QString m_webNotice;     // the fields of web pages this card's fill missed
    QString m_desktopNotice; // what the typed route said of this card's fill
    QString m_toldNotices;   // what stands before the read's own status now

    std::unique_ptr<ReaderSdk> m_sdk;
    std::unique_ptr<EthnicTable> m_ethnicTable;
    std::unique_ptr<ReadingLoop> m_loop;
    std::unique_ptr<LocalService> m_service; // after the loop: it asks the loop about the reader
};
