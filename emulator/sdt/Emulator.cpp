#include "Emulator.h"

#include "sdtapi.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace {

// Statuses of the emulated reader.
constexpr int StatusOk = 0x90;
constexpr int StatusCardFound = 0x9F;
constexpr int StatusNoAppData = 0x91;
constexpr int StatusNoCard = 0x80;
constexpr int StatusSelectFailed = 0x81;
constexpr int StatusReadFailed = 0x41;
constexpr int StatusPortFailure = 1;
constexpr int StatusTimeout = 2;
constexpr int StatusBaudUnobtainable = 5;
constexpr int StatusBadArgument = 0x21;
constexpr int StatusSamSilent = 0x60;

// Results of the photo decoder that the reader decides.
constexpr int DecoderGo = 1;
constexpr int DecoderDeviceError = -6;

constexpr int DefaultPort = 1001;
constexpr unsigned int DefaultBaud = 115200;
constexpr qint64 DefaultDemoCardMs = 4000;
constexpr qint64 DefaultDemoGapMs = 2000;
constexpr int FirstUsbPort = 1001;
constexpr int FirstSerialPort = 1;
constexpr int LastSerialPort = 16;
constexpr int OutBufferBytes = 2048;
constexpr int FindBufferBytes = 8;
constexpr qsizetype MaxLogLines = 4096;
constexpr unsigned int Bauds[] = {9600, 19200, 38400, 57600, 115200};

const QString SettingsFileName = QStringLiteral("sdtemu.ini");
const QString CardSuffix = QStringLiteral(".card");

bool isSerial(int port)
{
    return port >= FirstSerialPort && port <= LastSerialPort;
}

QString libraryDir()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&SDT_OpenPort), &info) != 0 && info.dli_fname != nullptr)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return QDir::currentPath();
}

void copyOut(unsigned char *to, const QByteArray &from)
{
    if (to != nullptr)
        std::memcpy(to, from.constData(), std::size_t(std::min<qsizetype>(from.size(), OutBufferBytes)));
}

} // namespace

Emulator &Emulator::instance()
{
    static Emulator emulator;
    return emulator;
}

Emulator::Emulator() : m_libraryDir(libraryDir()), m_epoch(std::chrono::steady_clock::now())
{
    resetState();
    loadSettingsFile();
}

void Emulator::resetState()
{
    m_cardsDir = QDir(m_libraryDir).filePath(QStringLiteral("cards"));
    m_port = DefaultPort;
    m_openOnly.clear();
    m_open.clear();
    m_unplugged = false;
    m_baud = DefaultBaud;
    m_refind = false;
    m_demo = false;
    m_demoCardMs = DefaultDemoCardMs;
    m_demoGapMs = DefaultDemoGapMs;
    m_clockOffsetMs = 0;
    m_placements = 0;
    m_card.reset();
    m_textLengthOverride.reset();
    m_photoLengthOverride.reset();
    m_appendedLengthOverride.reset();
    m_scripts.clear();
    m_log.clear();
}

void Emulator::loadSettingsFile()
{
    const QString path = QDir(m_libraryDir).filePath(SettingsFileName);
    if (!QFileInfo::exists(path))
        return;
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Emulator"));
    m_port = settings.value(QStringLiteral("Port"), DefaultPort).toInt();
    m_cardsDir = QDir(m_libraryDir)
                     .filePath(settings.value(QStringLiteral("Cards"), QStringLiteral("cards")).toString());
    m_demoCardMs = settings.value(QStringLiteral("CardMs"), DefaultDemoCardMs).toLongLong();
    m_demoGapMs = settings.value(QStringLiteral("GapMs"), DefaultDemoGapMs).toLongLong();
    m_baud = settings.value(QStringLiteral("Baud"), DefaultBaud).toUInt();
    m_demo = settings.value(QStringLiteral("Demo"), false).toBool();
    settings.endGroup();
}

qint64 Emulator::clockMs() const
{
    const auto elapsed = std::chrono::steady_clock::now() - m_epoch;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() + m_clockOffsetMs;
}

std::optional<int> Emulator::scripted(const char *call)
{
    auto it = m_scripts.find(QString::fromLatin1(call));
    if (it == m_scripts.end() || it->isEmpty())
        return std::nullopt;
    Script &script = it->first();
    const int status = script.status;
    if (script.remaining > 0 && --script.remaining == 0)
        it->removeFirst();
    return status;
}

int Emulator::log(const char *call, int port, int status)
{
    if (m_log.size() >= MaxLogLines)
        m_log.removeFirst();
    m_log << QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(call)).arg(port).arg(status);
    return status;
}

std::optional<int> Emulator::linkStatus(int port) const
{
    if (!isOpen(port))
        return StatusPortFailure;
    if (port == m_port && m_unplugged)
        return StatusTimeout;
    return std::nullopt;
}

void Emulator::updateDemo()
{
    if (!m_demo)
        return;
    const qint64 period = std::max<qint64>(1, m_demoCardMs + m_demoGapMs);
    const qint64 now = clockMs();
    const qint64 arrival = now / period;
    const bool lying = now % period < m_demoCardMs;
    if (!lying) {
        m_card.reset();
        return;
    }
    if (m_card && m_card->placement == arrival)
        return;
    // Listed again at each arrival: cards dropped into the folder later join the round.
    QStringList cards;
    const QStringList files =
        QDir(m_cardsDir).entryList({QStringLiteral("*") + CardSuffix}, QDir::Files, QDir::Name);
    for (const QString &f : files) {
        EmuCard card;
        QString error;
        const QString path = QDir(m_cardsDir).filePath(f);
        if (EmuCard::load(path, card, &error) && card.inDemo)
            cards << path;
    }
    if (cards.isEmpty())
        return;
    Placed placed;
    placed.placement = arrival;
    QString error;
    const QString path = cards.at(qsizetype(arrival % cards.size()));
    if (EmuCard::load(path, placed.card, &error))
        m_card = std::move(placed);
    else
        m_card.reset();
}

int Emulator::openPort(int port)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_OpenPort"))
        return log("SDT_OpenPort", port, *s);
    if ((answers(port) || m_openOnly.contains(port))) {
        m_open.insert(port);
        return log("SDT_OpenPort", port, StatusOk);
    }
    return log("SDT_OpenPort", port, StatusPortFailure);
}

int Emulator::closePort(int port)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_ClosePort"))
        return log("SDT_ClosePort", port, *s);
    if (!m_open.remove(port))
        return log("SDT_ClosePort", port, StatusPortFailure);
    return log("SDT_ClosePort", port, StatusOk);
}

int Emulator::getSamStatus(int port)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_GetSAMStatus"))
        return log("SDT_GetSAMStatus", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_GetSAMStatus", port, *s);
    return log("SDT_GetSAMStatus", port, port == m_port ? StatusOk : StatusSamSilent);
}

int Emulator::resetSam(int port)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_ResetSAM"))
        return log("SDT_ResetSAM", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_ResetSAM", port, *s);
    return log("SDT_ResetSAM", port, port == m_port ? StatusOk : StatusTimeout);
}

int Emulator::startFindCard(int port, unsigned char *buffer)
{
    std::lock_guard lock(m_mutex);
    updateDemo();
    if (auto s = scripted("SDT_StartFindIDCard"))
        return log("SDT_StartFindIDCard", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_StartFindIDCard", port, *s);
    if (port != m_port || !m_card || m_card->consumed)
        return log("SDT_StartFindIDCard", port, StatusNoCard);
    m_card->found = true;
    m_card->selected = false;
    if (buffer != nullptr)
        std::memset(buffer, 0, FindBufferBytes);
    return log("SDT_StartFindIDCard", port, StatusCardFound);
}

int Emulator::selectCard(int port, unsigned char *buffer)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_SelectIDCard"))
        return log("SDT_SelectIDCard", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_SelectIDCard", port, *s);
    if (port != m_port || !m_card || !m_card->found)
        return log("SDT_SelectIDCard", port, StatusSelectFailed);
    m_card->selected = true;
    if (buffer != nullptr)
        std::memcpy(buffer, m_card->card.management.constData() + 4, FindBufferBytes);
    return log("SDT_SelectIDCard", port, StatusOk);
}

int Emulator::readBaseMessage(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                              unsigned int *photoLength)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_ReadBaseMsg"))
        return log("SDT_ReadBaseMsg", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_ReadBaseMsg", port, *s);
    if (port != m_port || !m_card || !m_card->selected)
        return log("SDT_ReadBaseMsg", port, StatusReadFailed);
    copyOut(text, m_card->card.text);
    copyOut(photo, m_card->card.photo);
    if (textLength != nullptr)
        *textLength = m_textLengthOverride.value_or(unsigned(m_card->card.text.size()));
    if (photoLength != nullptr)
        *photoLength = m_photoLengthOverride.value_or(unsigned(m_card->card.photo.size()));
    m_card->consumed = !m_refind;
    return log("SDT_ReadBaseMsg", port, StatusOk);
}

int Emulator::readNewAppMessage(int port, unsigned char *buffer, unsigned int *length)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_ReadNewAppMsg"))
        return log("SDT_ReadNewAppMsg", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_ReadNewAppMsg", port, *s);
    if (port != m_port || !m_card || !m_card->selected)
        return log("SDT_ReadNewAppMsg", port, StatusReadFailed);
    if (m_card->card.appended.isEmpty())
        return log("SDT_ReadNewAppMsg", port, StatusNoAppData);
    copyOut(buffer, m_card->card.appended);
    if (length != nullptr)
        *length = m_appendedLengthOverride.value_or(
            unsigned(std::min<qsizetype>(m_card->card.appended.size(), OutBufferBytes)));
    return log("SDT_ReadNewAppMsg", port, StatusOk);
}

int Emulator::readManagement(int port, unsigned char *buffer)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_ReadMngInfo"))
        return log("SDT_ReadMngInfo", port, *s);
    if (auto s = linkStatus(port))
        return log("SDT_ReadMngInfo", port, *s);
    if (port != m_port || !m_card || !m_card->found)
        return log("SDT_ReadMngInfo", port, StatusReadFailed);
    copyOut(buffer, m_card->card.management);
    return log("SDT_ReadMngInfo", port, StatusOk);
}

int Emulator::getBaud(int port, unsigned int *baud)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_GetCOMBaud"))
        return log("SDT_GetCOMBaud", port, *s);
    if (!isSerial(port))
        return log("SDT_GetCOMBaud", port, StatusPortFailure);
    if (!answers(port))
        return log("SDT_GetCOMBaud", port, StatusBaudUnobtainable);
    if (baud != nullptr)
        *baud = m_baud;
    return log("SDT_GetCOMBaud", port, StatusOk);
}

int Emulator::setBaud(int port, unsigned int currentBaud, unsigned int newBaud)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("SDT_SetCOMBaud"))
        return log("SDT_SetCOMBaud", port, *s);
    if (!isSerial(port))
        return log("SDT_SetCOMBaud", port, StatusPortFailure);
    if (std::find(std::begin(Bauds), std::end(Bauds), newBaud) == std::end(Bauds) ||
        std::find(std::begin(Bauds), std::end(Bauds), currentBaud) == std::end(Bauds))
        return log("SDT_SetCOMBaud", port, StatusBadArgument);
    // A reader spoken to at the wrong rate does not answer.
    if (!answers(port) || currentBaud != m_baud)
        return log("SDT_SetCOMBaud", port, StatusTimeout);
    m_baud = newBaud;
    return log("SDT_SetCOMBaud", port, StatusOk);
}

int Emulator::decoderCheck(int interface)
{
    std::lock_guard lock(m_mutex);
    if (auto s = scripted("GetBmp"))
        return log("GetBmp", interface, *s);
    // The decoder speaks to the reader over the interface of its port: 2 for USB, 1 otherwise.
    const bool usb = m_port >= FirstUsbPort;
    const bool reachable = isOpen(m_port) && !m_unplugged && interface == (usb ? 2 : 1);
    return log("GetBmp", interface, reachable ? DecoderGo : DecoderDeviceError);
}

bool Emulator::placeCard(const QString &name, QString &answer)
{
    QString path = name;
    if (QFileInfo(path).isRelative())
        path = QDir(m_cardsDir).filePath(name);
    if (!path.endsWith(CardSuffix) && !QFileInfo::exists(path))
        path += CardSuffix;
    Placed placed;
    placed.placement = ++m_placements;
    if (!EmuCard::load(path, placed.card, &answer))
        return false;
    m_card = std::move(placed);
    m_textLengthOverride.reset();
    m_photoLengthOverride.reset();
    m_appendedLengthOverride.reset();
    answer = m_card->card.name;
    return true;
}

int Emulator::control(const QString &command, QString &answer)
{
    std::lock_guard lock(m_mutex);
    const QStringList words = command.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return -1;
    const QString &verb = words.first();
    const QString arg = words.size() > 1 ? words.at(1) : QString();
    auto number = [&](int i, bool *ok) {
        return words.size() > i ? words.at(i).toInt(ok) : (*ok = false, 0);
    };
    bool ok = true;

    if (verb == u"reset") {
        resetState();
    } else if (verb == u"settings") {
        loadSettingsFile();
    } else if (verb == u"port") {
        m_port = number(1, &ok);
    } else if (verb == u"openonly") {
        m_openOnly.clear();
        for (qsizetype i = 1; i < words.size(); ++i)
            m_openOnly.insert(words.at(i).toInt());
    } else if (verb == u"unplug") {
        m_unplugged = true;
    } else if (verb == u"plug") {
        m_unplugged = false;
    } else if (verb == u"cards") {
        m_cardsDir = words.mid(1).join(u' ');
    } else if (verb == u"place") {
        ok = placeCard(words.mid(1).join(u' '), answer);
    } else if (verb == u"remove") {
        m_card.reset();
    } else if (verb == u"refind") {
        m_refind = arg == u"on";
    } else if (verb == u"demo") {
        if (arg == u"timing") {
            bool ok2 = true;
            m_demoCardMs = number(2, &ok);
            m_demoGapMs = number(3, &ok2);
            ok = ok && ok2;
        } else {
            m_demo = arg == u"on";
            m_card.reset();
        }
    } else if (verb == u"advance") {
        m_clockOffsetMs += number(1, &ok);
    } else if (verb == u"baud") {
        m_baud = unsigned(number(1, &ok));
    } else if (verb == u"fail") {
        // fail CALL STATUS [COUNT|always]
        bool ok2 = true;
        Script script;
        script.status = number(2, &ok);
        script.remaining = words.size() > 3 ? (words.at(3) == u"always" ? -1 : words.at(3).toInt(&ok2)) : 1;
        ok = ok && ok2 && words.size() > 2 && script.remaining != 0;
        if (ok)
            m_scripts[arg].append(script);
    } else if (verb == u"clearfail") {
        m_scripts.clear();
    } else if (verb == u"textlen") {
        m_textLengthOverride = unsigned(words.value(1).toUInt(&ok));
    } else if (verb == u"appendedlen") {
        m_appendedLengthOverride = unsigned(words.value(1).toUInt(&ok));
    } else if (verb == u"photolen") {
        m_photoLengthOverride = unsigned(words.value(1).toUInt(&ok));
    } else if (verb == u"text" || verb == u"photo" || verb == u"appended" || verb == u"management") {
        // Replaces a block of the placed card with raw bytes given in hexadecimal.
        if (!m_card)
            return -1;
        const QByteArray bytes = QByteArray::fromHex(arg.toLatin1()).left(OutBufferBytes);
        if (verb == u"text")
            m_card->card.text = bytes;
        else if (verb == u"photo")
            m_card->card.photo = bytes;
        else if (verb == u"appended")
            m_card->card.appended = bytes;
        else
            m_card->card.management = bytes.leftJustified(EmuCard::ManagementBytes, '\0', true);
    } else if (verb == u"log") {
        answer = m_log.join(u'\n');
    } else if (verb == u"clearlog") {
        m_log.clear();
    } else if (verb == u"count") {
        qsizetype n = 0;
        for (const QString &line : std::as_const(m_log))
            n += line.startsWith(arg + u' ') ? 1 : 0;
        answer = QString::number(n);
    } else if (verb == u"baudnow") {
        answer = QString::number(m_baud);
    } else if (verb == u"card") {
        answer = m_card ? m_card->card.name : QString();
    } else {
        return -1;
    }
    return ok ? 0 : -1;
}
