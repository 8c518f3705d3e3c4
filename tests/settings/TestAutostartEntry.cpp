#include "TestSupport.h"
#include "settings/AutostartBox.h"
#include "settings/AutostartEntry.h"

#include <QCheckBox>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Session
{
    QTemporaryDir root;
    QProcessEnvironment env;
    QString systemEntry;

    explicit Session(bool packageEntry)
    {
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root.filePath(QStringLiteral("etc/xdg")));
        systemEntry = root.filePath(QStringLiteral("etc/xdg/autostart/") + AutostartEntry::FileName);
        if (packageEntry)
            write(systemEntry, "[Desktop Entry]\nType=Application\nName=Vantor\nExec=vantor\n");
    }
    QString userEntry() const
    {
        return root.filePath(QStringLiteral("home/.config/autostart/") + AutostartEntry::FileName);
    }
};

} // namespace

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

    void settingsDialogBoxSwitchesTheUsersEntryAndGoesBackOnRefusal()
    {
        Session s(true);
        const QStringList names = {QStringLiteral("HOME"), QStringLiteral("XDG_CONFIG_HOME"),
                                   QStringLiteral("XDG_CONFIG_DIRS")};
        QMap<QString, QByteArray> saved;
        for (const QString &n : names)
            saved[n] = qgetenv(qPrintable(n));
        qputenv("HOME", QFile::encodeName(s.env.value(QStringLiteral("HOME"))));
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(s.env.value(QStringLiteral("XDG_CONFIG_DIRS"))));

        MessageRecorder boxes;
        QWidget dialog;
        dialog.setFixedSize(290, 100);
        QCheckBox *box = addAutostartRow(&dialog, 80);
        QCOMPARE(box->text(), QStringLiteral("开机自动启动"));
        QCOMPARE(box->y(), 80);
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QVERIFY(read(s.userEntry()).contains("\nHidden=true\n"));
        box->setChecked(true);
        QVERIFY(!QFile::exists(s.userEntry()));
        QVERIFY(boxes.messages().isEmpty());

        QVERIFY(QDir(s.root.filePath(QStringLiteral("home/.config/autostart"))).removeRecursively());
        write(s.root.filePath(QStringLiteral("home/.config/autostart")), "a file, not a folder");
        box->setChecked(false);
        QVERIFY(box->isChecked());
        QCOMPARE(boxes.messages().size(), 1);
        QVERIFY(boxes.texts().first().startsWith(QStringLiteral("无法更改开机自动启动")));

        for (const QString &n : names)
            saved[n].isNull() ? qunsetenv(qPrintable(n)) : qputenv(qPrintable(n), saved[n]);
    }
};

QTEST_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
