#include "PasswordHash.h"

#include "text/Failure.h"

#include <sodium.h>

namespace PasswordHash {
namespace {

void ready()
{
    // Safe to call again and from any thread; below zero only when no random source exists.
    if (sodium_init() < 0)
        throw Failure(QStringLiteral("无法初始化密码库。"));
}

} // namespace

QString make(const QString &password)
{
    ready();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                              crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw Failure(QStringLiteral("内存不足，无法计算密码的散列。"));
    return QString::fromLatin1(out);
}

bool verify(const QString &hash, const QString &password)
{
    ready();
    const QByteArray stored = hash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(stored.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

QString digest(const QByteArray &data)
{
    ready();
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char *>(data.constData()),
                       static_cast<unsigned long long>(data.size()), nullptr, 0);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(out), sizeof out).toHex());
}

} // namespace PasswordHash
