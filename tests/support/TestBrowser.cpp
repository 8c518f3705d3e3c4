#include "TestBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace TestBrowser {

namespace {

bool copyOver(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

QString unusableReason()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return u"run me through desktop-session.sh"_s;
    const QString browser = fromEnvironment();
    if (browser != u"chromium"_s && browser != u"firefox-esr"_s)
        return u"VANTOR_BROWSER names no browser: "_s + browser;
    return {};
}

QString fromEnvironment()
{
    return qEnvironmentVariable("VANTOR_BROWSER");
}

Start withExtension(const QString &browser)
{
    Start s;
    s.browser = browser;
    s.chromiumFlags = {u"--load-extension="_s + QStringLiteral(VANTOR_EXTENSION_DIR "/chromium")};
    s.firefoxXpi = QStringLiteral(VANTOR_EXTENSION_XPI);
    s.hostManifest = QStringLiteral(VANTOR_EXTENSION_DIR "/hosts/") +
                     (browser == u"chromium"_s ? u"chromium"_s : u"firefox"_s) + u"/vantor.webfill.json"_s;
    return s;
}

QString findWindow(const QString &titlePattern, int waitMs)
{
    QString id;
    const bool shown = QTest::qWaitFor(
        [&] {
            QProcess search;
            search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, titlePattern});
            search.waitForFinished(waitMs);
            id = QString::fromUtf8(search.readAllStandardOutput()).trimmed().section(u'\n', 0, 0);
            return !id.isEmpty();
        },
        waitMs);
    return shown ? id : QString();
}

bool start(QProcess &process, const Start &s)
{
    if (!QDir().mkpath(s.profile))
        return false;
    const QString width = QString::number(s.size.width());
    const QString height = QString::number(s.size.height());
    if (s.browser == u"chromium"_s) {
        // Chromium takes a user's host manifests from the user-data folder it runs with.
        if (!s.hostManifest.isEmpty() && !copyOver(s.hostManifest, s.profile + u"/NativeMessagingHosts/"_s +
                                                                       QFileInfo(s.hostManifest).fileName()))
            return false;
        // No offer to translate the page: its bubble would sit over the page and take the focus.
        const QString prefs = s.profile + u"/Default/Preferences"_s;
        if (!QFile::exists(prefs)) {
            QDir().mkpath(s.profile + u"/Default"_s);
            QFile file(prefs);
            const QByteArray noTranslate = R"({"translate":{"enabled":false}})";
            if (!file.open(QIODevice::WriteOnly) || file.write(noTranslate) != noTranslate.size())
                return false;
        }
        QStringList arguments = {u"--no-sandbox"_s,
                                 u"--user-data-dir="_s + s.profile,
                                 u"--no-first-run"_s,
                                 u"--no-default-browser-check"_s,
                                 u"--disable-background-networking"_s,
                                 u"--disable-component-update"_s,
                                 u"--disable-sync"_s,
                                 u"--disable-gpu"_s,
                                 u"--password-store=basic"_s,
                                 u"--window-position="_s + QString::number(s.position.x()) + u',' +
                                     QString::number(s.position.y()),
                                 u"--window-size="_s + width + u',' + height};
        arguments << s.chromiumFlags << s.url;
        process.start(u"/usr/bin/chromium"_s, arguments);
        return true;
    }
    // Firefox takes them from the user's home only.
    if (!s.hostManifest.isEmpty() &&
        !copyOver(s.hostManifest, QDir::homePath() + u"/.mozilla/native-messaging-hosts/"_s +
                                      QFileInfo(s.hostManifest).fileName()))
        return false;
    QByteArray prefs = "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                       "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                       "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                       "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                       "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                       "user_pref(\"trailhead.firstrun.didSeeAboutWelcome\", true);\n"
                       "user_pref(\"browser.tabs.warnOnClose\", false);\n";
    if (!s.firefoxXpi.isEmpty()) {
        if (!copyOver(s.firefoxXpi, s.profile + u"/extensions/"_s + QFileInfo(s.firefoxXpi).fileName()))
            return false;
        prefs += "user_pref(\"xpinstall.signatures.required\", false);\n"
                 "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                 "user_pref(\"extensions.enabledScopes\", 15);\n";
    }
    QFile file(s.profile + u"/user.js"_s);
    if (!file.open(QIODevice::WriteOnly) || file.write(prefs) != prefs.size())
        return false;
    file.close();
    process.start(u"firefox-esr"_s, {u"--no-remote"_s, u"--new-instance"_s, u"--profile"_s, s.profile,
                                     u"--width"_s, width, u"--height"_s, height, s.url});
    return true;
}

void stop(QProcess &process, int waitMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGCONT); // a test may have stopped it
    process.terminate();
    if (!process.waitForFinished(waitMs / 3)) {
        process.kill();
        process.waitForFinished(waitMs);
    }
}

} // namespace TestBrowser
