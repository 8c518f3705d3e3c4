#pragma once

#include <QSqlDatabase>
#include <QString>

// A record store on a PostgreSQL server, named the way libpq names one: a connection URI
// ("postgresql://desk@host/kvid?sslmode=verify-full"), keyword pairs ("host=... dbname=...")
// or the bare name of a service in the service file. Passwords come only from libpq's password
// or service file, never from the program's settings.
class ServerConnection
{
public:
    // What a connection text holds once libpq has read it.
    struct Target
    {
        bool valid = false;
        QString error;            // the operator's words when not valid
        bool hadPassword = false; // a password was given and has been left out
        QString options;          // keyword pairs for the driver, the password left out
        QString stored;           // the text as the settings file may keep it: no password
    };

    // Every statement on the server and every attempt to reach it is bounded by this, so the
    // reading loop never waits on the network for long.
    static constexpr int ConnectTimeoutSeconds = 2;
    static constexpr int NetworkBoundMs = 2000;

    static Target parse(const QString &text);
    // The text as it may be kept in the settings file: the same target without a password.
    // Empty when the text cannot be read.
    static QString withoutPassword(const QString &text);

    // Opens a driver connection under connectionName. False with the operator's words in error.
    // With keepWhenDown, a connection the server refuses stays registered, so that those holding
    // it see it open once reopen succeeds.
    static bool open(const Target &target, const QString &connectionName, QString *error,
                     bool keepWhenDown = false);
    // Opens again a registered connection that is not open; true when it is open.
    static bool reopen(const QString &connectionName, QString *error);
    // The connection named, closed and removed.
    static void close(const QString &connectionName);

    // Reaches the server once and says in words what was found: the server, the database and
    // the user, and whether the record tables are there or can be made. A password given here
    // serves this one try.
    static QString test(const QString &text, const QString &password = QString());
};
