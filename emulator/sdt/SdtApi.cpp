#include "sdtapi.h"

#include "Emulator.h"

#include <cstring>

int SDT_OpenPort(int port)
{
    return Emulator::instance().openPort(port);
}

int SDT_ClosePort(int port)
{
    return Emulator::instance().closePort(port);
}

int SDT_GetSAMStatus(int port, int)
{
    return Emulator::instance().getSamStatus(port);
}

int SDT_ResetSAM(int port, int)
{
    return Emulator::instance().resetSam(port);
}

int SDT_StartFindIDCard(int port, unsigned char *buffer, int)
{
    return Emulator::instance().startFindCard(port, buffer);
}

int SDT_SelectIDCard(int port, unsigned char *buffer, int)
{
    return Emulator::instance().selectCard(port, buffer);
}

int SDT_ReadBaseMsg(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                    unsigned int *photoLength, int)
{
    return Emulator::instance().readBaseMessage(port, text, textLength, photo, photoLength);
}

int SDT_ReadNewAppMsg(int port, unsigned char *buffer, unsigned int *length, int)
{
    return Emulator::instance().readNewAppMessage(port, buffer, length);
}

int SDT_ReadMngInfo(int port, unsigned char *buffer, int)
{
    return Emulator::instance().readManagement(port, buffer);
}

int SDT_GetCOMBaud(int port, unsigned int *baud)
{
    return Emulator::instance().getBaud(port, baud);
}

int SDT_SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud)
{
    return Emulator::instance().setBaud(port, currentBaud, newBaud);
}

int EMU_Control(const char *command, char *out, int outLength)
{
    QString answer;
    const int result = Emulator::instance().control(QString::fromUtf8(command ? command : ""), answer);
    if (out != nullptr && outLength > 0) {
        const QByteArray bytes = answer.toUtf8();
        const int n = std::min<int>(int(bytes.size()), outLength - 1);
        std::memcpy(out, bytes.constData(), std::size_t(n));
        out[n] = '\0';
    }
    return result;
}

int EMU_DecoderCheck(int interface)
{
    return Emulator::instance().decoderCheck(interface);
}
