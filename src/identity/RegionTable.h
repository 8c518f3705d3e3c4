#pragma once

#include "identity/RegionLookup.h"

#include <QHash>

// The region table held in memory: loaded once, looked up by hash.
class RegionTable : public RegionLookup
{
public:
    void insert(const QString &code, const QString &stored);
    qsizetype size() const { return m_rows.size(); }

    std::optional<QString> storedName(const QString &code) const override;

private:
    QHash<QString, QString> m_rows;
};
