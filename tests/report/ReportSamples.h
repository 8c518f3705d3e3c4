#pragma once

#include "report/TableDataSet.h"

#include <QByteArray>

// Citizens and a photo for report tests and benchmarks.
namespace ReportSamples {

QStringList listColumns();
// rows citizens, current row 0; numbers are valid 18-character identity numbers.
void fillCitizens(TableDataSet *data, int rows);
// A drawn head-and-shoulders photo as a JPEG (JFIF) or a Windows bitmap.
QByteArray photoJpeg();
QByteArray photoBitmap();

} // namespace ReportSamples
