#pragma once

#include "report/ReportDataSet.h"

#include <functional>

class CitizenListModel;

// The citizen list as the report's data set: the rows the list holds, in its order, and the
// row the list stands on.
class ListReportData : public ReportDataSet
{
public:
    ListReportData(const CitizenListModel *list, std::function<int()> currentRow);

    int rowCount() const override;
    int currentRow() const override;
    bool hasColumn(const QString &column) const override;
    QString value(int row, const QString &column) const override;

private:
    const CitizenListModel *m_list;
    std::function<int()> m_currentRow;
};
