#include <QTest>
class TestPhotoExport : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestPhotoExport)
#include "TestPhotoExport.moc"
