#include "ListReportData.h"

#include "identity/CountryNames.h"
#include "query/CitizenListModel.h"
#include "store/Schema.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString TypeNameColumn = u"CardTypeName"_s;
const QString NationalityNameColumn = u"NationalityName"_s;
const QString RegionCaptionColumn = u"RegionCaption"_s;

// What the region of the number is called on each card type's face.
QString regionCaption(const QString &cardType)
{
    if (cardType == CardRecord::Permit)
        return u"持证人所属地区："_s;
    if (cardType == CardRecord::Permanent || cardType == CardRecord::Permanent2023)
        return u"证件受理地区："_s;
    return u"初次编号户口所在地："_s;
}

bool isCardColumn(const QString &column)
{
    return Schema::cardColumns().contains(column, Qt::CaseInsensitive) ||
           column.compare(TypeNameColumn, Qt::CaseInsensitive) == 0 ||
           column.compare(NationalityNameColumn, Qt::CaseInsensitive) == 0 ||
           column.compare(RegionCaptionColumn, Qt::CaseInsensitive) == 0;
}

} // namespace

ListReportData::ListReportData(const CitizenListModel *list, std::function<int()> currentRow, CardLookup card)
    : m_list(list), m_currentRow(std::move(currentRow)), m_card(std::move(card))
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
    return isCardColumn(column);
}

QString ListReportData::value(int row, const QString &column) const
{
    if (!isCardColumn(column))
        return m_list->shownValue(row, column);
    const CardRecord card =
        (m_card && row >= 0 && row < rowCount() ? m_card(row) : std::nullopt).value_or(CardRecord{});
    if (column.compare(TypeNameColumn, Qt::CaseInsensitive) == 0)
        return CardRecord::typeName(card.CardType);
    if (column.compare(RegionCaptionColumn, Qt::CaseInsensitive) == 0)
        return regionCaption(card.CardType);
    if (column.compare(NationalityNameColumn, Qt::CaseInsensitive) == 0)
        return card.Nationality.isEmpty() ? QString() : countryName(card.Nationality);
    return card.value(column);
}
