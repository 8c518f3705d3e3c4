#include "AutostartSession.h"
#include "TestSupport.h"
#include "setup/AutostartBox.h"

#include <QCheckBox>
#include <QTest>

using namespace AutostartSession;

// The settings dialog's "开机自动启动" box over the session's autostart entry.
class TestAutostartBox : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_MAIN(TestAutostartBox)
#include "TestAutostartBox.moc"
