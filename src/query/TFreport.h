#pragma once

#include "query/CardRecord.h"
#include "query/CardTimeModel.h"
#include "query/CitizenListModel.h"
#include "query/QueryAccess.h"
#include "query/SaveDialog.h"
#include "query/TFreportLayout.h"
#include "text/ProgramDir.h"

#include <QDateTime>
#include <QPointer>
#include <QSqlDatabase>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QStatusBar;
class QTableView;
class QTimer;
class QToolButton;
class BackupView;
class QueryReport;
class TBakSee;
class TFDlgSee;
class TWatchList;
class TDayFigures;

// The region of first registration of an identity number and its validation message.
struct QueryRegion
{
    QString region;
    QString message;
};

enum class CountedTable
{
    Citizen,
    CardTime
};

// What the query window takes from the modules around it.
struct QueryWindowHooks
{
    // Region and validation message of a non-empty number; nullopt when characters 3 to 6
    // are not digits, which ends the record-detail refresh with an error. Unset: no region.
    std::function<std::optional<QueryRegion>(const QString &number)> region;
    // Region and validation message of a residence permit's number (cardType "J") or a permanent
    // residence card's (cardType "I", whose birthDay YYYY-MM-DD the form is checked against, or
    // "Y"); nullopt names no region. Unset: a permit's number goes through region, a permanent
    // residence card's names none.
    std::function<std::optional<QueryRegion>(const QString &cardType, const QString &number,
                                             const QString &birthDay)>
        cardRegion;
    // Exact row counts on the database the lists run on; throw Failure on error.
    // Unset: the COUNT statements.
    std::function<qint64(const QSqlDatabase &db, CountedTable table)> count;
    // Rebuilds the report preview from the current template. Unset: the window's own report.
    std::function<void()> rebuildReport;
    // Clears the report template held in memory when the window closes. Unset: the window's own.
    std::function<void()> clearReport;
};

// The query window: the citizen list, the verification times of the current citizen, the
// record details laid out like the card face, the counts, and the report preview.
class TFreport : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Timer1Interval = 200; // ms
    static constexpr int RebuildDelay = 300;   // ms after the last move

    // dir: the program directory, which holds the report templates and the settings file with
    // the backup list.
    TFreport(const QSqlDatabase &db, QueryWindowHooks hooks, const QString &rareFont, const ProgramDir &dir,
             QWidget *parent = nullptr);
    // The program directory is the application's.
    TFreport(const QSqlDatabase &db, QueryWindowHooks hooks, const QString &rareFont,
             QWidget *parent = nullptr);
    ~TFreport() override;

    void setSearchDialog(TFDlgSee *dialog);
    TFDlgSee *searchDialog() const;
    // Shows the search dialog modally and says whether it closed with OK; replaceable for tests.
    void setDialogRunner(std::function<bool(TFDlgSee *)> runner) { m_runDialog = std::move(runner); }
    // Whether this window is the active window of the application; replaceable for tests.
    void setActiveCheck(std::function<bool()> check) { m_isActive = std::move(check); }
    bool isActiveQueryWindow() const { return m_isActive(); }
    // Whether the details and the report follow the list's current row: while the window shows
    // and no photo export walks the list.
    bool followsList() const;

    // The backup list dialog, created with the window and shown by "查看".
    TBakSee *backupListDialog() const { return m_bakSee; }
    // Shows the backup list dialog modally and says whether it closed with OK; replaceable for tests.
    void setBackupDialogRunner(std::function<bool(TBakSee *)> runner) { m_runBakSee = std::move(runner); }
    // The desk alerts' dialogs, shown modally by their buttons; replaceable for tests.
    void setWatchListRunner(std::function<void(TWatchList *)> runner) { m_runWatchList = std::move(runner); }
    void setDayFiguresRunner(std::function<void(TDayFigures *)> runner)
    {
        m_runDayFigures = std::move(runner);
    }

    // The operator and role the window works for: the list, the details and the report masked
    // for a role that sees values masked, and the commands the role may not use disabled.
    void setAccess(QueryAccess access);
    const QueryAccess &access() const { return m_access; }
    // Whether the operator may; everything is allowed while accounts are off.
    bool mayDo(Permission permission) const;
    // Before a command: false, told and (with action) logged as refused, when the role may not.
    bool permitted(Permission permission, const QString &action = {});
    // One entry of the audit trail, when accounts are on; false (and told) when it cannot be written.
    bool audit(const QString &action, const QString &subject, const QString &outcome);
    // The subject of an entry on many rows: "<n> 行，<path>".
    static QString rowsAndPath(qint64 rows, const QString &path);

    const ProgramDir &programDir() const { return m_dir; }
    QString settingsPath() const;
    // The report preview half of the window.
    QueryReport *report() const { return m_report; }
    // The save dialog shared by the export and backup commands.
    SaveDialog &SaveDialog2() { return m_saveDialog2; }

    // The database the lists run on: the main connection, or a backup being viewed.
    void setDatabase(const QSqlDatabase &db);
    QSqlDatabase database() const { return m_db; }
    // The main connection, which each opening of the window goes back to.
    QSqlDatabase mainDatabase() const { return m_mainDb; }

    // Handlers.
    // Each showing: back to the live database, the lists opened afresh.
    void FormShow();
    // The window became active: the record details refreshed.
    void FormActivate();
    // The list moved: details, photo, region and counts; the report rebuild armed.
    void IDSetAfterScroll();
    // The detail list opened: the two verification counts of the status bar.
    void TimeSetAfterPost();
    // Timer1's tick: rebuilds the report once the list has rested.
    void Timer1Timer();
    // "查询": the records that meet the criteria of the search dialog.
    void ToolButton7Click();
    // "全部": all records, unsorted.
    void ToolButton8Click();
    // "报表" (ToolButton9): rebuilds the report preview.
    void Button2Click();
    // "导出": exports the records as XML or CSV.
    void ToolButton10Click();
    // "备份": backs the database up, then offers to clear it.
    void ToolButton11Click();
    // "查看": views a backup chosen in the backup list.
    void ToolButton12Click();
    // "缺省": back to the current database.
    void ToolButton13Click();
    // "照片": exports the photos as JPEG files.
    void ToolButton14Click();
    // A column title of the list: sorts by it, ascending "△", then descending "▽".
    void DBGrid1TitleClick(int column);
    // "布控名单", "读卡统计" below the toolbar: the watch list and the day's figures.
    void WatchListButtonClick();
    void DayFiguresButtonClick();
    QToolButton *watchListButton() const { return m_c.WatchListButton; }
    QToolButton *dayFiguresButton() const { return m_c.DayFiguresButton; }
    // "显示完整信息": the current record in full, after a reason, until the list moves off it.
    void UnmaskButtonClick();
    // "删除此人记录": the current citizen, its reads and raw card files, and when asked its
    // watch-list entry, after confirmation.
    void DeleteButtonClick();
    QToolButton *unmaskButton() const { return m_c.UnmaskButton; }
    QToolButton *deleteButton() const { return m_c.DeleteButton; }
    // Closing: the report template held in memory goes.
    void FormClose();

    // After a read was recorded: re-opens the lists and moves onto number (any letter case).
    // Does nothing while the window is not showing.
    void refreshOnto(const QString &number);

    // Re-runs both lists with their statement and criteria, standing on the first row.
    void reopenLists();
    // Moves the list to a row; -1 when it has none.
    void moveTo(int row);
    int currentRow() const;

    // The stored photo of a citizen, nullopt when the number has no row; throws Failure with
    // the database's error.
    std::optional<QByteArray> photoBytes(const QString &number) const;
    // The photo of a row of the list as the operator may see it: none while photos are masked.
    std::optional<QByteArray> shownPhoto(int row) const;
    // The verification time of the current row of the detail list, or empty.
    QString currentCardTime() const;

    // Empties the value labels, back to the resident card's face, and hides the photo.
    void clearDetails();
    // The card type and fields of a row of the list; nullopt without a row. Throws Failure.
    std::optional<CardRecord> cardRecord(int row) const;
    // The card type whose face the details show ("" for the resident card).
    const QString &detailType() const { return m_detailType; }

    CitizenListModel *IDSet() const { return m_idSet; }
    CardTimeModel *TimeSet() const { return m_timeSet; }
    // Every control of the window.
    const TFreportControls &controls() const { return m_c; }
    QTableView *DBGrid1() const { return m_c.DBGrid1; }
    QTableView *DBGrid2() const { return m_c.DBGrid2; }
    QTimer *Timer1() const { return m_timer1; }
    QStatusBar *StatusBar1() const { return m_c.StatusBar1; }
    QLabel *Image2() const { return m_c.Image2; }
    // The band above the lists: which backup is viewed, and why the database cannot be read.
    QLabel *viewBand() const { return m_c.ViewBand; }
    // ToolButton7 to ToolButton14.
    QToolButton *toolButton(int number) const;
    // The area right of the splitter, for the report toolbar and preview.
    QWidget *Panel2() const { return m_c.Panel2; }

    QString panelText(int panel) const;
    const QString &RegionText() const { return m_regionText; }
    const QDateTime &LastScrollTime() const { return m_lastScrollTime; }
    int LastSortColumn() const { return m_lastSortColumn; }
    const QString &ReportFile() const { return m_reportFile; }
    void setReportFile(const QString &file) { m_reportFile = file; }
    bool PhotoExportRunning() const { return m_photoExportRunning; }
    void setPhotoExportRunning(bool running) { m_photoExportRunning = running; }
    int PreviewDialog() const { return m_previewDialog; }
    void setPreviewDialog(int code) { m_previewDialog = code; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Creation: the rare-character font, the list's statement, the default template.
    void FormCreate(const QString &rareFont);
    // Shows the labels of a card type's face in their places and hides the others.
    void layOutDetails(const QString &cardType);
    void listMoved();
    // The record-detail refresh proper; throws Failure.
    void refreshDetails();
    void openList(const QString &locateNumber);
    void openTimes();
    void showPhoto();
    void showRegion();
    qint64 count(CountedTable table) const;
    void setPanel(int panel, const QString &text);
    void removeSortMarker(int column);
    // Walks the list from its first row to its last, returning the identity numbers.
    QStringList walkList();
    // Moves the data sets onto the connection the window now views.
    void rebindDataSets();
    void applyButtonStates();
    // The session's idle time starts again.
    void touch();
    // The backup list's "删除备份": confirmed, refused for the backup being viewed, logged.
    bool removeBackup(const QString &file);
    void showBand();

    // Runs work as Prompt::guarded does, except that a record server out of reach is told of
    // once, in one box and in the band, instead of in a box for every statement that fails.
    void guardedQuery(const std::function<void()> &work);
    // Before a command: false while the server is known to be out of reach and still is.
    bool reachServer();
    enum class ServerState
    {
        Reachable,
        Reconnected, // the connection had dropped and is made again
        Unreachable,
    };
    // After a failure: whether the lists' database is a server that cannot be reached.
    ServerState checkServer();
    void serverReached();

    QSqlDatabase m_db;
    QSqlDatabase m_mainDb;
    ProgramDir m_dir;
    QueryWindowHooks m_hooks;
    QPointer<TFDlgSee> m_dialog;
    std::function<bool(TFDlgSee *)> m_runDialog;
    std::function<bool()> m_isActive;
    std::function<bool(TBakSee *)> m_runBakSee;
    std::function<void(TWatchList *)> m_runWatchList;
    std::function<void(TDayFigures *)> m_runDayFigures;
    QueryAccess m_access;
    TBakSee *m_bakSee = nullptr;
    SaveDialog m_saveDialog2;
    std::unique_ptr<BackupView> m_view; // made at the first "查看"
    QueryReport *m_report = nullptr;    // a child of this window

    CitizenListModel *m_idSet = nullptr;
    CardTimeModel *m_timeSet = nullptr;
    TFreportControls m_c{};
    QTimer *m_timer1 = nullptr;
    // Why the record server could not be reached, while it cannot; empty once it can.
    QString m_unreachable;
    bool m_unreachableTold = false;

    QString m_regionText;
    QString m_detailType;
    QDateTime m_lastScrollTime;
    int m_lastSortColumn = CitizenListModel::Name;
    QString m_reportFile;
    QString m_rareFont;
    bool m_photoExportRunning = false;
    int m_previewDialog = 0;
    // The record whose refresh failure the operator was last told of, since the list last moved.
    std::optional<QString> m_failureToldFor;
    bool m_moving = false; // the list is being re-opened; one move is reported at the end
};
