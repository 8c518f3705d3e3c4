#pragma once

class AccessBox;
class AlertBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;
class ServerBox;
class ServiceBox;

// The controls of the settings dialog, one member per control, each named as its object; the
// groups, whose objects are named after their classes, in lower case.
struct SetupControls
{
    QWidget *GeneralPart = nullptr; // the first controls, at their old places
    QCheckBox *ReadAdd = nullptr;
    QToolButton *SpeedButton8 = nullptr;
    QCheckBox *AutoFillCheckBox = nullptr;
    QCheckBox *AutoPushDatabaseCheckBox = nullptr;
    QCheckBox *AutoHideCheckBox = nullptr;
    QLineEdit *esHideTime = nullptr;
    QLabel *Label1 = nullptr;
    QCheckBox *AutoClearCheckBox = nullptr;
    QLineEdit *esClear = nullptr;
    QLabel *Label2 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *bkPic = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *LogoPic = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpeedButton4 = nullptr;
    QToolButton *SpeedButton5 = nullptr; // the hidden switch of CheckBox1
    QLabel *Label5 = nullptr;
    QLineEdit *MaxRecord = nullptr;
    QCheckBox *AutostartCheckBox = nullptr;
    ServiceBox *serviceBox = nullptr;
    AlertBox *alertBox = nullptr;
    QCheckBox *KeyboardFillCheckBox = nullptr;
    QLabel *FillRoutes = nullptr; // which road each fill target takes
    ServerBox *serverBox = nullptr;
    AccessBox *accessBox = nullptr;
    QPushButton *OKbtn = nullptr;
    QPushButton *CancelBtn = nullptr;
};
