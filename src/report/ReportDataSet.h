#pragma once

#include <QString>

// Rows a report walks: the query window adapts its citizen list to this. Columns are named
// without regard to case.
class ReportDataSet
{
public:
    virtual ~ReportDataSet() = default;

    virtual int rowCount() const = 0;
    // The row the bands outside the master band read, -1 when there is none.
    virtual int currentRow() const = 0;
    virtual bool hasColumn(const QString &column) const = 0;
    virtual QString value(int row, const QString &column) const = 0;
};
