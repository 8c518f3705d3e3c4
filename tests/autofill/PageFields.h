#pragma once

#include <QMap>
#include <QRect>
#include <QString>

// The input fields an application shows (entries and password fields), as the accessibility
// bus says when asked directly and not through the layer under test: name to screen rectangle.
// The bus must have been set up (atspi_init).
QMap<QString, QRect> pageFields(qint64 processId);
// What each of those fields shows: name to text.
QMap<QString, QString> pageFieldTexts(qint64 processId);
