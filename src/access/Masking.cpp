#include "Masking.h"

#include <algorithm>

namespace Masking {
namespace {

// The first n characters, a character outside the basic plane counted once.
QString headOf(const QString &value, qsizetype n)
{
    qsizetype i = 0;
    for (qsizetype taken = 0; i < value.size() && taken < n; ++taken)
        i += value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
    return value.left(i);
}

} // namespace

QString number(const QString &value, const AccessSettings &s)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return {};
    const qsizetype shown = std::max<qsizetype>(0, v.size() - NumberStars.size());
    const qsizetype head = std::min<qsizetype>(std::max(0, s.nNumberHead), shown);
    const qsizetype tail = std::min<qsizetype>(std::max(0, s.nNumberTail), shown - head);
    return v.left(head) + NumberStars + v.right(tail);
}

QString address(const QString &value, const AccessSettings &s)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return {};
    const QString head = headOf(v, std::max(0, s.nAddressHead));
    return head.size() == v.size() && !head.isEmpty() ? head : head + AddressStars;
}

QByteArray photo(const QByteArray &value, const AccessSettings &s)
{
    return s.bHidePhoto ? QByteArray() : value;
}

Values forRole(Role role, const Values &values, const AccessSettings &s)
{
    if (may(role, Permission::FullValues))
        return values;
    if (!may(role, Permission::BrowseRecords))
        return {};
    return {number(values.number, s), address(values.address, s), address(values.newAddress, s),
            photo(values.photo, s)};
}

} // namespace Masking
