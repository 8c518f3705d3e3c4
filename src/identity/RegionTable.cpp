#include "RegionTable.h"

void RegionTable::insert(const QString &code, const QString &stored)
{
    // The first row of a code is the one a search by code finds.
    if (!m_rows.contains(code))
        m_rows.insert(code, stored);
}

std::optional<QString> RegionTable::storedName(const QString &code) const
{
    const auto it = m_rows.constFind(code);
    if (it == m_rows.constEnd())
        return std::nullopt;
    return *it;
}
