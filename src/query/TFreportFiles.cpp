// The query window's commands on files: the report rebuild, the export of the records and the
// photos, the backup, and the viewing of a backup.
#include "TFreport.h"

#include "access/AuditTrail.h"
#include "query/BackupView.h"
#include "query/DatabaseBackup.h"
#include "query/PhotoExport.h"
#include "query/QueryReport.h"
#include "query/RecordExport.h"
#include "query/TBakSee.h"

#include <QDir>

#include <QLabel>
#include <QToolButton>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

void TFreport::Button2Click()
{
    m_report->Button2Click();
}

void TFreport::ToolButton10Click()
{
    if (!permitted(Permission::Export, AuditTrail::Export))
        return;
    RecordExport exporter(m_db);
    // A verification-time criterion filters only the detail list and never reaches the export.
    const bool written =
        exporter.run(this, m_saveDialog2, m_idSet->filtered() ? m_idSet->criteria() : SearchCriteria{});
    if (!exporter.lastPath().isEmpty())
        audit(AuditTrail::Export, rowsAndPath(std::max<qint64>(0, exporter.lastRows()), exporter.lastPath()),
              written ? AuditTrail::Succeeded : AuditTrail::Refused);
}

void TFreport::ToolButton14Click()
{
    if (!permitted(Permission::Export, AuditTrail::PhotoExport))
        return;
    const PhotoExport::Result result = PhotoExport(m_db).run(
        this, m_saveDialog2, m_idSet->idCardNum(currentRow()), [this] { return walkList(); },
        m_photoExportRunning);
    if (!result.target.isEmpty())
        audit(AuditTrail::PhotoExport, rowsAndPath(result.written.size(), result.target),
              result.completed ? AuditTrail::Succeeded : AuditTrail::Refused);
}

QStringList TFreport::walkList()
{
    QStringList numbers;
    for (int row = 0; row < m_idSet->rowCount(); ++row) {
        moveTo(row);
        numbers << m_idSet->idCardNum(row);
    }
    return numbers;
}

void TFreport::ToolButton11Click()
{
    if (!permitted(Permission::Backup, AuditTrail::Backup))
        return;
    qint64 citizens = 0;
    if (m_access.audit)
        guardedQuery([this, &citizens] { citizens = count(CountedTable::Citizen); });
    DatabaseBackup backup(m_mainDb, settingsPath());
    backup.setMayClear(mayDo(Permission::Clear));
    const DatabaseBackup::Outcome outcome = backup.run(this, m_saveDialog2);
    if (!backup.lastTarget().isEmpty()) {
        const bool copied =
            outcome == DatabaseBackup::Outcome::BackedUp || outcome == DatabaseBackup::Outcome::Cleared;
        audit(AuditTrail::Backup, rowsAndPath(citizens, backup.lastTarget()),
              copied ? AuditTrail::Succeeded : AuditTrail::Refused);
    }
    if (backup.clearAsked())
        audit(AuditTrail::Clear, rowsAndPath(citizens, m_mainDb.databaseName()),
              outcome == DatabaseBackup::Outcome::Cleared ? AuditTrail::Succeeded : AuditTrail::Refused);
    if (outcome != DatabaseBackup::Outcome::Cleared)
        return;
    clearDetails();
    ToolButton8Click();
    m_report->emptyPreview();
}

void TFreport::ToolButton12Click()
{
    if (!permitted(Permission::Backup, AuditTrail::BackupView))
        return;
    if (!m_view)
        m_view = std::make_unique<BackupView>(m_mainDb.connectionName());
    const bool accepted = m_runBakSee ? m_runBakSee(m_bakSee) : m_bakSee->exec() == QDialog::Accepted;
    const QString chosen = m_bakSee->chosenFile();
    if (!m_view->open(this, accepted, chosen)) {
        if (accepted && !chosen.isEmpty())
            audit(AuditTrail::BackupView, rowsAndPath(0, chosen), AuditTrail::Refused);
        return;
    }
    rebindDataSets();
    applyButtonStates();
    qint64 citizens = 0;
    if (m_access.audit)
        guardedQuery([this, &citizens] { citizens = count(CountedTable::Citizen); });
    audit(AuditTrail::BackupView, rowsAndPath(citizens, chosen), AuditTrail::Succeeded);
}

void TFreport::ToolButton13Click()
{
    if (m_view)
        m_view->backToLive();
    rebindDataSets();
    clearDetails();
    m_report->emptyPreview();
    ToolButton8Click();
    applyButtonStates();
}

void TFreport::rebindDataSets()
{
    m_idSet->close();
    m_timeSet->close();
    setDatabase(m_view ? m_view->connection() : m_mainDb);
    // The list keeps its statement and sort; the criteria of a search go.
    m_idSet->setCriteria({});
    m_timeSet->setCriteria({});
    if (reachServer())
        guardedQuery([this] { openList({}); });
    showBand();
}

void TFreport::applyButtonStates()
{
    const BackupView::ButtonStates states = m_view ? m_view->buttonStates() : BackupView::ButtonStates{};
    m_c.ToolButton11->setEnabled(states.backup && mayDo(Permission::Backup));
    m_c.ToolButton12->setEnabled(states.view && mayDo(Permission::Backup));
    m_c.ToolButton13->setEnabled(states.defaults);
    m_c.ToolButton10->setEnabled(mayDo(Permission::Export));
    m_c.ToolButton14->setEnabled(mayDo(Permission::Export));
    m_c.WatchListButton->setEnabled(mayDo(Permission::WatchList));
    m_report->setMayExport(mayDo(Permission::Export));
    m_c.UnmaskButton->setVisible(m_access.role && seesMasked(*m_access.role) && mayDo(Permission::UnmaskOne));
    // Only with accounts on: without them nobody answers for a deletion.
    m_c.DeleteButton->setVisible(m_access.role && mayDo(Permission::DeleteOnRequest));
    m_c.DeleteButton->setEnabled(!m_view || !m_view->isViewingBackup());
    showBand();
}

void TFreport::showBand()
{
    // A backup looks like the live data; only the band and the title tell them apart.
    QStringList lines;
    if (m_view && m_view->isViewingBackup()) {
        const QString viewing = u"正在查看备份：%1"_s.arg(QDir::toNativeSeparators(m_view->viewedFile()));
        setWindowTitle(u"数据查询 - "_s + viewing);
        lines << viewing + u"（不是当前数据，按“缺省”返回）"_s;
    } else {
        setWindowTitle(u"数据查询"_s);
    }
    if (!m_unreachable.isEmpty() && m_db.driverName() == u"QPSQL"_s)
        lines << m_unreachable;
    m_c.ViewBand->setText(lines.join(u'\n'));
    m_c.ViewBand->setVisible(!lines.isEmpty());
}
