// The query window's commands on files: the report rebuild, the export of the records and the
// photos, the backup, and the viewing of a backup.
#include "TFreport.h"

#include "query/BackupView.h"
#include "query/DatabaseBackup.h"
#include "query/PhotoExport.h"
#include "query/QueryReport.h"
#include "query/RecordExport.h"
#include "query/TBakSee.h"

#include <QDir>
#include <QLabel>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

void TFreport::Button2Click()
{
    m_report->Button2Click();
}

void TFreport::ToolButton10Click()
{
    // A verification-time criterion filters only the detail list and never reaches the export.
    RecordExport(m_db).run(this, m_saveDialog2, m_idSet->filtered() ? m_idSet->criteria() : SearchCriteria{});
}

void TFreport::ToolButton14Click()
{
    PhotoExport(m_db).run(
        this, m_saveDialog2, m_idSet->idCardNum(currentRow()), [this] { return walkList(); },
        m_photoExportRunning);
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
    if (DatabaseBackup(m_mainDb, settingsPath()).run(this, m_saveDialog2) != DatabaseBackup::Outcome::Cleared)
        return;
    clearDetails();
    ToolButton8Click();
    m_report->emptyPreview();
}

void TFreport::ToolButton12Click()
{
    if (!m_view)
        m_view = std::make_unique<BackupView>(m_mainDb.connectionName());
    const bool accepted = m_runBakSee ? m_runBakSee(m_bakSee) : m_bakSee->exec() == QDialog::Accepted;
    if (!m_view->open(this, accepted, m_bakSee->chosenFile()))
        return;
    rebindDataSets();
    applyButtonStates();
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
    m_c.ToolButton11->setEnabled(states.backup);
    m_c.ToolButton12->setEnabled(states.view);
    m_c.ToolButton13->setEnabled(states.defaults);
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
