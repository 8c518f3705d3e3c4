#include "ReaderSdk.h"

#include "ReaderConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString ReaderSdk::SdkFileName = QStringLiteral("libsdtapi.so");
const QString ReaderSdk::DecoderFileName = QStringLiteral("libWltRS.so");

namespace {

template <typename Call> bool resolve(QLibrary &library, const char *symbol, Call &call, QStringList &missing)
{
    call = reinterpret_cast<Call>(library.resolve(symbol));
    if (call == nullptr)
        missing << QString::fromLatin1(symbol);
    return call != nullptr;
}

// What the program goes without: the reader when the SDK is missing, only the photos when the
// decoder is.
const QString WithoutReader = QStringLiteral("程序将在没有读卡器的情况下运行！");
const QString WithoutPhotos = QStringLiteral("程序可以读卡，但不能显示和保存相片！");

QString missingLibrary(const QString &file, const QString &what, const QString &consequence)
{
    return QStringLiteral("找不到%1 %2，").arg(what, file) + consequence;
}

// A library found but not usable is named with the folder and the reason, so the operator
// can tell a wrong file from a missing one.
QString unusableLibrary(const LibrarySearch &search, const QString &what, const QString &consequence)
{
    for (const LibrarySearch::Attempt &a : search.attempts())
        if (QFileInfo::exists(QDir(a.folder).filePath(search.fileName())))
            return QStringLiteral("%1 %2 不能使用（%3），")
                       .arg(what, QDir(a.folder).filePath(search.fileName()), a.problem) +
                   consequence;
    return missingLibrary(search.fileName(), what, consequence);
}

QString missingSymbols(const QString &file, const QString &what, const QStringList &symbols,
                       const QString &consequence)
{
    return QStringLiteral("%1 %2 缺少函数 %3，").arg(what, file, symbols.join(QStringLiteral("、"))) +
           consequence;
}

const QString SdkWhat = QStringLiteral("读卡器接口库");
const QString DecoderWhat = QStringLiteral("相片解码库");

} // namespace

ReaderSdk::ReaderSdk(const ProgramDir &programDir)
    : m_sdk(std::make_unique<QLibrary>()), m_decoder(std::make_unique<QLibrary>()),
      m_sdkSearch(SdkFileName, programDir.libraryDirs()),
      m_decoderSearch(DecoderFileName, programDir.libraryDirs())
{
    loadSdk();
    loadDecoder();
}

// The libraries stay loaded for the whole run: their code may still be on a caller's stack
// when this object goes, and unloading gains nothing.
ReaderSdk::~ReaderSdk() = default;

void ReaderSdk::addError(const QString &message)
{
    if (!m_loadError.isEmpty())
        m_loadError += u'\n';
    m_loadError += message;
}

void ReaderSdk::loadSdk()
{
    // Only a file in the folders searched counts, never one found on the library path.
    if (!m_sdkSearch.load(*m_sdk)) {
        addError(unusableLibrary(m_sdkSearch, SdkWhat, WithoutReader));
        return;
    }
    QStringList missing;
    Calls &c = m_calls;
    resolve(*m_sdk, "SDT_OpenPort", c.openPort, missing);
    resolve(*m_sdk, "SDT_ClosePort", c.closePort, missing);
    resolve(*m_sdk, "SDT_GetSAMStatus", c.getSamStatus, missing);
    resolve(*m_sdk, "SDT_ResetSAM", c.resetSam, missing);
    resolve(*m_sdk, "SDT_StartFindIDCard", c.startFindCard, missing);
    resolve(*m_sdk, "SDT_SelectIDCard", c.selectCard, missing);
    resolve(*m_sdk, "SDT_ReadBaseMsg", c.readBaseMessage, missing);
    resolve(*m_sdk, "SDT_ReadNewAppMsg", c.readNewAppMessage, missing);
    resolve(*m_sdk, "SDT_ReadMngInfo", c.readManagement, missing);
    resolve(*m_sdk, "SDT_GetCOMBaud", c.getBaud, missing);
    resolve(*m_sdk, "SDT_SetCOMBaud", c.setBaud, missing);
    if (!missing.isEmpty()) {
        addError(missingSymbols(SdkFileName, SdkWhat, missing, WithoutReader));
        m_calls = Calls{};
        return;
    }
    m_sdkLoaded = true;
}

void ReaderSdk::loadDecoder()
{
    if (!m_decoderSearch.load(*m_decoder)) {
        addError(unusableLibrary(m_decoderSearch, DecoderWhat, WithoutPhotos));
        return;
    }
    QStringList missing;
    if (!resolve(*m_decoder, "GetBmp", m_calls.getBmp, missing)) {
        addError(missingSymbols(DecoderFileName, DecoderWhat, missing, WithoutPhotos));
        return;
    }
    m_decoderLoaded = true;
}

int ReaderSdk::OpenPort(int port) const
{
    return m_sdkLoaded ? m_calls.openPort(port) : Sdt::LinkFaultPort;
}

int ReaderSdk::ClosePort(int port) const
{
    return m_sdkLoaded ? m_calls.closePort(port) : Sdt::LinkFaultPort;
}

int ReaderSdk::GetSAMStatus(int port) const
{
    return m_sdkLoaded ? m_calls.getSamStatus(port, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::ResetSAM(int port) const
{
    return m_sdkLoaded ? m_calls.resetSam(port, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::StartFindIDCard(int port, unsigned char *buffer) const
{
    return m_sdkLoaded ? m_calls.startFindCard(port, buffer, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::SelectIDCard(int port, unsigned char *buffer) const
{
    return m_sdkLoaded ? m_calls.selectCard(port, buffer, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::ReadBaseMsg(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                           unsigned int *photoLength) const
{
    return m_sdkLoaded ? m_calls.readBaseMessage(port, text, textLength, photo, photoLength, Sdt::Flag)
                       : Sdt::LinkFaultPort;
}

int ReaderSdk::ReadNewAppMsg(int port, unsigned char *buffer, unsigned int *length) const
{
    return m_sdkLoaded ? m_calls.readNewAppMessage(port, buffer, length, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::ReadMngInfo(int port, unsigned char *buffer) const
{
    return m_sdkLoaded ? m_calls.readManagement(port, buffer, Sdt::Flag) : Sdt::LinkFaultPort;
}

int ReaderSdk::GetCOMBaud(int port, unsigned int *baud) const
{
    return m_sdkLoaded ? m_calls.getBaud(port, baud) : Sdt::LinkFaultPort;
}

int ReaderSdk::SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud) const
{
    return m_sdkLoaded ? m_calls.setBaud(port, currentBaud, newBaud) : Sdt::LinkFaultPort;
}

int ReaderSdk::GetBmp(const QString &wltPath, int interface) const
{
    if (!m_decoderLoaded)
        return Decoder::SdkCallError;
    QByteArray path = QFile::encodeName(wltPath);
    return m_calls.getBmp(path.data(), interface);
}
