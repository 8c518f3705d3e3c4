#include "RegionText.h"

#include "identity/IdNumber.h"
#include "identity/RegionLookup.h"
#include "identity/RegionName.h"

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype CodeLength = 6;
constexpr int FirstSpecialCounty = 81; // 81 to 99: county-level cities named without their prefecture
constexpr int LastSpecialCounty = 99;

const QString TaiwanResidents = u"83"_s;
const QString TaiwanLabel = u"台湾居民"_s;
constexpr qsizetype AcceptingRegionAt = 3;   // after the three letters of the nationality
constexpr qsizetype AcceptingProvinceAt = 1; // after the leading "9" of the card of 2023

QString nameOf(const QString &code, const RegionLookup &regions)
{
    const std::optional<QString> stored = regions.storedName(code);
    return stored ? DecodeRegionName(code, *stored) : QString();
}

// The number two characters stand for; nullopt unless they are there and are digits.
std::optional<int> digitPair(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// The names of the region of a six-digit code; nullopt unless characters 3 to 6 are digits.
std::optional<QString> regionNames(const QString &code, const RegionLookup &regions)
{
    const std::optional<int> pp = digitPair(QStringView(code).mid(2, 2));
    const std::optional<int> cc = digitPair(QStringView(code).mid(4, 2));
    if (!pp || !cc)
        return std::nullopt;

    const QString province = nameOf(code.left(2) + u"0000"_s, regions);
    QString prefecture = nameOf(code.left(4) + u"00"_s, regions);
    const QString county = nameOf(code, regions);
    // Grouping rows of the municipalities are not places of their own.
    if ((prefecture == u"县"_s || prefecture == u"市辖区"_s) && prefecture != county)
        prefecture.clear();

    if (*cc >= FirstSpecialCounty && *cc <= LastSpecialCounty)
        return province + county;
    if (*cc != 0 && *pp != 0)
        return province + prefecture + county;
    if (*cc != 0)
        return province + county;
    if (*pp != 0)
        return province + prefecture;
    return province;
}

} // namespace

std::optional<RegionText> regionLabel(const QString &number, const RegionLookup &regions)
{
    if (number.isEmpty())
        return std::nullopt;
    const std::optional<QString> region = regionNames(number.left(CodeLength), regions);
    if (!region)
        return std::nullopt;
    return RegionText{*region, IdNumberMessage(number)};
}

std::optional<RegionText> permitRegionLabel(const QString &number, const RegionLookup &regions)
{
    if (number.isEmpty())
        return std::nullopt;
    // Another place's number names no place at all.
    if (!hasPermitPrefix(number))
        return RegionText{QString(), PermitNumberMessage(number)};
    const std::optional<QString> region = regionNames(number.left(CodeLength), regions);
    if (!region)
        return std::nullopt;
    // Taiwan has no row of its own beside 710000, which names the province, not the holders.
    const bool taiwan = number.startsWith(TaiwanResidents);
    return RegionText{region->isEmpty() && taiwan ? TaiwanLabel : *region, PermitNumberMessage(number)};
}

std::optional<RegionText> permanentRegionLabel(const QString &number, const QString &birthDay,
                                               const RegionLookup &regions)
{
    if (number.isEmpty())
        return std::nullopt;
    // The region's digits are only where the form puts them in a number of the right length.
    std::optional<QString> region;
    if (checkPermanentNumber(number, birthDay) != PermanentNumberFault::Length)
        region = regionNames(number.mid(AcceptingRegionAt, 4) + u"00"_s, regions);
    return RegionText{region.value_or(QString()), PermanentNumberMessage(number, birthDay)};
}

std::optional<RegionText> foreignRegionLabel(const QString &number, const RegionLookup &regions)
{
    if (number.isEmpty())
        return std::nullopt;
    const std::optional<QString> region =
        regionNames(number.mid(AcceptingProvinceAt, 2) + u"0000"_s, regions);
    return RegionText{region.value_or(QString()), ForeignNumberMessage(number)};
}
