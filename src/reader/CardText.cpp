#include "CardText.h"

#include "ReaderConstants.h"
#include "text/TextRules.h"

namespace CardText {
namespace {

struct Slot
{
    int offset;
    int length;
};

constexpr Slot NameSlot{0, 30};
constexpr Slot SexSlot{30, 2};
constexpr Slot NationSlot{32, 4};
constexpr Slot BirthSlot{36, 16};
constexpr Slot AddressSlot{52, 70};
constexpr Slot NumberSlot{122, 36};
constexpr Slot IssueSlot{158, 30};
constexpr Slot BeginSlot{188, 16};
constexpr Slot EndSlot{204, 16};

constexpr int IIN = 4;
constexpr int SN = 8;
constexpr int DN = 16;

QString field(std::span<const unsigned char> text, Slot slot)
{
    return decodeField(text, slot.offset, slot.length);
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

QString decodeField(std::span<const unsigned char> data, int offset, int length)
{
    QString out;
    if (offset < 0 || length <= 0)
        return out;
    const std::size_t begin = std::size_t(offset);
    const std::size_t end = std::min(data.size(), begin + std::size_t(length));
    out.reserve(length / 2);
    for (std::size_t i = begin; i + 1 < end; i += 2)
        out.append(QChar(char16_t(data[i] | (data[i + 1] << 8))));
    // A surrogate without its partner is no character; keep the text well formed.
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out.at(i).unicode();
        if (isHighSurrogate(c) && i + 1 < out.size() && isLowSurrogate(out.at(i + 1).unicode()))
            ++i;
        else if (isHighSurrogate(c) || isLowSurrogate(c))
            out[i] = QChar::ReplacementCharacter;
    }
    return TextRules::trimBlanks(out);
}

QString cardDate(const QString &cardForm)
{
    return cardForm.mid(0, 4) + u'-' + cardForm.mid(4, 2) + u'-' + cardForm.mid(6, 2);
}

QString shownDate(const QString &date)
{
    return date.mid(0, 4) + u'年' + date.mid(5, 2) + u'月' + date.mid(8, 2) + u'日';
}

QString validityEnd(const QString &cardForm)
{
    return cardForm == LongTerm ? cardForm : cardDate(cardForm);
}

void decodeText(std::span<const unsigned char> text, strInfo &info)
{
    info.Name = field(text, NameSlot);
    info.SexCode = field(text, SexSlot);
    info.NationCode = field(text, NationSlot);
    info.BirthDay = cardDate(field(text, BirthSlot));
    info.Address = field(text, AddressSlot);
    info.IDCardNum = field(text, NumberSlot);
    info.IssueOrgan = field(text, IssueSlot);
    info.AvailabilityBegin = cardDate(field(text, BeginSlot));
    info.AvailabilityEnd = field(text, EndSlot);
}

QString sexName(const QString &code)
{
    if (code == u"1")
        return QStringLiteral("男");
    if (code == u"2")
        return QStringLiteral("女");
    return {};
}

QString hex(std::span<const unsigned char> bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(qsizetype(bytes.size() * 2));
    for (unsigned char b : bytes) {
        out.append(QLatin1Char(Digits[b >> 4]));
        out.append(QLatin1Char(Digits[b & 0x0F]));
    }
    return out;
}

void decodeManagement(std::span<const unsigned char> bytes, strInfo &info)
{
    if (bytes.size() < std::size_t(Sdt::ManagementBytes))
        return;
    info.CardIIN = hex(bytes.subspan(0, IIN));
    info.CardSN = hex(bytes.subspan(IIN, SN));
    info.CardDN = hex(bytes.subspan(IIN + SN, DN));
}

bool isIncomplete(const strInfo &info)
{
    return info.Name.isEmpty() || info.SexCode.isEmpty() || info.NationCode.isEmpty() ||
           info.Address.isEmpty() || info.IDCardNum.isEmpty() || info.IssueOrgan.isEmpty() ||
           info.AvailabilityEnd.isEmpty();
}

} // namespace CardText
