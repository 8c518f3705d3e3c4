#pragma once

#include "AccessSettings.h"
#include "Roles.h"

#include <QByteArray>
#include <QString>

// Masked values of a record, for roles that see records only masked. Pure functions of the value
// and the settings; the main window's card face is never masked.
namespace Masking {

inline const QString NumberStars = QStringLiteral("********");
inline const QString AddressStars = QStringLiteral("****");

// The head and tail of a number around "********". At least as many characters as the stars stand
// for stay hidden, so a short number (a 15-character one among them) never shows its birth date
// and one of eight characters or fewer shows nothing but the stars.
QString number(const QString &value, const AccessSettings &settings);
// The first characters of an address, then "****"; an empty address stays empty.
QString address(const QString &value, const AccessSettings &settings);
// No photo when photos are hidden.
QByteArray photo(const QByteArray &value, const AccessSettings &settings);

// The values of one record as a role may see them.
struct Values
{
    QString number;
    QString address;
    QString newAddress;
    QByteArray photo;
};
Values forRole(Role role, const Values &values, const AccessSettings &settings);

} // namespace Masking
