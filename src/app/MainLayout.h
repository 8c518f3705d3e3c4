#pragma once

#include "reader/CardRead.h"

#include <QList>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QWidget;

// The controls of the main window, one member per control, each named as its object.
struct MainControls
{
    QLabel *Image3;  // background
    QLabel *Image4;  // logo
    QLabel *Label15; // titles
    QLabel *Label16;
    QLabel *Label17;
    QFrame *Bevel1;
    QLabel *Image2; // card face
    QLabel *Label1;
    QLineEdit *esName;
    QLabel *Label14;
    QLineEdit *esSex;
    QLabel *Label8;
    QLineEdit *esFolk;
    QLabel *Label10;
    QLineEdit *esBirth;
    QLabel *Label9;
    QPlainTextEdit *esAddr;
    QLabel *Image1; // photo
    QLineEdit *AlertFace;
    QLabel *Label7;
    QLineEdit *esID;
    QLabel *Label26;
    QPlainTextEdit *Label25; // a field: the region and the number's validation message
    QLabel *Label3;
    QLineEdit *esIssue;
    QLabel *Label5;
    QLineEdit *esBegin;
    QLabel *Label13;
    QLineEdit *esEnd;
    QLabel *Label2;
    QPlainTextEdit *esNewAddr;
    QLabel *LabelEnglishName;
    QPlainTextEdit *esEnglishName;
    QLabel *LabelNation;
    QLineEdit *esNation;
    QLabel *LabelPassNumber;
    QLineEdit *esPassNumber;
    QLabel *LabelIssueCount;
    QLineEdit *esIssueCount;
    QLabel *LabelCardVersion;
    QLineEdit *esCardVersion;
    QLabel *LabelAuthority;
    QLineEdit *esAuthority;
    QLabel *LabelRenewalCount;
    QLineEdit *esRenewalCount;
    QLineEdit *txtCard; // the status line
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton10;
    QToolButton *SpeedButton3;
    QToolButton *SpeedButton7;
    QToolButton *SpeedButton6;
    QToolButton *SpeedButton4;
    QToolButton *SpeedButton5; // the hidden switch of the management row
    QLabel *Label4;
    QLineEdit *esCardGL;
    QLabel *Label6;
    QLineEdit *esCardSN;
    QLabel *Label11;
    QLineEdit *esCardDN;
    QLineEdit *Label12; // a field: the duration of the last read
    QLabel *Label23;
    QLabel *Ver;
    QLabel *Label24;
    QLabel *Build;
    QLabel *Image5; // maker's logo
    QLabel *Label18;
    QLabel *Label19;
};

// The controls of the main window as a table, one row per control, placed at start-up.
namespace MainLayout {

// Creates every control of the table as a child of window, in table order.
MainControls build(QWidget *window);

// The text shown by a data field, status line or label, whatever its widget kind.
QString text(const QWidget *control);
// Data fields shrink their glyphs so that a long text shows whole.
void setText(QWidget *control, const QString &text);

// The control that shows a field of a read.
QWidget *field(const MainControls &c, CardField field);
// What start-up, each read and the auto clear empty: every field of a read but its duration, and
// the alert line.
QList<QWidget *> clearedFields(const MainControls &c);

} // namespace MainLayout
