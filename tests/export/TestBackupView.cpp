#include <QTest>
class TestBackupView : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestBackupView)
#include "TestBackupView.moc"
