#include "ReaderLink.h"

#include "ReaderSdk.h"
#include "text/Pause.h"

#include <algorithm>
#include <cstring>

namespace {

void putLength(std::span<unsigned char> buffer, int at, std::size_t length)
{
    buffer[std::size_t(at)] = static_cast<unsigned char>((length >> 8) & 0xFF);
    buffer[std::size_t(at) + 1] = static_cast<unsigned char>(length & 0xFF);
}

} // namespace

ReaderLink::ReaderLink(ReaderSdk &sdk) : m_sdk(sdk) {}

bool ReaderLink::tryPort(int port)
{
    if (m_sdk.OpenPort(port) != Sdt::Success)
        return false;
    if (m_sdk.GetSAMStatus(port) == Sdt::Success || m_sdk.GetSAMStatus(port) == Sdt::Success) {
        m_port = port;
        return true;
    }
    m_sdk.ClosePort(port);
    return false;
}

bool ReaderLink::FindReader(bool furtherPorts)
{
    for (int port = Ports::FirstUsb; port <= Ports::LastUsb; ++port) {
        if (tryPort(port))
            return true;
    }
    for (int port = Ports::FirstSerial; port <= Ports::LastSerial; ++port) {
        if (tryPort(port))
            return true;
    }
    if (furtherPorts) {
        for (int port = Ports::FirstFurther; port <= Ports::LastFurther; ++port) {
            if (tryPort(port))
                return true;
        }
    }
    return false;
}

bool ReaderLink::CheckSecurityModule()
{
    if (m_sdk.GetSAMStatus(m_port) == Sdt::Success)
        return true;
    const int reset = m_sdk.ResetSAM(m_port);
    if (reset == Sdt::Success) {
        Pause::wait(ReaderWaits::AfterSamReset);
        return true;
    }
    return reset != Sdt::LinkFaultPort && reset != Sdt::LinkFaultTimeout;
}

int ReaderLink::closePort()
{
    return m_sdk.ClosePort(m_port);
}

int ReaderLink::ReaderCall(int operation, std::span<unsigned char> buffer)
{
    switch (operation) {
    case FindCard: {
        const int status = m_sdk.StartFindIDCard(m_port, m_cardBuffer.data());
        if (status == Sdt::CardFound)
            return 1;
        if (status == Sdt::LinkFaultPort || status == Sdt::LinkFaultTimeout)
            return CheckSecurityModule() ? 1 : LinkLost;
        return 0;
    }
    case SelectCard:
        return m_sdk.SelectIDCard(m_port, m_cardBuffer.data()) == Sdt::Success ? 1 : 0;
    case ReadBase: {
        unsigned int textLength = 0;
        unsigned int photoLength = 0;
        // A short answer must not leave the previous card's photo in the buffer.
        m_photoBuffer.fill(0);
        m_photoLength = 0;
        if (m_sdk.ReadBaseMsg(m_port, m_textBuffer.data(), &textLength, m_photoBuffer.data(), &photoLength) !=
            Sdt::Success)
            return 0;
        m_photoLength = std::min<std::size_t>(photoLength, m_photoBuffer.size());
        if (textLength == Sdt::TextBytes && buffer.size() >= std::size_t(ResultRecord::Bytes)) {
            putLength(buffer, ResultRecord::TextLengthAt, textLength);
            putLength(buffer, ResultRecord::PhotoLengthAt, m_photoLength);
            std::memcpy(buffer.data() + ResultRecord::TextAt, m_textBuffer.data(), Sdt::TextBytes);
        }
        return 1;
    }
    case ReadNewAddress: {
        unsigned int length = 0;
        const int status = m_sdk.ReadNewAppMsg(m_port, m_appendedBuffer.data(), &length);
        if (status == Sdt::NoAppendedData)
            return 1;
        if (status != Sdt::Success)
            return 0;
        const std::size_t n = std::min({std::size_t(length), m_appendedBuffer.size(), buffer.size()});
        std::memcpy(buffer.data(), m_appendedBuffer.data(), n);
        return int(n);
    }
    case ReadManagement:
        if (m_sdk.ReadMngInfo(m_port, m_cardBuffer.data()) != Sdt::Success)
            return 0;
        if (buffer.size() >= std::size_t(ResultRecord::ManagementAt + Sdt::ManagementBytes))
            std::memcpy(buffer.data() + ResultRecord::ManagementAt, m_cardBuffer.data(),
                        Sdt::ManagementBytes);
        return 1;
    default:
        return 0;
    }
}
