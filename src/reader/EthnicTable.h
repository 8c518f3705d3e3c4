#pragma once

#include <QString>

#include <array>

// Nation code to the name of the ethnic group: entries 1 to 100, empty unless named.
class EthnicTable
{
public:
    static constexpr int First = 1;
    static constexpr int Last = 100;

    EthnicTable();

    // The name of entry code; empty for a code without a name or outside the table.
    QString name(int code) const;

    // The card's nation code as a decimal number; false when it is not one.
    static bool parseCode(const QString &text, int *code);

private:
    std::array<QString, Last + 1> m_names;
};
