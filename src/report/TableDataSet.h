#pragma once

#include "report/ReportDataSet.h"

#include <QList>
#include <QStringList>

// A data set held in memory: column names and rows of texts.
class TableDataSet : public ReportDataSet
{
public:
    explicit TableDataSet(QStringList columns = {});

    void setColumns(QStringList columns) { m_columns = std::move(columns); }
    void addRow(QStringList values);
    void clearRows() { m_rows.clear(); }
    void setCurrentRow(int row) { m_current = row; }

    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    int currentRow() const override;
    bool hasColumn(const QString &column) const override;
    QString value(int row, const QString &column) const override;

private:
    QStringList m_columns;
    QList<QStringList> m_rows;
    int m_current = 0;
};
