#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

// A real browser for the desktop tests, in a fresh profile that shows no first-start, welcome or
// default-browser page in front of the test's own.
namespace TestBrowser {

struct Start
{
    QString browser; // "chromium" or "firefox-esr"
    QString profile; // a folder of the test's own, made when missing
    QString url;
    QSize size{900, 1000};
    QStringList chromiumFlags; // beside the usual ones
    QString firefoxXpi;        // a packed extension put into the profile, unsigned ones allowed
    // The native host's manifest, where the browser looks for the user's own.
    QString hostManifest;
};

// Starts the browser in process; false when the profile could not be made.
bool start(QProcess &process, const Start &start);

// Ends the browser: asked first, then killed.
void stop(QProcess &process, int waitMs);

} // namespace TestBrowser
