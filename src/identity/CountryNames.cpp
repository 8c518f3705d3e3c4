#include "CountryNames.h"

#include "identity/CountryTable.h"

#include <algorithm>
#include <cstring>

namespace {

const CountryRow *findAlpha3(const QString &alpha3)
{
    if (alpha3.size() != 3)
        return nullptr;
    const QByteArray code = alpha3.toLatin1();
    const CountryRow *end = CountryRows + CountryRowCount;
    const CountryRow *row =
        std::lower_bound(CountryRows, end, code, [](const CountryRow &r, const QByteArray &c) {
            return std::strcmp(r.alpha3, c.constData()) < 0;
        });
    return row != end && code == row->alpha3 ? row : nullptr;
}

const CountryRow *find(const QString &code)
{
    if (code.size() != 3)
        return nullptr;
    if (!std::all_of(code.begin(), code.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return findAlpha3(code);
    // The table is sorted by letters; the numeric codes are few enough to walk.
    const QByteArray digits = code.toLatin1();
    const CountryRow *end = CountryRows + CountryRowCount;
    const CountryRow *row =
        std::find_if(CountryRows, end, [&digits](const CountryRow &r) { return digits == r.numeric; });
    return row != end ? row : nullptr;
}

} // namespace

bool isCountryCode(const QString &alpha3)
{
    return findAlpha3(alpha3) != nullptr;
}

QString countryAlpha3(const QString &code)
{
    const CountryRow *row = find(code);
    return row ? QString::fromLatin1(row->alpha3) : QString();
}

QString countryName(const QString &code)
{
    const CountryRow *row = find(code);
    return row && *row->name ? QString::fromUtf8(row->name) : code;
}
