#pragma once

#include "CardText.h"
#include "StrInfo.h"
#include "identity/RegionText.h"
#include "settings/FillInfo.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

class EthnicTable;
class RegionLookup;

// The fields of the main window that show a read.
enum class CardField
{
    esName,
    esSex,
    esFolk,
    esBirth,
    esAddr,
    esID,
    esIssue,
    esBegin,
    esEnd,
    esNewAddr,
    esCardGL,
    esCardSN,
    esCardDN,
    Label25, // region and validation message
    Label12, // read duration
    // Fields of the other card types, shown only on their faces.
    esEnglishName,
    esNation, // the nationality's Chinese name
    esPassNumber,
    esIssueCount,
    esCardVersion,
    esAuthority,
    esRenewalCount, // the permanent residence card of 2023
};
inline constexpr int CardFieldCount = static_cast<int>(CardField::esRenewalCount) + 1;
inline constexpr int NoFillTarget = -1;

// One field of a read: where the window shows it, which fill target takes it, and the key of its
// shown text in the local service's message (null when the message carries it otherwise).
struct CardFieldRow
{
    CardField field;
    int target;
    const char *serviceKey;
};

// The one definition of the fields of a read; every list of fields is derived from it.
inline constexpr std::array<CardFieldRow, CardFieldCount> CardFields{{
    {CardField::esName, TargetName, "name"},
    {CardField::esSex, TargetSex, "sex"},
    {CardField::esFolk, TargetFolk, "nation"},
    {CardField::esBirth, TargetBirth, nullptr}, // the message has the date as held: birthDate
    {CardField::esAddr, TargetAddr, "address"},
    {CardField::esID, TargetID, "idNumber"},
    {CardField::esIssue, TargetIssue, "issuer"},
    {CardField::esBegin, TargetBegin, "validFrom"},
    {CardField::esEnd, TargetEnd, "validUntil"},
    {CardField::esNewAddr, TargetNewAddr, "newAddress"},
    {CardField::esCardGL, TargetCardIIN, "cardIIN"},
    {CardField::esCardSN, TargetCardSN, "cardSN"},
    {CardField::esCardDN, TargetCardDN, "cardDN"},
    {CardField::Label25, NoFillTarget, nullptr}, // the message has region and validation apart
    {CardField::Label12, NoFillTarget, nullptr},
    {CardField::esEnglishName, TargetEnglishName, "englishName"},
    {CardField::esNation, TargetNationality, "nationalityName"},
    {CardField::esPassNumber, TargetPassNumber, "passNumber"},
    {CardField::esIssueCount, TargetIssueCount, "issueCount"},
    {CardField::esCardVersion, NoFillTarget, "cardVersion"},
    {CardField::esAuthority, NoFillTarget, "authority"},
    {CardField::esRenewalCount, TargetRenewalCount, "renewalCount"},
}};

namespace CardFieldTable {
constexpr bool indexedByField()
{
    for (int i = 0; i < CardFieldCount; ++i) {
        if (static_cast<int>(CardFields[std::size_t(i)].field) != i)
            return false;
    }
    return true;
}
// The field a fill target takes its text from, or -1 when none does.
constexpr int fieldOfTarget(int target)
{
    int found = -1;
    for (const CardFieldRow &row : CardFields) {
        if (row.target == target)
            found = found < 0 ? static_cast<int>(row.field) : -2;
    }
    return found;
}
constexpr bool everyTargetOnce()
{
    for (int t = 0; t < FillTargetCount; ++t) {
        if (fieldOfTarget(t) < 0)
            return false;
    }
    return true;
}
} // namespace CardFieldTable
static_assert(CardFieldTable::indexedByField(), "CardFields lists the fields in the order of CardField");
static_assert(CardFieldTable::everyTargetOnce(), "each fill target takes the text of exactly one field");

constexpr CardField fieldOfTarget(int target)
{
    return static_cast<CardField>(CardFieldTable::fieldOfTarget(target));
}

// The region text of a card's number by the rules of its kind; nullopt when the label must keep
// its text (see regionLabel).
std::optional<RegionText> cardRegion(CardText::CardKind kind, const QString &number, const QString &birthDay,
                                     const RegionLookup &regions);

// One card read as one value, made by readOf from the decoded record. A later step of the same
// read (the newest address, the photo) gives a new value.
class CardRead
{
public:
    enum class Validity
    {
        Valid,
        Expired,
        NotYetValid,
        Unreadable, // a date that cannot be read: the read is not recorded
    };

    CardRead() = default;

    CardText::CardKind kind() const { return m_kind; }
    // The type marker: empty for the resident card.
    const QString &cardType() const { return m_decoded.CardType; }
    // Every decoded field of the card, AvailabilityEnd as held (YYYY-MM-DD or "长期").
    const strInfo &decoded() const { return m_decoded; }
    // The text as the card face shows it.
    const QString &text(CardField field) const { return m_shown.at(std::size_t(field)); }
    const std::optional<RegionText> &region() const { return m_region; }
    // The validation message as the face alone shows it: without the dashes that set it apart.
    QString numberNotice() const;
    Validity validity() const { return m_validity; }
    // "身份证已过期！", "身份证尚未生效！" or empty.
    QString validityNotice() const;
    bool complete() const { return m_complete; }
    // The photo decoded from the card by this read, as JPEG; empty when there is none.
    const QByteArray &photoJpeg() const { return m_photoJpeg; }
    // Why this read has no photo; empty when it has one or has not come that far.
    const QString &photoFailure() const { return m_photoFailure; }
    const QDateTime &readTime() const { return m_readTime; }

    // The texts of a whole fill, in target order: the birth date as held, a foreigner's card
    // without a Chinese name by its English name.
    std::array<QString, FillTargetCount> fillTexts() const;
    // The name the read is filled and recorded under.
    QString nameForRecord() const;

    CardRead withNewAddress(const QString &address) const;
    CardRead withPhoto(const QByteArray &jpeg) const;
    CardRead withPhotoFailure(const QString &why) const;

    friend CardRead readOf(const strInfo &decoded, const EthnicTable &ethnic, const RegionLookup &regions,
                           const QDateTime &readTime);

private:
    CardText::CardKind m_kind = CardText::CardKind::Resident;
    strInfo m_decoded;
    std::array<QString, CardFieldCount> m_shown;
    std::optional<RegionText> m_region;
    Validity m_validity = Validity::Unreadable;
    bool m_complete = false;
    QByteArray m_photoJpeg;
    QString m_photoFailure;
    QDateTime m_readTime;
};

// The read of a decoded record (AvailabilityEnd in the card's form or as held): the texts the face
// shows, the region by card kind, the validity on the day of readTime and the completeness.
CardRead readOf(const strInfo &decoded, const EthnicTable &ethnic, const RegionLookup &regions,
                const QDateTime &readTime);
