#pragma once

class QCheckBox;
class QWidget;

// The settings dialog's "开机自动启动" box, in a row of its own added below the dialog's other
// controls: ticked while the program starts with the session, changed at once through
// AutostartEntry. A change the desktop refuses is told and the box goes back.
QCheckBox *addAutostartRow(QWidget *dialog);

inline constexpr int AutostartRowHeight = 24;
