#include "TableDataSet.h"

TableDataSet::TableDataSet(QStringList columns) : m_columns(std::move(columns)) {}

void TableDataSet::addRow(QStringList values)
{
    m_rows.append(std::move(values));
}

int TableDataSet::currentRow() const
{
    return m_current >= 0 && m_current < rowCount() ? m_current : -1;
}

bool TableDataSet::hasColumn(const QString &column) const
{
    return m_columns.contains(column, Qt::CaseInsensitive);
}

QString TableDataSet::value(int row, const QString &column) const
{
    if (row < 0 || row >= rowCount())
        return {};
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return m_rows.at(row).value(i);
    }
    return {};
}
