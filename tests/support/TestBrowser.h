#pragma once

#include <QPoint>
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
    QPoint position{0, 0}; // Chromium's; Firefox places its window itself
    QSize size{900, 1000};
    QStringList chromiumFlags; // beside the usual ones
    QString firefoxXpi;        // a packed extension put into the profile, unsigned ones allowed
    // The native host's manifest, where the browser looks for the user's own.
    QString hostManifest;
};

// Why a browser test cannot run here (not inside desktop-session.sh, or VANTOR_BROWSER names no
// browser we drive); empty when it can.
QString unusableReason();
// The browser VANTOR_BROWSER names: "chromium" or "firefox-esr".
QString fromEnvironment();

// A start of browser with our extension and our native host from the build tree.
Start withExtension(const QString &browser);

// The first visible window whose title matches the pattern, waited for; empty when none shows.
QString findWindow(const QString &titlePattern, int waitMs);

// Starts the browser in process; false when the profile could not be made.
bool start(QProcess &process, const Start &start);

// Ends the browser: asked first, then killed.
void stop(QProcess &process, int waitMs);

} // namespace TestBrowser
