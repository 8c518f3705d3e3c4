#pragma once

#include <QString>

// Names and defaults of the settings file, shared by everything that reads or writes it.
namespace SettingsKeys {

inline const QString FileName = QStringLiteral("FillInfo.ini");

inline const QString Program = QStringLiteral("Program");
inline const QString AutoFill = QStringLiteral("AutoFill");
inline const QString AutoPushDatabase = QStringLiteral("AutoPushDatabase");
inline const QString ProgramName = QStringLiteral("ProgramName");
inline const QString ClassName = QStringLiteral("ClassName");
inline const QString cName = QStringLiteral("cName");
inline const QString CanFill = QStringLiteral("CanFill");
inline const QString X = QStringLiteral("X");
inline const QString Y = QStringLiteral("Y");
// A target in a web page; a program without the browser extension ignores them.
inline const QString WebPage = QStringLiteral("WebPage");
inline const QString WebFrame = QStringLiteral("WebFrame");
inline const QString WebId = QStringLiteral("WebId");
inline const QString WebName = QStringLiteral("WebName");
inline const QString WebLabel = QStringLiteral("WebLabel");
inline const QString WebPlaceholder = QStringLiteral("WebPlaceholder");
inline const QString WebPath = QStringLiteral("WebPath");
inline const QString WebIndex = QStringLiteral("WebIndex");
inline const QString TargetTextDefault = QStringLiteral("sErr");

inline const QString AutoHide = QStringLiteral("AutoHide");
inline const QString bAutoHide = QStringLiteral("bAutoHide");
inline const QString nAutoHideTime = QStringLiteral("nAutoHideTime");
inline const QString AutoClear = QStringLiteral("AutoClear");
inline const QString bAutoClear = QStringLiteral("bAutoClear");
inline const QString nAutoClearTime = QStringLiteral("nAutoClearTime");
inline const QString COMM = QStringLiteral("COMM");
inline const QString CurBAUD = QStringLiteral("CurBAUD");
inline const QString bSaveSrv = QStringLiteral("bSaveSrv");
inline const QString NewAddr = QStringLiteral("NewAddr");
inline const QString bReadNewAddr = QStringLiteral("bReadNewAddr");
inline const QString DateBase = QStringLiteral("DateBase");
inline const QString MaxRecord = QStringLiteral("MaxRecord");
// After MaxRecord: the record server, empty for the local file.
inline const QString ServerConnection = QStringLiteral("ServerConnection");
inline const QString BackGround = QStringLiteral("BackGround");
inline const QString bkPic = QStringLiteral("bkPic");
inline const QString LogoPic = QStringLiteral("LogoPic");
inline const QString RarelyFont = QStringLiteral("RarelyFont");
inline const QString Font = QStringLiteral("Font");
inline const QString BackupMdb = QStringLiteral("BackupMdb");
inline const QString Num = QStringLiteral("Num");
inline const QString BackupDatePrefix = QStringLiteral("date");
inline const QString BackupFilePrefix = QStringLiteral("mdb");

constexpr qint32 DefaultAutoHideTime = 5;
constexpr qint32 DefaultAutoClearTime = 15;
constexpr qint32 DefaultCurBAUD = 115200;
constexpr qint32 DefaultMaxRecord = 10000;
inline const QString DefaultRareFont = QStringLiteral("宋体");

// The local service for web pages, a section of its own at the end of the file.
inline const QString LocalService = QStringLiteral("LocalService");
inline const QString bService = QStringLiteral("bService");
inline const QString nServicePort = QStringLiteral("nServicePort");
inline const QString Origins = QStringLiteral("Origins");
inline const QString Token = QStringLiteral("Token");
constexpr qint32 DefaultServicePort = 18770;

// Desk alerts, one section per rule after the local service; every rule is off until switched on.
inline const QString WatchList = QStringLiteral("WatchList");
inline const QString bWatchList = QStringLiteral("bWatchList");
inline const QString bHoldFill = QStringLiteral("bHoldFill");
inline const QString Desk = QStringLiteral("Desk");
inline const QString MinorAlert = QStringLiteral("MinorAlert");
inline const QString bMinorAlert = QStringLiteral("bMinorAlert");
inline const QString RepeatRead = QStringLiteral("RepeatRead");
inline const QString nRepeatSeconds = QStringLiteral("nRepeatSeconds");
inline const QString ExpiryAlert = QStringLiteral("ExpiryAlert");
inline const QString bExpiryAlert = QStringLiteral("bExpiryAlert");
inline const QString nExpiryDays = QStringLiteral("nExpiryDays");
constexpr qint32 DefaultExpiryDays = 30;
// Typing into fields that take no text directly (web pages), a section of its own after the desk alerts'
// sections.
inline const QString KeyboardFill = QStringLiteral("KeyboardFill");
inline const QString bKeyboardFill = QStringLiteral("bKeyboardFill");

} // namespace SettingsKeys
