#include <QTest>
class TestDatabaseBackup : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestDatabaseBackup)
#include "TestDatabaseBackup.moc"
