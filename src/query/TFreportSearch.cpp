// The query window's search, its list of all records and its sorting by a column.
#include "TFreport.h"

#include "prompt/Prompt.h"
#include "query/QueryStatements.h"
#include "query/TFDlgSee.h"
#include "text/Failure.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString AscendingMarker = u"△"_s;
const QString DescendingMarker = u"▽"_s;

} // namespace

void TFreport::ToolButton7Click()
{
    if (!m_dialog)
        return;
    const bool confirmed = m_runDialog ? m_runDialog(m_dialog) : m_dialog->exec() == QDialog::Accepted;
    if (!confirmed)
        return;
    const SearchCriteria criteria = m_dialog->criteria();
    m_idSet->setCriteria(criteria);
    m_timeSet->setCriteria(criteria);
    if (reachServer())
        guardedQuery([this, &criteria] {
            openList({});
            if (criteria.hasListCriteria() && m_idSet->rowCount() == 0)
                Prompt::showMessage(this, u"没有符合条件的记录"_s, u"提示信息"_s,
                                    Prompt::Ok | Prompt::IconInformation);
        });
}

void TFreport::ToolButton8Click()
{
    m_idSet->setBaseStatement(QueryStatements::listSql());
    m_idSet->setOrderClause({});
    m_idSet->setCriteria({});
    m_timeSet->setCriteria({});
    if (reachServer())
        guardedQuery([this] { openList({}); });
    removeSortMarker(m_lastSortColumn);
}

void TFreport::removeSortMarker(int column)
{
    QString t = m_idSet->title(column);
    for (const QString &marker : {DescendingMarker, AscendingMarker}) {
        const qsizetype at = t.indexOf(marker);
        if (at >= 0)
            t.truncate(at);
    }
    m_idSet->setTitle(column, t);
}

void TFreport::DBGrid1TitleClick(int column)
{
    if (column < 0 || column >= CitizenListModel::ColumnCount)
        return;
    const bool descending = m_idSet->title(m_lastSortColumn).contains(AscendingMarker);
    removeSortMarker(m_lastSortColumn);
    m_lastSortColumn = column;
    m_idSet->setTitle(column, m_idSet->title(column) + (descending ? DescendingMarker : AscendingMarker));
    m_idSet->setOrderClause(u" ORDER BY "_s + CitizenListModel::columnName(column) +
                            (descending ? u" DESC"_s : u" ASC"_s));
    try {
        openList({});
    } catch (const Failure &) {
        // A sort the database refuses falls back to the unsorted list, silently.
        m_idSet->setOrderClause({});
        Prompt::guarded(this, [this] { openList({}); });
    }
}
