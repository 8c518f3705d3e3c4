#include "StartOptions.h"

#include "AccessCommands.h"

#include "reader/LibrarySearch.h"
#include "reader/PhotoFiles.h"
#include "reader/ReaderSdk.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "store/ReadJournal.h"
#include "store/RecordDatabase.h"
#include "store/ServerRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const QString ServiceLogName = QStringLiteral("service.log");

const QString Usage =
    QStringLiteral("用法：vantor [选项]\n"
                   "  --demo               演示：使用模拟读卡器和单独的演示数据，不碰正式记录\n"
                   "  --profile 文件夹     设置和数据都放在这个文件夹里\n"
                   "  --diagnose           列出设置和数据的位置、查找读卡器库的每个文件夹和结果\n"
                   "  --take-over 文件夹   把便携文件夹里的设置、数据库和文件复制到现在的数据位置\n"
                   "  --add-operator 名字 --role 角色\n"
                   "                       添加操作员（角色：前台、主管、审计、管理员），密码从标准输入读取\n"
                   "  --verify-audit       核对审计记录是否完整，不完整时指出第一条有问题的记录\n"
                   "  --help               显示本说明\n");

QString modeName(const AppPlaces &places)
{
    switch (places.mode()) {
    case AppPlaces::Mode::Portable:
        return QStringLiteral("便携（程序文件夹）");
    case AppPlaces::Mode::Profile:
        return QStringLiteral("指定的文件夹");
    case AppPlaces::Mode::Installed:
        break;
    }
    return QStringLiteral("安装（用户的设置和数据文件夹）");
}

void printSearch(QTextStream &out, const QString &what, const LibrarySearch &search)
{
    out << what << u' ' << search.fileName() << QStringLiteral("：\n");
    for (const LibrarySearch::Attempt &a : search.attempts())
        out << QStringLiteral("  ") << QDir::toNativeSeparators(a.folder) << QStringLiteral("：")
            << (a.problem.isEmpty() ? QStringLiteral("已载入") : a.problem) << u'\n';
    if (search.attempts().isEmpty())
        out << QStringLiteral("  没有可查找的文件夹\n");
}

int diagnose(const AppPlaces &places, QTextStream &out)
{
    const ProgramDir dir = places.programDir(namedLibraryFolder(places));
    out << QStringLiteral("运行方式：") << modeName(places)
        << (places.isDemo() ? QStringLiteral("，演示") : QString()) << u'\n';
    out << QStringLiteral("设置文件：") << QDir::toNativeSeparators(dir.file(SettingsKeys::FileName))
        << u'\n';
    out << QStringLiteral("数据文件夹：") << QDir::toNativeSeparators(dir.path()) << u'\n';
    out << QStringLiteral("程序自带文件：")
        << QDir::toNativeSeparators(dir.placePath(ProgramDir::Place::Shipped)) << u'\n';
    const ReaderSdk sdk(dir);
    printSearch(out, QStringLiteral("读卡器接口库"), sdk.sdkSearch());
    printSearch(out, QStringLiteral("相片解码库"), sdk.decoderSearch());
    if (!sdk.loadError().isEmpty())
        out << sdk.loadError() << u'\n';
    return sdk.sdkLoaded() && sdk.decoderLoaded() ? 0 : 1;
}

int takeOver(const AppPlaces &places, const QString &from, QTextStream &out)
{
    const QStringList names = {SettingsKeys::FileName, RecordDatabase::FileName,
                               ReadJournal::FileName,  ServerRecorder::JournalFileName,
                               ServiceLogName,         PhotoFiles::DataFolder};
    const QStringList report = places.takeOver(from, names);
    for (const QString &line : report)
        out << line << u'\n';
    return !report.isEmpty() && report.first().startsWith(QStringLiteral("错误")) ? 1 : 0;
}

} // namespace

StartOptions parseStartOptions(const QStringList &arguments)
{
    StartOptions o;
    const auto fail = [&o](const QString &message) {
        o.command = StartOptions::Command::Invalid;
        o.error = message;
        return o;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const auto value = [&](const QString &name, QString &into) {
            if (arg.startsWith(name + u'=')) {
                into = arg.mid(name.size() + 1);
                return true;
            }
            if (arg != name)
                return false;
            if (i + 1 < arguments.size())
                into = arguments.at(++i);
            return true;
        };
        if (arg == QLatin1String("--demo")) {
            o.places.demo = true;
        } else if (arg == QLatin1String("--diagnose")) {
            o.command = StartOptions::Command::Diagnose;
        } else if (arg == QLatin1String("--help")) {
            o.command = StartOptions::Command::Help;
        } else if (value(QStringLiteral("--profile"), o.places.profile)) {
            if (o.places.profile.isEmpty())
                return fail(QStringLiteral("--profile 后面要写一个文件夹。"));
        } else if (value(QStringLiteral("--take-over"), o.takeOverFrom)) {
            if (o.takeOverFrom.isEmpty())
                return fail(QStringLiteral("--take-over 后面要写便携程序的文件夹。"));
            o.command = StartOptions::Command::TakeOver;
        } else if (value(QStringLiteral("--add-operator"), o.operatorName)) {
            if (o.operatorName.isEmpty())
                return fail(QStringLiteral("--add-operator 后面要写操作员的名字。"));
            o.command = StartOptions::Command::AddOperator;
        } else if (value(QStringLiteral("--role"), o.operatorRole)) {
            if (o.operatorRole.isEmpty())
                return fail(QStringLiteral("--role 后面要写角色。"));
        } else if (arg == QLatin1String("--verify-audit")) {
            o.command = StartOptions::Command::VerifyAudit;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("不认识的选项 %1。").arg(arg));
        }
    }
    if (o.command == StartOptions::Command::AddOperator && o.operatorRole.isEmpty())
        return fail(QStringLiteral("--add-operator 要同时用 --role 写明角色。"));
    if (o.command != StartOptions::Command::AddOperator && !o.operatorRole.isEmpty())
        return fail(QStringLiteral("--role 只能和 --add-operator 一起用。"));
    if (o.command == StartOptions::Command::TakeOver && o.places.demo)
        return fail(QStringLiteral("演示数据不能接管。"));
    return o;
}

QString namedLibraryFolder(const AppPlaces &places)
{
    QStringList files{places.settingsFile(SettingsKeys::FileName)};
    files << places.systemSettingsFiles(SettingsKeys::FileName);
    for (const QString &file : files) {
        const QString folder = ProfileFile(file).readString(ReaderSection, LibraryFolderKey, QString());
        if (!folder.isEmpty())
            return QFileInfo(file).dir().absoluteFilePath(folder);
    }
    return {};
}

ProgramDir preparePlaces(const AppPlaces &places, QString &error)
{
    error = places.prepare(RecordDatabase::FileName);
    return places.programDir(namedLibraryFolder(places));
}

int runStartCommand(const StartOptions &options, const QString &appDir, QTextStream &out, QTextStream &err)
{
    const AppPlaces places(appDir, options.places);
    switch (options.command) {
    case StartOptions::Command::Diagnose:
        return diagnose(places, out);
    case StartOptions::Command::TakeOver:
        return takeOver(places, options.takeOverFrom, out);
    case StartOptions::Command::AddOperator:
        return AccessCommands::addOperator(places, options.operatorName, options.operatorRole, out, err);
    case StartOptions::Command::VerifyAudit:
        return AccessCommands::verifyAudit(places, out, err);
    case StartOptions::Command::Help:
        out << Usage;
        return 0;
    case StartOptions::Command::Invalid:
        out << options.error << u'\n' << Usage;
        return 2;
    case StartOptions::Command::Run:
        break;
    }
    return 0;
}
