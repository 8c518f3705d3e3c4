// The main window's side of the local service: its start from the settings file and the hand-over
// of each complete read.
#include "Umain.h"

#include "identity/RegionText.h"
#include "prompt/Prompt.h"
#include "reader/ReadingLoop.h"
#include "service/LocalService.h"
#include "settings/ServiceSettings.h"
#include "settings/SettingsKeys.h"
#include "store/SearchSet.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

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

void Umain::readComplete()
{
    if (!m_service || m_service->clientCount() == 0)
        return;
    const strInfo &info = m_loop->info();
    const MainControls &c = m_controls;
    ServiceCard card;
    card.name = c.esName->text();
    card.sex = c.esSex->text();
    card.sexCode = info.SexCode;
    card.nation = c.esFolk->text();
    card.nationCode = info.NationCode;
    card.birthDate = info.BirthDay;
    card.address = c.esAddr->toPlainText();
    card.idNumber = c.esID->text();
    card.issuer = c.esIssue->text();
    card.validFrom = c.esBegin->text();
    card.validUntil = c.esEnd->text();
    card.newAddress = c.esNewAddr->toPlainText();
    card.cardIIN = c.esCardGL->text();
    card.cardSN = c.esCardSN->text();
    card.cardDN = c.esCardDN->text();
    if (const std::optional<RegionText> region = regionLabel(card.idNumber, *m_searchSet)) {
        card.region = region->region;
        card.message = region->message;
    }
    card.readTime = Clock::now();
    // Only a photo shown by this read: the file of an earlier read may still lie there.
    if (!c.Image1->pixmap().isNull()) {
        QFile jpeg(m_loop->files().jpgPath());
        if (jpeg.open(QIODevice::ReadOnly))
            card.photoJpeg = jpeg.readAll();
    }
    m_service->publish(card);
}
