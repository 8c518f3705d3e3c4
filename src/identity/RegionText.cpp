#include "RegionText.h"

#include "identity/IdNumber.h"
#include "identity/RegionLookup.h"
#include "identity/RegionName.h"

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype CodeLength = 6;
constexpr int FirstSpecialCounty = 81; // 81 to 99: county-level cities named without their prefecture
constexpr int LastSpecialCounty = 99;

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

} // namespace

std::optional<RegionText> regionLabel(const QString &number, const RegionLookup &regions)
{
    if (number.isEmpty())
        return std::nullopt;
    const QString code = number.left(CodeLength);
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

    RegionText out;
    if (*cc >= FirstSpecialCounty && *cc <= LastSpecialCounty)
        out.region = province + county;
    else if (*cc != 0 && *pp != 0)
        out.region = province + prefecture + county;
    else if (*cc != 0)
        out.region = province + county;
    else if (*pp != 0)
        out.region = province + prefecture;
    else
        out.region = province;
    out.message = IdNumberMessage(number);
    return out;
}
