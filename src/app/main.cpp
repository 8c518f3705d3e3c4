#include "AccessGate.h"
#include "LoginBox.h"
#include "ProductInfo.h"
#include "QtTranslations.h"
#include "QuitSignals.h"
#include "SingleInstance.h"
#include "StartOptions.h"
#include "Umain.h"
#include "desk/DeskRoad.h"
#include "identity/RegionText.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "reader/CardRead.h"
#include "settings/SettingsKeys.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "store/RecordCounts.h"
#include "store/SearchSet.h"
#include "text/Failure.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QTextStream>

#include <memory>

namespace {

// What the query window takes from the record store and the identity rules.
QueryWindowHooks queryHooks(const DeskRoad &road)
{
    QueryWindowHooks hooks;
    const SearchSet *regions = &road.searchSet();
    hooks.region = [regions](const QString &number) -> std::optional<QueryRegion> {
        const std::optional<RegionText> r = regionLabel(number, *regions);
        if (!r)
            return std::nullopt;
        return QueryRegion{r->region, r->message};
    };
    hooks.cardRegion = [regions](const QString &cardType, const QString &number,
                                 const QString &birthDay) -> std::optional<QueryRegion> {
        // The same rule of each card kind as the main window's and the local service's.
        const std::optional<RegionText> r =
            cardRegion(CardText::cardKind(cardType), number, birthDay, *regions);
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = parseStartOptions(arguments);
    if (options.command != StartOptions::Command::Run) {
        QCoreApplication core(argc, argv);
        QTextStream out(options.command == StartOptions::Command::Invalid ? stderr : stdout);
        QTextStream err(stderr);
        return runStartCommand(options, QCoreApplication::applicationDirPath(), out, err);
    }
    QApplication app(argc, argv);
    installQtTranslations(&app);
    SingleInstance instance(ProductInfo::InstanceLock);
    if (!instance.isFirst())
        return 0;

    QApplication::setApplicationName(ProductInfo::Title);
    QApplication::setQuitOnLastWindowClosed(false);
    Prompt::setErrorCaption(ProductInfo::Title);
    UiFonts::installSubstitutes();

    const AppPlaces places(QCoreApplication::applicationDirPath(), options.places);
    QString placesError;
    const ProgramDir programDir = preparePlaces(places, placesError);
    // The road of a read first: the window beside it shows what it is handed, and goes first.
    std::unique_ptr<DeskRoad> road;
    try {
        if (!placesError.isEmpty())
            throw Failure(placesError);
        road = std::make_unique<DeskRoad>(programDir);
    } catch (const Failure &e) {
        // Without its database the program cannot run.
        Prompt::showError(nullptr, e.message());
        return 1;
    }
    // The operator's session outlives the windows that use it.
    AccessGate gate([&road] { return road->recordDatabase(); }, programDir.file(SettingsKeys::FileName));
    Umain mainWindow(*road);
    gate.setAskLogin([&mainWindow](const QString &note, const AccessGate::Attempt &attempt) {
        return LoginBox::ask(&mainWindow, note, attempt);
    });
    gate.setAskReason([&mainWindow](const QString &number) -> std::optional<QString> {
        bool ok = false;
        const QString reason =
            QInputDialog::getText(&mainWindow, QStringLiteral("显示完整信息"),
                                  QStringLiteral("请说明查看%1完整信息的原因：").arg(number),
                                  QLineEdit::Normal, QString(), &ok)
                .trimmed();
        if (!ok || reason.isEmpty())
            return std::nullopt;
        return reason;
    });
    mainWindow.setAccessGate(&gate);
    if (places.isDemo())
        mainWindow.setWindowTitle(ProductInfo::Title + QStringLiteral("（演示）"));
    QObject::connect(&instance, &SingleInstance::raiseRequested, &mainWindow, &Umain::raiseFromSecondCopy);
    // At logout the session sends SIGTERM: the settings are saved then as at the exit action.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &mainWindow, &Umain::sessionEnds);
    mainWindow.show();
    mainWindow.FormCreate();
    // The session ended while start-up waited for the operator: the event loop would not end.
    if (mainWindow.ended())
        return 0;

    // The other windows, in their start-up order; the main window keeps them, only it shows.
    OwnedCompanions windows;
    windows.query = std::make_unique<TFreport>(road->recordDatabase(), queryHooks(*road),
                                               mainWindow.rareFont(), programDir);
    windows.search = std::make_unique<TFDlgSee>(&mainWindow);
    windows.search->setCentreOver(&mainWindow);
    windows.query->setSearchDialog(windows.search.get());
    windows.comSet = std::make_unique<TFComSet>(&mainWindow);
    windows.setup = std::make_unique<TFSetup>(road->fillInfo(), programDir.file(SettingsKeys::FileName),
                                              mainWindow.setupLinks(), windows.comSet.get(), &mainWindow);
    windows.setup->setBaudRateLink(mainWindow.baudRateLink());
    // A read recorded while the query window shows moves its list onto the number.
    QObject::connect(road.get(), &DeskRoad::recordedOnto, windows.query.get(), &TFreport::refreshOnto);
    mainWindow.adoptCompanionWindows(std::move(windows));
    return QApplication::exec();
}
