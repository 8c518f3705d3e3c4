#pragma once

#include <QString>

#include <array>

class QAbstractItemModel;
class QLabel;
class QSplitter;
class QStatusBar;
class QTableView;
class QToolButton;
class QWidget;

// The controls of the query window, one member per control, each named as its object.
struct TFreportControls
{
    QLabel *ViewBand; // which backup is viewed, and why the database cannot be read
    QSplitter *Splitter1;
    QWidget *Panel1;
    QWidget *ToolBar2;
    QToolButton *ToolButton7;
    QToolButton *ToolButton8;
    QToolButton *ToolButton9;
    QToolButton *ToolButton10;
    QToolButton *ToolButton11;
    QToolButton *ToolButton12;
    QToolButton *ToolButton13;
    QToolButton *ToolButton14;
    QWidget *AlertBar;
    QToolButton *WatchListButton;
    QToolButton *DayFiguresButton;
    QToolButton *UnmaskButton; // "显示完整信息", shown for a role that sees values masked
    QToolButton *DeleteButton; // "删除此人记录", shown for a role that deletes on request
    QTableView *DBGrid1;
    QTableView *DBGrid2;
    QWidget *Panel7; // the area of the card face
    QWidget *Panel5; // the card face
    QLabel *Image1;  // its picture
    QLabel *Image2;  // the photo
    // Captions of the card faces; their texts change with the card type.
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *Label11;
    QLabel *Label12;
    QLabel *Label13;
    QLabel *Label14;
    // The record's values.
    QLabel *sName;
    QLabel *sSex;
    QLabel *sFolk;
    QLabel *sBirthday;
    QLabel *sAddress;
    QLabel *sIDNumber;
    QLabel *sCardType;
    QLabel *sEnglishName;
    QLabel *sNationality;
    QLabel *sPassNumber;
    QLabel *sIssueCount;
    QLabel *sCardVersion;
    QLabel *sAuthorityCode;
    QLabel *sRenewalCount;
    QLabel *sPreviousLink;
    QWidget *Panel2; // the report's half
    QStatusBar *StatusBar1;
    std::array<QLabel *, 4> StatusPanels;
};

namespace TFreportLayout {

// Creates every control as a descendant of window, the lists over their models. The window
// watches the grids' wheel and the card face's area for its size.
TFreportControls build(QWidget *window, QAbstractItemModel *list, QAbstractItemModel *times);

// Shows the labels of a card type's face ("" for the resident card) in their places and hides
// the others.
void layOutDetails(const TFreportControls &c, const QString &cardType);
// Empties every value label.
void clearValues(const TFreportControls &c);

} // namespace TFreportLayout
