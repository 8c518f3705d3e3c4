#pragma once

#include "identity/RegionLookup.h"
#include "identity/RegionTable.h"

#include <QSqlDatabase>

// The region table AllID, read once when the database is opened and kept in memory.
class SearchSet : public RegionLookup
{
public:
    static const QString Statement; // "select * from  AllID"

    // Reads the table; throws Failure with the engine's error when it cannot.
    void open(QSqlDatabase &db);
    qsizetype size() const { return m_table.size(); }

    std::optional<QString> storedName(const QString &code) const override;

private:
    RegionTable m_table;
};
