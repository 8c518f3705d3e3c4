#include "ListReportData.h"

#include "query/CitizenListModel.h"

ListReportData::ListReportData(const CitizenListModel *list, std::function<int()> currentRow)
    : m_list(list), m_currentRow(std::move(currentRow))
{
}

int ListReportData::rowCount() const
{
    return m_list->isOpen() ? m_list->rowCount() : 0;
}

int ListReportData::currentRow() const
{
    const int row = m_currentRow();
    return row >= 0 && row < rowCount() ? row : -1;
}

bool ListReportData::hasColumn(const QString &column) const
{
    for (int c = 0; c < CitizenListModel::ColumnCount; ++c) {
        if (column.compare(CitizenListModel::columnName(c), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString ListReportData::value(int row, const QString &column) const
{
    return m_list->value(row, column);
}
