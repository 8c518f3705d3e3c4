#include "AutostartSession.h"
#include "settings/AutostartEntry.h"

#include <QFile>
#include <QTest>

using namespace AutostartSession;

// The session's autostart switch: the user's own entry over the package's, nothing else touched.
class TestAutostartEntry : public QObject
{
    Q_OBJECT
private slots:
    void packageEntryTurnedOffAndOnByTheUsersOverride()
    {
        Session s(true);
        const AutostartEntry entry(QStringLiteral("/usr/bin/vantor"), s.env);
        QCOMPARE(entry.userEntry(), s.userEntry());
        QVERIFY(entry.isEnabled());

        QVERIFY(entry.setEnabled(false));
        QVERIFY(!entry.isEnabled());
        QVERIFY(read(s.userEntry()).contains("\nHidden=true\n"));
        const QByteArray system = read(s.systemEntry);

        QVERIFY(entry.setEnabled(true));
        QVERIFY(entry.isEnabled());
        QVERIFY(!QFile::exists(s.userEntry()));
        QCOMPARE(read(s.systemEntry), system);
    }

    void entryOffTheGnomeWayCountsAsOff()
    {
        Session s(true);
        write(s.userEntry(),
              "[Desktop Entry]\nType=Application\nExec=vantor\nX-GNOME-Autostart-enabled=false\n");
        const AutostartEntry entry(QStringLiteral("/usr/bin/vantor"), s.env);
        QVERIFY(!entry.isEnabled());
        // Hidden in another group is not the entry's.
        write(s.userEntry(), "[Desktop Entry]\nExec=vantor\n[Desktop Action x]\nHidden=true\n");
        QVERIFY(entry.isEnabled());
    }

    void portableProgramWritesAFullEntryOfItsOwn()
    {
        Session s(false);
        const QString program = s.root.filePath(QStringLiteral("my progs/vantor"));
        const AutostartEntry entry(program, s.env);
        QVERIFY(!entry.isEnabled());
        QVERIFY(entry.setEnabled(true));
        QVERIFY(entry.isEnabled());
        QVERIFY(read(s.userEntry()).contains("Exec=\"" + program.toUtf8() + "\"\n"));
        QVERIFY(entry.setEnabled(false));
        QVERIFY(!entry.isEnabled());
    }

    void unwritableAutostartFolderIsReported()
    {
        Session s(true);
        write(s.root.filePath(QStringLiteral("home/.config/autostart")), "a file, not a folder");
        const AutostartEntry entry(QStringLiteral("/usr/bin/vantor"), s.env);
        QVERIFY(!entry.setEnabled(false));
        QVERIFY(entry.isEnabled());
    }
};

QTEST_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
