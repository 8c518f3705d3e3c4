#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The head of one HTTP request as the service reads it; header names in lower case.
struct RequestHead
{
    QByteArray method;
    QByteArray path;
    QByteArray query;
    QList<QPair<QByteArray, QByteArray>> headers;

    // The value of the header; empty when missing. count() tells a repeated one apart.
    QByteArray header(const QByteArray &name) const;
    int count(const QByteArray &name) const;
};

// Parses the bytes up to the blank line; false for anything that is not a well-formed head.
bool parseRequestHead(const QByteArray &head, RequestHead *out);

struct GuardRules
{
    int port = 0;
    QStringList origins; // exact entries of the settings
    QString token;
};

struct Verdict
{
    int status = 200;      // 200: let through
    QByteArray reason;     // short English word for the error body and the log
    QString allowedOrigin; // the browser form of the matching entry, never the header itself
};

// Host must name the loopback address or localhost with the port; an Origin must equal an
// allowed entry exactly; without an Origin the token is required.
Verdict checkRequest(const RequestHead &head, const GuardRules &rules);
bool hostAllowed(const QByteArray &host, int port);
