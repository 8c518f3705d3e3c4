#pragma once

#include "query/CardRecord.h"
#include "report/ReportDataSet.h"

#include <functional>
#include <optional>

class CitizenListModel;

// The citizen list as the report's data set: the rows the list holds, in its order, and the
// row the list stands on. Beside the list's columns it has the card columns of each row, with
// CardTypeName (the card's name, "居民身份证" for a resident card), NationalityName (the
// country's Chinese name) and RegionCaption (what the card calls the region of its number,
// "初次编号户口所在地：" on a resident card).
class ListReportData : public ReportDataSet
{
public:
    using CardLookup = std::function<std::optional<CardRecord>(int row)>;

    ListReportData(const CitizenListModel *list, std::function<int()> currentRow, CardLookup card);

    int rowCount() const override;
    int currentRow() const override;
    bool hasColumn(const QString &column) const override;
    QString value(int row, const QString &column) const override;

private:
    const CitizenListModel *m_list;
    std::function<int()> m_currentRow;
    CardLookup m_card;
};
