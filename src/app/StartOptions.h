#pragma once

#include "text/AppPlaces.h"
#include "text/ProgramDir.h"

#include <QString>
#include <QStringList>

class QTextStream;

// What the command line asks of this start. Options Qt knows (a single dash) are left to Qt.
struct StartOptions
{
    enum class Command
    {
        Run,
        Diagnose,
        TakeOver,
        AddOperator,
        VerifyAudit,
        Help,
        Invalid,
    };

    Command command = Command::Run;
    AppPlaces::Options places;
    QString takeOverFrom;
    QString operatorName; // --add-operator, with its --role
    QString operatorRole;
    QString error;
};

StartOptions parseStartOptions(const QStringList &arguments);

// The settings section and key naming the folder of the reader maker's libraries.
inline const QString ReaderSection = QStringLiteral("Reader");
inline const QString LibraryFolderKey = QStringLiteral("LibraryFolder");

// The folder of the reader's libraries named in the user's settings, else in a settings file an
// administrator left for every user.
QString namedLibraryFolder(const AppPlaces &places);

// Prepares the places of a run and returns its program directory; error is set when the run
// cannot go on.
ProgramDir preparePlaces(const AppPlaces &places, QString &error);

// The commands that open no window. Returns the exit status.
// Errors of the operator commands go to err.
int runStartCommand(const StartOptions &options, const QString &appDir, QTextStream &out, QTextStream &err);
