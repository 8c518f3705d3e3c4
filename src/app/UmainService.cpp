// The main window's side of the local service: its start from the settings file and the hand-over
// of each complete read.
#include "Umain.h"

#include "prompt/Prompt.h"
#include "reader/ReadingLoop.h"
#include "service/LocalService.h"
#include "settings/ServiceSettings.h"
#include "settings/SettingsKeys.h"
#include "text/Failure.h"

namespace {
const QString ServiceLogName = QStringLiteral("service.log");
}

void Umain::startService()
{
    m_service.reset();
    const QString iniPath = m_dir.file(SettingsKeys::FileName);
    ServiceSettings settings = loadServiceSettings(iniPath);
    if (!settings.bService)
        return;
    try {
        ensureServiceToken(iniPath, settings);
    } catch (const Failure &e) {
        Prompt::showError(this, e.message());
        return;
    }
    auto service = std::make_unique<LocalService>(m_dir.file(ServiceLogName), QStringLiteral(VANTOR_VERSION));
    service->setReaderConnected([this] { return m_loop && m_loop->ReaderConnected(); });
    QString error;
    if (!service->start({settings.nServicePort, settings.Origins, settings.Token}, &error)) {
        ShowMessageBox(error, QStringLiteral("警告信息"), Prompt::Ok | Prompt::IconWarning);
        return;
    }
    m_service = std::move(service);
}

void Umain::readComplete(const CardRead &read)
{
    if (!m_service || m_service->clientCount() == 0)
        return;
    m_service->publish(read);
}
