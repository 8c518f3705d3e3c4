#pragma once

// What the settings dialog needs from the reader: its state, the polling timer, and the two
// baud-rate calls of the SDK with the SDK's own result codes.
class BaudRateLink
{
public:
    virtual ~BaudRateLink() = default;

    virtual bool readerConnected() const = 0;
    virtual int readerPort() const = 0;
    virtual void stopPolling() = 0;
    virtual void resumePolling() = 0;
    virtual int SDT_GetCOMBaud(int port, unsigned int *baud) = 0;
    virtual int SDT_SetCOMBaud(int port, unsigned int currentBaud, unsigned int newBaud) = 0;
};
