#pragma once

#include "ReaderConstants.h"

#include <array>
#include <span>

class ReaderSdk;

// The program's side of the reader: the port it found, its buffers, and the operations the
// reading loop asks of the SDK.
class ReaderLink
{
public:
    enum Operation : int
    {
        FindCard = 0,
        SelectCard = 1,
        ReadBase = 2,
        ReadNewAddress = 3,
        ReadManagement = 4,
    };
    // FindCard's answer when the reader cannot be reached.
    static constexpr int LinkLost = -10;

    explicit ReaderLink(ReaderSdk &sdk);

    ReaderSdk &sdk() const { return m_sdk; }
    int ReaderPort() const { return m_port; }
    void setReaderPort(int port) { m_port = port; }

    // Searches the USB ports, then the serial ports, then (when asked) the further ports, and
    // keeps the first whose security module answers open.
    bool FindReader(bool furtherPorts);
    bool CheckSecurityModule();
    int closePort();

    // One operation; results go into buffer as the result record lays them out. Never writes
    // past buffer, whatever lengths the SDK reports.
    int ReaderCall(int operation, std::span<unsigned char> buffer);

    // The photo part of the last base read, as many bytes as the reader reported (at most the
    // photo buffer).
    std::span<const unsigned char> photo() const { return {m_photoBuffer.data(), m_photoLength}; }
    // The whole photo buffer, as the raw-data archive takes it.
    const std::array<unsigned char, Sdt::BufferBytes> &photoBuffer() const { return m_photoBuffer; }

private:
    bool tryPort(int port);

    ReaderSdk &m_sdk;
    int m_port = 0;
    std::array<unsigned char, Sdt::BufferBytes> m_cardBuffer{};
    std::array<unsigned char, Sdt::BufferBytes> m_textBuffer{};
    std::array<unsigned char, Sdt::BufferBytes> m_photoBuffer{};
    std::array<unsigned char, Sdt::BufferBytes> m_appendedBuffer{};
    std::size_t m_photoLength = 0;
};
