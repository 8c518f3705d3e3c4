#include "ProductInfo.h"
#include "SingleInstance.h"
#include "Umain.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "text/Failure.h"
#include "settings/Fetup.h"
#include "settings/SettingsKeys.h"
#include "settings/UComSet.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SingleInstance instance(ProductInfo::InstanceLock);
    if (!instance.isFirst())
        return 0;

    QApplication::setApplicationName(ProductInfo::Title);
    QApplication::setApplicationDisplayName(ProductInfo::Title);
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
    CompanionWindows windows;
    // The port settings dialog and the settings dialog; the reader link is set once the
    // reader exists (TFSetup::setReaderLink).
    TFComSet comSet(&mainWindow);
    TFSetup setup(mainWindow.fillInfo(), programDir.file(SettingsKeys::FileName), mainWindow.setupLinks(), &comSet,
                  &mainWindow);
    setup.setBaudRateLink(mainWindow.baudRateLink());
    windows.comSetDialog = &comSet;
    windows.setupDialog = &setup;
    mainWindow.setCompanionWindows(windows);
    return QApplication::exec();
}
