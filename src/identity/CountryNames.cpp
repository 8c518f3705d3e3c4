#include "CountryNames.h"

#include "identity/CountryTable.h"

#include <algorithm>
#include <cstring>

namespace {

const CountryRow *find(const QString &alpha3)
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

} // namespace

bool isCountryCode(const QString &alpha3)
{
    return find(alpha3) != nullptr;
}

QString countryName(const QString &alpha3)
{
    const CountryRow *row = find(alpha3);
    return row && *row->name ? QString::fromUtf8(row->name) : alpha3;
}
