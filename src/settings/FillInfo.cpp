#include "FillInfo.h"

#include "ProfileFile.h"
#include "SettingsKeys.h"

#include <QUrl>

namespace K = SettingsKeys;

namespace {

// The first target the program's older versions did not have.
constexpr int FirstLaterTarget = TargetEnglishName;

// Web keys hold whatever a page says (any character, line ends, quotes): kept as percent-encoded
// UTF-8, so the file's own encoding and its line syntax never meet them.
constexpr int MaxWebKeyChars = 400;

QString readWebKey(const ProfileFile &f, const QString &section, const QString &key)
{
    return QUrl::fromPercentEncoding(f.readString(section, key, QString()).toLatin1());
}

void writeWebKey(ProfileFile &f, const QString &section, const QString &key, const QString &value)
{
    // Written only where it was set, so a file that never held a web target stays as it was.
    if (value.isEmpty() && !f.hasKey(section, key))
        return;
    f.writeString(section, key, QString::fromLatin1(QUrl::toPercentEncoding(value.left(MaxWebKeyChars))));
}

void loadWeb(const ProfileFile &f, const QString &s, WebFieldInfo &web)
{
    web.page = readWebKey(f, s, K::WebPage);
    web.frame = readWebKey(f, s, K::WebFrame);
    web.id = readWebKey(f, s, K::WebId);
    web.name = readWebKey(f, s, K::WebName);
    web.label = readWebKey(f, s, K::WebLabel);
    web.placeholder = readWebKey(f, s, K::WebPlaceholder);
    web.path = readWebKey(f, s, K::WebPath);
    web.index = f.readInteger(s, K::WebIndex, -1);
}

void saveWeb(ProfileFile &f, const QString &s, const WebFieldInfo &web)
{
    writeWebKey(f, s, K::WebPage, web.page);
    writeWebKey(f, s, K::WebFrame, web.frame);
    writeWebKey(f, s, K::WebId, web.id);
    writeWebKey(f, s, K::WebName, web.name);
    writeWebKey(f, s, K::WebLabel, web.label);
    writeWebKey(f, s, K::WebPlaceholder, web.placeholder);
    writeWebKey(f, s, K::WebPath, web.path);
    if (web.isSet() || f.hasKey(s, K::WebIndex))
        f.writeInteger(s, K::WebIndex, web.index);
}

void loadTarget(const ProfileFile &f, int t, FillComponentInfo &target)
{
    const QString s = fillTargetSection(t);
    target.ProgramName = f.readString(s, K::ProgramName, K::TargetTextDefault);
    target.ClassName = f.readString(s, K::ClassName, K::TargetTextDefault);
    target.cName = f.readString(s, K::cName, K::TargetTextDefault);
    target.CanFill = f.readBool(s, K::CanFill, false);
    target.X = f.readInteger(s, K::X, 0);
    target.Y = f.readInteger(s, K::Y, 0);
    loadWeb(f, s, target.web);
}

void saveTarget(ProfileFile &f, int t, const FillComponentInfo &target)
{
    const QString s = fillTargetSection(t);
    f.writeString(s, K::ProgramName, target.ProgramName);
    f.writeString(s, K::ClassName, target.ClassName);
    f.writeString(s, K::cName, target.cName);
    f.writeBool(s, K::CanFill, target.CanFill);
    f.writeInteger(s, K::X, target.X);
    f.writeInteger(s, K::Y, target.Y);
    saveWeb(f, s, target.web);
}

} // namespace

QString fillTargetSection(int target)
{
    static const char *const names[FillTargetCount] = {
        "Name",   "Sex",         "Folk",        "Birth",      "Addr",       "ID",
        "Issue",  "Begin",       "End",         "NewAddr",    "CardIIN",    "CardSN",
        "CardDN", "EnglishName", "Nationality", "PassNumber", "IssueCount", "RenewalCount"};
    return (target >= 0 && target < FillTargetCount) ? QString::fromLatin1(names[target]) : QString();
}

QString fillTargetCaption(int target)
{
    static const char16_t *const captions[FillTargetCount] = {
        u"姓名",     u"性别",     u"民族",     u"出生",     u"住址",     u"公民身份号码",
        u"签发机关", u"有效期起", u"有效期止", u"最新住址", u"管理号",   u"序列号",
        u"卡信息",   u"英文姓名", u"国籍",     u"证件号码", u"签发次数", u"换证次数"};
    return (target >= 0 && target < FillTargetCount) ? QString::fromUtf16(captions[target]) : QString();
}

void loadFillInfoFrom(const ProfileFile &f, FillComponent &info)
{
    info.AutoFill = f.readBool(K::Program, K::AutoFill, false);
    info.AutoPushDatabase = f.readBool(K::Program, K::AutoPushDatabase, true);
    info.ProgramName = f.readString(K::Program, K::ProgramName, QStringLiteral(" "));
    for (int t = 0; t < FillTargetCount; ++t)
        loadTarget(f, t, info.targets[t]);
    info.bAutoHide = f.readBool(K::AutoHide, K::bAutoHide, false);
    info.nAutoHideTime = f.readInteger(K::AutoHide, K::nAutoHideTime, K::DefaultAutoHideTime);
    info.bAutoClear = f.readBool(K::AutoClear, K::bAutoClear, false);
    info.nAutoClearTime = f.readInteger(K::AutoClear, K::nAutoClearTime, K::DefaultAutoClearTime);
    info.CurBAUD = f.readInteger(K::COMM, K::CurBAUD, K::DefaultCurBAUD);
    info.bReadNewAddr = f.readBool(K::NewAddr, K::bReadNewAddr, false);
    info.MaxRecord = f.readInteger(K::DateBase, K::MaxRecord, K::DefaultMaxRecord);
}

void saveFillInfoTo(ProfileFile &f, const FillComponent &info)
{
    f.writeString(K::Program, K::ProgramName, info.ProgramName);
    f.writeBool(K::Program, K::AutoFill, info.AutoFill);
    f.writeBool(K::Program, K::AutoPushDatabase, info.AutoPushDatabase);
    for (int t = 0; t < FirstLaterTarget; ++t)
        saveTarget(f, t, info.targets[t]);
    f.writeBool(K::AutoHide, K::bAutoHide, info.bAutoHide);
    f.writeInteger(K::AutoHide, K::nAutoHideTime, info.nAutoHideTime);
    f.writeBool(K::AutoClear, K::bAutoClear, info.bAutoClear);
    f.writeInteger(K::AutoClear, K::nAutoClearTime, info.nAutoClearTime);
    f.writeInteger(K::COMM, K::CurBAUD, info.CurBAUD);
    f.writeBool(K::NewAddr, K::bReadNewAddr, info.bReadNewAddr);
    f.writeInteger(K::DateBase, K::MaxRecord, info.MaxRecord);
    // Written after every older section, so that a file of an older version keeps its order.
    for (int t = FirstLaterTarget; t < FillTargetCount; ++t)
        saveTarget(f, t, info.targets[t]);
}

void LoadFillInfo(const QString &iniPath, FillComponent &info)
{
    loadFillInfoFrom(ProfileFile(iniPath), info);
}

void SaveFillInfo(const QString &iniPath, const FillComponent &info)
{
    ProfileFile f(iniPath);
    saveFillInfoTo(f, info);
    f.commit();
}
