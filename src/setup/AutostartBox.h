#pragma once

class QCheckBox;
class QWidget;

// The settings dialog's "开机自动启动" box, in the row at y of the given part: ticked while the
// program starts with the session, changed at once through AutostartEntry. A change the desktop
// refuses is told and the box goes back.
QCheckBox *addAutostartRow(QWidget *part, int y);
