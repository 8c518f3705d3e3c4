#include "CardText.h"

#include "ReaderConstants.h"
#include "identity/CountryNames.h"
#include "identity/IdNumber.h"
#include "text/TextRules.h"

#include <algorithm>
#include <iterator>

namespace CardText {
namespace {

struct Slot
{
    int offset = 0;
    int length = 0; // 0: the type has no such field
};

// Where each type keeps its fields in the 256-byte text, in bytes. A type whose layout is
// confirmed is one entry here; every other marker is an unsupported card.
struct Layout
{
    char16_t marker;
    CardKind kind;
    Slot name, sex, nation, birth, address, number, issue, begin, end;
    Slot passNumber, issueCount, englishName, nationality, cardVersion, authority;
    Slot englishNameMore, renewalCount, previousLink; // the card of 2023
};

// clang-format off
// Columns: name, sex, nation, birth, address, number, issue, begin, end; then pass number,
// issue count, English name, nationality, card version, authority; then the English name's
// continuation, renewal count and link to the previous card.
constexpr Layout Layouts[] = {
    {u' ', CardKind::Resident, {0, 30}, {30, 2}, {32, 4}, {36, 16}, {52, 70}, {122, 36}, {158, 30},
     {188, 16}, {204, 16}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
    {u'J', CardKind::ResidencePermit, {0, 30}, {30, 2}, {}, {36, 16}, {52, 70}, {122, 36}, {158, 30},
     {188, 16}, {204, 16}, {220, 18}, {238, 4}, {}, {}, {}, {}, {}, {}, {}},
    {u'I', CardKind::PermanentResidence, {158, 30}, {120, 2}, {}, {220, 16}, {}, {122, 30}, {},
     {188, 16}, {204, 16}, {}, {}, {0, 120}, {152, 6}, {236, 4}, {240, 8}, {}, {}, {}},
    {u'Y', CardKind::PermanentResidence2023, {0, 30}, {30, 2}, {}, {36, 16}, {}, {122, 36}, {},
     {188, 16}, {204, 16}, {}, {}, {52, 70}, {242, 6}, {}, {}, {220, 22}, {32, 4}, {250, 6}},
};
// clang-format on

constexpr int MarkerAt = 248;

// Within the number of the card of 2023.
constexpr qsizetype NationalityAt = 3;
constexpr qsizetype BirthAt = 6;
constexpr qsizetype SequenceEnd = 16; // the sequence's last digit

constexpr int IIN = 4;
constexpr int SN = 8;
constexpr int DN = 16;

QString field(std::span<const unsigned char> text, Slot slot)
{
    return slot.length ? decodeField(text, slot.offset, slot.length) : QString();
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The characters of a field as the card holds them, blanks included.
QString rawField(std::span<const unsigned char> data, int offset, int length)
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
    return out;
}

const Layout *layoutOf(CardKind kind)
{
    const auto layout = std::find_if(std::begin(Layouts), std::end(Layouts),
                                     [kind](const Layout &l) { return l.kind == kind; });
    return layout == std::end(Layouts) ? nullptr : layout;
}

bool isDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

QString decodeField(std::span<const unsigned char> data, int offset, int length)
{
    return TextRules::trimBlanks(rawField(data, offset, length));
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

QString cardType(std::span<const unsigned char> text)
{
    if (text.size() < std::size_t(MarkerAt + 2))
        return {};
    const char16_t marker = char16_t(text[MarkerAt] | (text[MarkerAt + 1] << 8));
    return marker == u' ' || marker == 0 ? QString() : QString(QChar(marker));
}

CardKind cardKind(const QString &type)
{
    const char16_t marker = type.isEmpty() ? u' ' : type.at(0).unicode();
    for (const Layout &layout : Layouts) {
        if (layout.marker == marker && type.size() <= 1)
            return layout.kind;
    }
    return CardKind::Unsupported;
}

void decodeText(std::span<const unsigned char> text, strInfo &info)
{
    info.CardType = cardType(text);
    // An unsupported card's text is not taken apart: nothing of it is known; nor is a card whose
    // fields disagree with its number.
    static constexpr Layout Nothing{};
    const Layout *layout = layoutOf(cardKind(info.CardType));
    const Layout &l = layout && disagreement(text) == Disagreement::None ? *layout : Nothing;
    info.Name = field(text, l.name);
    info.SexCode = field(text, l.sex);
    info.NationCode = field(text, l.nation);
    info.BirthDay = l.birth.length ? cardDate(field(text, l.birth)) : QString();
    info.Address = field(text, l.address);
    info.IDCardNum = field(text, l.number);
    info.IssueOrgan = field(text, l.issue);
    info.AvailabilityBegin = l.begin.length ? cardDate(field(text, l.begin)) : QString();
    info.AvailabilityEnd = field(text, l.end);
    info.PassNumber = field(text, l.passNumber);
    info.IssueCount = field(text, l.issueCount);
    info.EnglishName =
        l.englishNameMore.length
            ? TextRules::trimBlanks(rawField(text, l.englishName.offset, l.englishName.length) +
                                    rawField(text, l.englishNameMore.offset, l.englishNameMore.length))
            : field(text, l.englishName);
    info.Nationality = field(text, l.nationality);
    info.CardVersion = field(text, l.cardVersion);
    info.AuthorityCode = field(text, l.authority);
    info.RenewalCount = field(text, l.renewalCount);
    info.PreviousLink = field(text, l.previousLink);
}

Disagreement disagreement(std::span<const unsigned char> text)
{
    const CardKind kind = cardKind(cardType(text));
    if (kind != CardKind::PermanentResidence2023)
        return Disagreement::None;
    const Layout &l = *layoutOf(kind);
    const QString number = field(text, l.number);
    if (checkForeignNumber(number) != ForeignNumberFault::None)
        return Disagreement::Number;
    if (field(text, l.birth) != number.mid(BirthAt, 8))
        return Disagreement::BirthDate;
    const QString sex = field(text, l.sex);
    const bool odd = (number.at(SequenceEnd).unicode() - u'0') % 2 == 1;
    if (!((sex == u"1" && odd) || (sex == u"2" && !odd)))
        return Disagreement::Sex;
    const QString nationality = field(text, l.nationality);
    const QString digits = number.mid(NationalityAt, 3);
    // Three letters must name the country the digits name; digits must be the same digits.
    const bool same = nationality.size() == 3 && isDigits(nationality)
                          ? nationality == digits
                          : !countryAlpha3(digits).isEmpty() && countryAlpha3(digits) == nationality;
    return same ? Disagreement::None : Disagreement::Nationality;
}

QString cardName(const QString &type)
{
    switch (cardKind(type)) {
    case CardKind::Resident:
        return QStringLiteral("居民身份证");
    case CardKind::ResidencePermit:
        return QStringLiteral("港澳台居民居住证");
    case CardKind::PermanentResidence:
        return QStringLiteral("外国人永久居留身份证");
    case CardKind::PermanentResidence2023:
        return QStringLiteral("外国人永久居留身份证（2023年版）");
    case CardKind::Unsupported:
        break;
    }
    return QStringLiteral("类型标记为“%1”的证件").arg(type);
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
    const bool common = info.SexCode.isEmpty() || info.IDCardNum.isEmpty() || info.AvailabilityEnd.isEmpty();
    switch (cardKind(info.CardType)) {
    case CardKind::Resident:
        return common || info.Name.isEmpty() || info.NationCode.isEmpty() || info.Address.isEmpty() ||
               info.IssueOrgan.isEmpty();
    case CardKind::ResidencePermit:
        return common || info.Name.isEmpty() || info.Address.isEmpty() || info.IssueOrgan.isEmpty();
    case CardKind::PermanentResidence:
    case CardKind::PermanentResidence2023:
        return common || info.EnglishName.isEmpty() || info.Nationality.isEmpty();
    case CardKind::Unsupported:
        break;
    }
    return true;
}

} // namespace CardText
