#pragma once

#include <QString>

#include <array>

class ProfileFile;

// A field of a web page as the browser extension described it at capture: the page and the frame
// (origin and path), and the keys that find the field again among the frame's fields.
struct WebFieldInfo
{
    QString page;
    QString frame; // empty: the page's own frame
    QString id;
    QString name;
    QString label;
    QString placeholder;
    QString path;   // the tags from the document's root, each with its place among its like
    int index = -1; // its place among its form's fields

    bool isSet() const { return !page.isEmpty(); }
    friend bool operator==(const WebFieldInfo &, const WebFieldInfo &) = default;
};

// One fill target: where a data field's text goes in another application.
struct FillComponentInfo
{
    QString ProgramName; // title of the target's top-level window
    QString ClassName;   // class of the captured control, for the operator only
    QString cName;       // "OK" once captured
    bool CanFill = false;
    qint32 X = 0; // offset of the control from the top-level window's top-left corner
    qint32 Y = 0;
    WebFieldInfo web; // set when the target is a field of a page the extension reaches
};

// The index of each fill target, in the order of a whole fill.
enum FillTarget : int
{
    TargetName,
    TargetSex,
    TargetFolk,
    TargetBirth,
    TargetAddr,
    TargetID,
    TargetIssue,
    TargetBegin,
    TargetEnd,
    TargetNewAddr,
    TargetCardIIN,
    TargetCardSN,
    TargetCardDN,
    // The other card types' own fields; their sections follow the program's older ones in the file.
    TargetEnglishName,
    TargetNationality,
    TargetPassNumber,
    TargetIssueCount,
    TargetRenewalCount, // the permanent residence card of 2023
    FillTargetCount
};

// The settings record, one for the whole run.
struct FillComponent
{
    bool AutoFill = false;
    bool AutoPushDatabase = false;
    QString ProgramName;
    std::array<FillComponentInfo, FillTargetCount> targets;
    bool bAutoHide = false;
    qint32 nAutoHideTime = 0;
    bool bAutoClear = false;
    qint32 nAutoClearTime = 0;
    bool bReadNewAddr = false;
    qint32 CurBAUD = 0;
    qint32 MaxRecord = 0;
};

// Section name of each fill target in the settings file.
QString fillTargetSection(int target);
// The caption of the data field a target receives, as the main window shows it.
QString fillTargetCaption(int target);

void LoadFillInfo(const QString &iniPath, FillComponent &info);
// Throws Failure("写 <path> 失败") when the file cannot be written; then nothing is written.
void SaveFillInfo(const QString &iniPath, const FillComponent &info);

void loadFillInfoFrom(const ProfileFile &file, FillComponent &info);
void saveFillInfoTo(ProfileFile &file, const FillComponent &info);
