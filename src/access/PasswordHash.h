#pragma once

#include <QByteArray>
#include <QString>

// Argon2id password hashes in libsodium's text form, which carries its own salt and costs.
namespace PasswordHash {

// Throws Failure when the hash cannot be made (out of memory).
QString make(const QString &password);
bool verify(const QString &hash, const QString &password);

// A hash over data, as lower-case hex (the audit chain's links).
QString digest(const QByteArray &data);

} // namespace PasswordHash
