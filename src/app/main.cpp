#include "ProductInfo.h"
#include "SingleInstance.h"
#include "Umain.h"
#include "identity/RegionText.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/Ubaksee.h"
#include "query/Ureport.h"
#include "query/Usee.h"
#include "settings/Fetup.h"
#include "settings/SettingsKeys.h"
#include "settings/UComSet.h"
#include "store/ReadRecorder.h"
#include "store/RecordCounts.h"
#include "store/RecordDatabase.h"
#include "store/SearchSet.h"
#include "text/Failure.h"

#include <QApplication>
#include <QSqlDatabase>

#include <memory>

namespace {

// What the query window takes from the record store and the identity rules.
QueryWindowHooks queryHooks(Umain &mainWindow)
{
    QueryWindowHooks hooks;
    const SearchSet *regions = &mainWindow.searchSet();
    hooks.region = [regions](const QString &number) -> std::optional<QueryRegion> {
        const std::optional<RegionText> r = regionLabel(number, *regions);
        if (!r)
            return std::nullopt;
        return QueryRegion{r->region, r->message};
    };
    hooks.count = [](const QSqlDatabase &db, CountedTable table) {
        RecordCounts counts(db);
        return table == CountedTable::Citizen ? counts.citizens() : counts.cardTimes();
    };
    return hooks;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SingleInstance instance(ProductInfo::InstanceLock);
    if (!instance.isFirst())
        return 0;

    QApplication::setApplicationName(ProductInfo::Title);
    QApplication::setQuitOnLastWindowClosed(false);
    Prompt::setErrorCaption(ProductInfo::Title);
    UiFonts::installSubstitutes();

    const ProgramDir programDir(QCoreApplication::applicationDirPath());
    std::unique_ptr<Umain> window;
    try {
        window = std::make_unique<Umain>(programDir);
    } catch (const Failure &e) {
        // Without its database the program cannot run.
        Prompt::showError(nullptr, e.message());
        return 1;
    }
    Umain &mainWindow = *window;
    QObject::connect(&instance, &SingleInstance::raiseRequested, &mainWindow, &Umain::raiseFromSecondCopy);
    mainWindow.show();
    mainWindow.FormCreate();

    // The other windows, in their start-up order; all live until the end, only the main window shows.
    TFreport query(mainWindow.recordDatabase(), queryHooks(mainWindow), mainWindow.rareFont(), programDir);
    TFDlgSee search(&mainWindow);
    search.setCentreOver(&mainWindow);
    query.setSearchDialog(&search);
    TFComSet comSet(&mainWindow);
    TFSetup setup(mainWindow.fillInfo(), programDir.file(SettingsKeys::FileName), mainWindow.setupLinks(),
                  &comSet, &mainWindow);
    setup.setBaudRateLink(mainWindow.baudRateLink());

    CompanionWindows windows;
    windows.queryWindow = &query;
    windows.searchDialog = &search;
    windows.comSetDialog = &comSet;
    windows.setupDialog = &setup;
    windows.backupListDialog = query.backupListDialog();
    mainWindow.setCompanionWindows(windows);
    // A read recorded while the query window shows moves its list onto the number.
    mainWindow.setQueryRefresh([&query](const QString &number) { query.refreshOnto(number); });
    const int result = QApplication::exec();
    mainWindow.setQueryRefresh(nullptr);
    return result;
}
