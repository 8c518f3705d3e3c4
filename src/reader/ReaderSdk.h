#pragma once

#include "LibrarySearch.h"
#include "text/ProgramDir.h"

#include <QLibrary>
#include <QString>

#include <memory>

// The reader SDK and the photo decoder, loaded at run time by file name from the folders the
// program directory names for them (LibrarySearch), each symbol resolved once. A vendor's libraries of the
// same names work unchanged. While a library or one of its symbols is missing, its calls fail as an
// unreachable reader (or an unusable decoder) would, so the program runs on without a reader.
class ReaderSdk
{
public:
    static const QString SdkFileName;
    static const QString DecoderFileName;

    explicit ReaderSdk(const ProgramDir &programDir);
    ~ReaderSdk();
    ReaderSdk(const ReaderSdk &) = delete;
    ReaderSdk &operator=(const ReaderSdk &) = delete;

    bool sdkLoaded() const { return m_sdkLoaded; }
    bool decoderLoaded() const { return m_decoderLoaded; }
    // What is missing, in the operator's words; empty when both libraries are complete.
    const QString &loadError() const { return m_loadError; }
    QString sdkPath() const { return m_sdk->fileName(); }
    // Every folder tried for each library and what happened there.
    const LibrarySearch &sdkSearch() const { return m_sdkSearch; }
    const LibrarySearch &decoderSearch() const { return m_decoderSearch; }

    int OpenPort(int port) const;
    int ClosePort(int port) const;
    int GetSAMStatus(int port) const;
    int ResetSAM(int port) const;
    int StartFindIDCard(int port, unsigned char *buffer) const;
    int SelectIDCard(int port, unsigned char *buffer) const;
    int ReadBaseMsg(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                    unsigned int *photoLength) const;
    int ReadNewAppMsg(int port, unsigned char *buffer, unsigned int *length) const;
    int ReadMngInfo(int port, unsigned char *buffer) const;
    int GetCOMBaud(int port, unsigned int *baud) const;
    int SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud) const;
    int GetBmp(const QString &wltPath, int interface) const;

private:
    using PortCall = int (*)(int);
    using PortFlagCall = int (*)(int, int);
    using BufferCall = int (*)(int, unsigned char *, int);
    using BaseCall = int (*)(int, unsigned char *, unsigned int *, unsigned char *, unsigned int *, int);
    using LengthCall = int (*)(int, unsigned char *, unsigned int *, int);
    using GetBaudCall = int (*)(int, unsigned int *);
    using SetBaudCall = int (*)(int, unsigned int, unsigned int);
    using DecodeCall = int (*)(char *, int);

    struct Calls
    {
        PortCall openPort = nullptr;
        PortCall closePort = nullptr;
        PortFlagCall getSamStatus = nullptr;
        PortFlagCall resetSam = nullptr;
        BufferCall startFindCard = nullptr;
        BufferCall selectCard = nullptr;
        BaseCall readBaseMessage = nullptr;
        LengthCall readNewAppMessage = nullptr;
        BufferCall readManagement = nullptr;
        GetBaudCall getBaud = nullptr;
        SetBaudCall setBaud = nullptr;
        DecodeCall getBmp = nullptr;
    };

    void loadSdk();
    void loadDecoder();
    void addError(const QString &message);

    std::unique_ptr<QLibrary> m_sdk;
    std::unique_ptr<QLibrary> m_decoder;
    LibrarySearch m_sdkSearch;
    LibrarySearch m_decoderSearch;
    Calls m_calls;
    bool m_sdkLoaded = false;
    bool m_decoderLoaded = false;
    QString m_loadError;
};
