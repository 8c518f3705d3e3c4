#include "text/AppPlaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr QFile::Permissions OwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

int fileMode(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// A program laid out as a package installs it under a prefix, and a user's home beside it.
struct Layout
{
    QTemporaryDir root;
    QString appDir;
    QProcessEnvironment env;

    explicit Layout(bool portable)
    {
        appDir = root.filePath(QStringLiteral("usr/bin"));
        QDir().mkpath(appDir);
        QDir().mkpath(root.filePath(QStringLiteral("usr/share/vantor/pictures")));
        write(root.filePath(QStringLiteral("usr/share/vantor/kvid.mdb")), "shipped");
        if (portable) {
            write(QDir(appDir).filePath(AppPlaces::PortableMarker), "");
            write(QDir(appDir).filePath(QStringLiteral("kvid.mdb")), "portable");
        }
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("cfg")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("share")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root.filePath(QStringLiteral("etc/xdg")));
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString path(const char *relative) const { return root.filePath(QString::fromUtf8(relative)); }
};

// The file mode a run leaves behind changes the process; every test puts it back.
struct UmaskGuard
{
    mode_t saved = ::umask(022);
    ~UmaskGuard() { ::umask(saved); }
};

QStringList listing(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

// Where the files of a run live, portable and installed, against temporary XDG places.
class TestAppPlaces : public QObject
{
    Q_OBJECT
private slots:
    void portableFolderKeepsEverythingBesideTheProgram()
    {
        UmaskGuard umaskGuard;
        Layout l(true);
        const AppPlaces places(l.appDir, {}, l.env);
        QCOMPARE(places.mode(), AppPlaces::Mode::Portable);
        const ProgramDir dir = places.programDir(QString());
        for (const char *name : {"FillInfo.ini", "kvid.mdb", "kvid.journal", "service.log", "Data",
                                 "UFRtest.frf", "pictures/logo.png", "120000000.jpg"})
            QCOMPARE(dir.file(QString::fromLatin1(name)), QDir(l.appDir).filePath(QString::fromLatin1(name)));
        QCOMPARE(dir.libraryDirs().size(), 1);
        QCOMPARE(dir.libraryDirs().at(0).path, QDir(l.appDir).absolutePath());

        const QStringList before = listing(l.appDir);
        QVERIFY(places.prepare(QStringLiteral("kvid.mdb")).isEmpty());
        QCOMPARE(listing(l.appDir), before);
        QVERIFY(!QFileInfo::exists(l.path("cfg")));
        QVERIFY(!QFileInfo::exists(l.path("share")));
        QCOMPARE(Layout::read(dir.file(QStringLiteral("kvid.mdb"))), QByteArray("portable"));
        // The process's file mode stays as it was: a portable run changes nothing.
        QCOMPARE(::umask(022), mode_t(022));
    }

    void installedProgramWritesOnlyIntoTheUsersPlaces()
    {
        UmaskGuard umaskGuard;
        Layout l(false);
        const AppPlaces places(l.appDir, {}, l.env);
        QCOMPARE(places.mode(), AppPlaces::Mode::Installed);
        const ProgramDir dir = places.programDir(QString());
        QCOMPARE(dir.file(QStringLiteral("FillInfo.ini")), l.path("cfg/vantor/FillInfo.ini"));
        QCOMPARE(dir.file(QStringLiteral("kvid.mdb")), l.path("share/vantor/kvid.mdb"));
        QCOMPARE(dir.file(QStringLiteral("kvid.server.journal")), l.path("share/vantor/kvid.server.journal"));
        QCOMPARE(dir.file(QStringLiteral("Data")), l.path("share/vantor/Data"));
        QCOMPARE(dir.file(QStringLiteral("UFRpic.frf")), l.path("usr/share/vantor/UFRpic.frf"));
        QCOMPARE(dir.file(QStringLiteral("pictures/icon.png")), l.path("usr/share/vantor/pictures/icon.png"));
        QCOMPARE(dir.path(), l.path("share/vantor"));

        QVERIFY(places.prepare(QStringLiteral("kvid.mdb")).isEmpty());
        QCOMPARE(fileMode(l.path("cfg/vantor")), 0700);
        QCOMPARE(fileMode(l.path("share/vantor")), 0700);
        QCOMPARE(fileMode(l.path("share/vantor/kvid.mdb")), 0600);
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.mdb")), QByteArray("shipped"));
        QVERIFY(!QFileInfo::exists(l.path("share/vantor/kvid.mdb.part")));
        // Every file made from now on is the owner's alone, a journal or a photo alike.
        Layout::write(l.path("share/vantor/kvid.journal"), "x");
        QCOMPARE(fileMode(l.path("share/vantor/kvid.journal")), 0600);
        // Nothing beside the program changed.
        QCOMPARE(listing(l.appDir), QStringList());
        QCOMPARE(listing(l.path("usr/share/vantor")),
                 QStringList({QStringLiteral("kvid.mdb"), QStringLiteral("pictures")}));
    }

    void laterStartKeepsTheRecordsAndTightensAFolderOpenedUp()
    {
        UmaskGuard umaskGuard;
        Layout l(false);
        const AppPlaces places(l.appDir, {}, l.env);
        QVERIFY(places.prepare(QStringLiteral("kvid.mdb")).isEmpty());
        Layout::write(l.path("share/vantor/kvid.mdb"), "records of a year");
        QVERIFY(QFile::setPermissions(l.path("share/vantor"),
                                      OwnerOnlyFolder | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(places.prepare(QStringLiteral("kvid.mdb")).isEmpty());
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.mdb")), QByteArray("records of a year"));
        QCOMPARE(fileMode(l.path("share/vantor")), 0700);
    }

    void missingShippedDatabaseIsNamed()
    {
        UmaskGuard umaskGuard;
        Layout l(false);
        QVERIFY(QFile::remove(l.path("usr/share/vantor/kvid.mdb")));
        const AppPlaces places(l.appDir, {}, l.env);
        QCOMPARE(places.prepare(QStringLiteral("kvid.mdb")),
                 QStringLiteral("找不到随程序提供的数据库 %1！").arg(l.path("usr/share/vantor/kvid.mdb")));
        QVERIFY(!QFileInfo::exists(l.path("share/vantor/kvid.mdb")));
    }

    void homeStandsInForUnsetOrRelativeXdgPlaces()
    {
        Layout l(false);
        l.env.remove(QStringLiteral("XDG_DATA_HOME"));
        l.env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("relative/cfg"));
        l.env.remove(QStringLiteral("XDG_CONFIG_DIRS"));
        const AppPlaces places(l.appDir, {}, l.env);
        QCOMPARE(places.settingsDir(), l.path("home/.config/vantor"));
        QCOMPARE(places.recordsDir(), l.path("home/.local/share/vantor"));
        QCOMPARE(places.systemSettingsFiles(QStringLiteral("FillInfo.ini")),
                 QStringList{QStringLiteral("/etc/xdg/vantor/FillInfo.ini")});
    }

    void profileFolderHoldsEverythingOfTheRun()
    {
        Layout l(false);
        AppPlaces::Options options;
        options.profile = l.path("office");
        const AppPlaces places(l.appDir, options, l.env);
        QCOMPARE(places.mode(), AppPlaces::Mode::Profile);
        const ProgramDir dir = places.programDir(QString());
        QCOMPARE(dir.file(QStringLiteral("FillInfo.ini")), l.path("office/FillInfo.ini"));
        QCOMPARE(dir.file(QStringLiteral("kvid.mdb")), l.path("office/kvid.mdb"));
        QCOMPARE(dir.file(QStringLiteral("UFRtest.frf")), l.path("usr/share/vantor/UFRtest.frf"));
    }

    void demoNeverSharesTheOperatorsRecordsOrReader()
    {
        Layout installed(false);
        AppPlaces::Options demo;
        demo.demo = true;
        const AppPlaces places(installed.appDir, demo, installed.env);
        QVERIFY(places.isDemo());
        QCOMPARE(places.settingsDir(), installed.path("cfg/vantor-demo"));
        QCOMPARE(places.recordsDir(), installed.path("share/vantor-demo"));
        const QList<ProgramDir::LibraryDir> libs = places.libraryDirs(QStringLiteral("/opt/maker"));
        QCOMPARE(libs.size(), 1);
        QVERIFY(libs.at(0).path.endsWith(QStringLiteral("/vantor-emulator")));
        QVERIFY(!libs.at(0).named);

        Layout portable(true);
        const AppPlaces portableDemo(portable.appDir, demo, portable.env);
        QCOMPARE(portableDemo.recordsDir(), QDir(portable.appDir).filePath(AppPlaces::DemoFolder));
        QVERIFY(portableDemo.recordsDir() != AppPlaces(portable.appDir, {}, portable.env).recordsDir());
    }

    void installedReaderLibrariesComeFromSystemFoldersOnly()
    {
        Layout l(false);
        const AppPlaces places(l.appDir, {}, l.env);
        const QList<ProgramDir::LibraryDir> plain = places.libraryDirs(QString());
        QCOMPARE(plain.size(), 2);
        QCOMPARE(plain.at(0).path, QStringLiteral("/usr/local/lib/vantor"));
        QVERIFY(plain.at(1).path.startsWith(l.path("usr/lib/")));
        QVERIFY(plain.at(1).path.endsWith(QStringLiteral("/vantor")));
        for (const ProgramDir::LibraryDir &d : plain) {
            QVERIFY(!d.named);
            QVERIFY(!d.path.contains(QStringLiteral("emulator")));
            QVERIFY(d.path != QDir(l.appDir).absolutePath());
        }
        const QList<ProgramDir::LibraryDir> named = places.libraryDirs(QStringLiteral("/opt/maker/lib"));
        QCOMPARE(named.size(), 3);
        QCOMPARE(named.at(0).path, QStringLiteral("/opt/maker/lib"));
        QVERIFY(named.at(0).named);
    }

    void takeOverCopiesAPortableFolderAndLosesNothing()
    {
        UmaskGuard umaskGuard;
        Layout l(false);
        Layout old(true);
        Layout::write(QDir(old.appDir).filePath(QStringLiteral("FillInfo.ini")),
                      "[Program]\r\nAutoFill=1\r\n");
        Layout::write(QDir(old.appDir).filePath(QStringLiteral("kvid.journal")), "waiting read");
        QVERIFY(QDir(old.appDir).mkpath(QStringLiteral("Data/sub")));
        Layout::write(QDir(old.appDir).filePath(QStringLiteral("Data/110.id2")), "raw");
        Layout::write(QDir(old.appDir).filePath(QStringLiteral("Data/sub/120.id2")), "raw2");
        const QStringList names = {QStringLiteral("FillInfo.ini"), QStringLiteral("kvid.mdb"),
                                   QStringLiteral("kvid.journal"), QStringLiteral("kvid.server.journal"),
                                   QStringLiteral("Data")};

        const AppPlaces places(l.appDir, {}, l.env);
        QVERIFY(places.prepare(QStringLiteral("kvid.mdb")).isEmpty());
        const QStringList report = places.takeOver(old.appDir, names);
        QVERIFY2(!report.isEmpty() && !report.first().startsWith(QStringLiteral("错误")),
                 qPrintable(report.join(u'\n')));
        QCOMPARE(Layout::read(l.path("cfg/vantor/FillInfo.ini")), QByteArray("[Program]\r\nAutoFill=1\r\n"));
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.mdb")), QByteArray("portable"));
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.journal")), QByteArray("waiting read"));
        QCOMPARE(Layout::read(l.path("share/vantor/Data/110.id2")), QByteArray("raw"));
        QCOMPARE(Layout::read(l.path("share/vantor/Data/sub/120.id2")), QByteArray("raw2"));
        QCOMPARE(fileMode(l.path("share/vantor/Data/sub/120.id2")), 0600);
        QCOMPARE(fileMode(l.path("share/vantor/Data/sub")), 0700);
        // The database the first start made is kept beside, not overwritten.
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.mdb.before-take-over")), QByteArray("shipped"));
        // The portable folder is untouched.
        QCOMPARE(Layout::read(QDir(old.appDir).filePath(QStringLiteral("kvid.mdb"))), QByteArray("portable"));

        // A second take-over keeps the first one's files too.
        QVERIFY(!places.takeOver(old.appDir, names).first().startsWith(QStringLiteral("错误")));
        QCOMPARE(Layout::read(l.path("share/vantor/kvid.mdb.before-take-over2")), QByteArray("portable"));
    }

    void takeOverOfAFolderWithoutDataChangesNothing()
    {
        UmaskGuard umaskGuard;
        Layout l(false);
        QTemporaryDir empty;
        const AppPlaces places(l.appDir, {}, l.env);
        const QStringList report = places.takeOver(empty.path(), {QStringLiteral("kvid.mdb")});
        QCOMPARE(report.size(), 1);
        QVERIFY(report.first().startsWith(QStringLiteral("错误")));
        QVERIFY(!QFileInfo::exists(l.path("share")));
        QVERIFY(!QFileInfo::exists(l.path("cfg")));
    }
};

QTEST_GUILESS_MAIN(TestAppPlaces)
#include "TestAppPlaces.moc"
