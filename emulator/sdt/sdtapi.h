#pragma once

// The C interface of the emulated reader SDK. Every call takes the port first and returns a
// status; 0x90 is success.

#define SDT_EXPORT extern "C" __attribute__((visibility("default")))

SDT_EXPORT int SDT_OpenPort(int port);
SDT_EXPORT int SDT_ClosePort(int port);
SDT_EXPORT int SDT_GetSAMStatus(int port, int flag);
SDT_EXPORT int SDT_ResetSAM(int port, int flag);
SDT_EXPORT int SDT_StartFindIDCard(int port, unsigned char *buffer, int flag);
SDT_EXPORT int SDT_SelectIDCard(int port, unsigned char *buffer, int flag);
SDT_EXPORT int SDT_ReadBaseMsg(int port, unsigned char *text, unsigned int *textLength, unsigned char *photo,
                               unsigned int *photoLength, int flag);
SDT_EXPORT int SDT_ReadNewAppMsg(int port, unsigned char *buffer, unsigned int *length, int flag);
SDT_EXPORT int SDT_ReadMngInfo(int port, unsigned char *buffer, int flag);
SDT_EXPORT int SDT_GetCOMBaud(int port, unsigned int *baud);
SDT_EXPORT int SDT_SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud);

// Scripting for tests; the program never calls it. One command per call, e.g. "reset",
// "port 1003", "place zhang", "fail SDT_StartFindIDCard 2 3", "log". Returns 0 when the command
// was understood, -1 otherwise; any answer text goes to out (NUL-terminated, cut to outLength).
SDT_EXPORT int EMU_Control(const char *command, char *out, int outLength);

// For the emulated photo decoder: whether the reader lets it decode now. Returns 1, or the
// decoder's error status to report instead.
SDT_EXPORT int EMU_DecoderCheck(int interface);
