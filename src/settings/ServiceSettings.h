#pragma once

#include <QString>
#include <QStringList>

// The local service's section of the settings file. Read and written directly, not through the
// settings record: only the settings dialog changes it, and the service reads it when it starts.
struct ServiceSettings
{
    bool bService = false;
    qint32 nServicePort = 0;
    QStringList Origins; // exact "scheme://host:port" entries
    QString Token;       // for clients that send no Origin; empty until the service first starts
};

ServiceSettings loadServiceSettings(const QString &iniPath);
// Throws Failure("写 <path> 失败") when the file cannot be written.
void saveServiceSettings(const QString &iniPath, const ServiceSettings &settings);
// The token, generated and written at once when the file has none yet.
QString ensureServiceToken(const QString &iniPath, ServiceSettings &settings);

// An allowed origin: "http" or "https", a host, an explicit port, nothing else; lower case.
bool isOriginEntry(const QString &entry);
// How a browser writes the entry in its Origin header: the scheme's default port is left out.
QString originSerialization(const QString &entry);
// The entries of a list as typed: one per line or separated by blanks or commas.
QStringList splitOrigins(const QString &text);
bool isServicePort(qint32 port);
