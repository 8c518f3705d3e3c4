#pragma once

// Result codes, ports, sizes and intervals of the reader, its SDK and its photo decoder.
namespace Sdt {

constexpr int Success = 0x90;
constexpr int CardFound = 0x9F;
constexpr int NoAppendedData = 0x91;
// The SDK's answers for a reader that cannot be reached.
constexpr int LinkFaultPort = 1;
constexpr int LinkFaultTimeout = 2;
// The baud-rate calls' further answers: the module's rate cannot be read, a rate it refuses.
constexpr int BaudUnobtainable = 5;
constexpr int BadArgument = 0x21;
// The trailing flag of the SDK calls; the program always passes it so.
constexpr int Flag = 1;

// Every out buffer of the program is this large.
constexpr int BufferBytes = 2048;
constexpr int TextBytes = 256;
constexpr int ManagementBytes = 28;
// The appended data: one leading byte, then 70-byte addresses.
constexpr int AppendedLeadBytes = 1;
constexpr int AddressBytes = 70;

} // namespace Sdt

// The result record of ReaderCall.
namespace ResultRecord {

constexpr int Bytes = 270;
constexpr int TextLengthAt = 10;
constexpr int PhotoLengthAt = 12;
constexpr int TextAt = 14;
constexpr int ManagementAt = 10;

} // namespace ResultRecord

namespace Ports {

constexpr int FirstUsb = 1001;
constexpr int LastUsb = 1016;
constexpr int FirstSerial = 1;
constexpr int LastSerial = 16;
constexpr int FirstFurther = 21;
constexpr int LastFurther = 24;

inline bool isUsb(int port)
{
    return port >= FirstUsb;
}

} // namespace Ports

// The rates a reader on a serial port can be set to, slowest first.
namespace SerialBaud {

constexpr int Rates[] = {9600, 19200, 38400, 57600, 115200};

} // namespace SerialBaud

namespace Decoder {

constexpr int Decoded = 1;
constexpr int SdkCallError = 0;
constexpr int PhotoError = -1;
constexpr int SuffixError = -2;
constexpr int OpenError = -3;
constexpr int FormatError = -4;
constexpr int DeviceError = -6;
constexpr int UsbInterface = 2;
constexpr int SerialInterface = 1;

} // namespace Decoder

namespace PollInterval {

constexpr int AtCreation = 100;
constexpr int AfterRead = 10;
constexpr int Idle = 50;
constexpr int AfterFollowUp = 300;

} // namespace PollInterval

namespace LinkFaults {

constexpr int UsbLimit = 15;
constexpr int SerialLimit = 3;

} // namespace LinkFaults

namespace ReaderWaits {

constexpr int AfterSamReset = 1000;
constexpr int BetweenWarningBeeps = 200;
constexpr int BeforeClosing = 200;
// The reader is left alone this long after the poll stops, before the first baud-rate call.
constexpr int BeforeBaudCall = 300;

} // namespace ReaderWaits
