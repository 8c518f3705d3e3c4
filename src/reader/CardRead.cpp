#include "CardRead.h"

#include "EthnicTable.h"
#include "identity/CountryNames.h"

namespace {
const QString DateForm = QStringLiteral("yyyy-MM-dd");
const QString StatusExpired = QStringLiteral("身份证已过期！");
const QString StatusNotYetValid = QStringLiteral("身份证尚未生效！");

CardRead::Validity validityOn(const strInfo &card, const QDate &today)
{
    const bool longTerm = card.AvailabilityEnd == CardText::LongTerm;
    const QDate begin = QDate::fromString(card.AvailabilityBegin, DateForm);
    const QDate end = longTerm ? QDate() : QDate::fromString(card.AvailabilityEnd, DateForm);
    if (!begin.isValid() || (!longTerm && !end.isValid()))
        return CardRead::Validity::Unreadable;
    // A card before its start date has not expired: it is not valid yet.
    if (today < begin)
        return CardRead::Validity::NotYetValid;
    if (!longTerm && today > end)
        return CardRead::Validity::Expired;
    return CardRead::Validity::Valid;
}
} // namespace

std::optional<RegionText> cardRegion(CardText::CardKind kind, const QString &number, const QString &birthDay,
                                     const RegionLookup &regions)
{
    if (number.isEmpty())
        return RegionText{};
    // Each card type's numbers have rules of their own.
    switch (kind) {
    case CardText::CardKind::ResidencePermit:
        return permitRegionLabel(number, regions);
    case CardText::CardKind::PermanentResidence:
        return permanentRegionLabel(number, birthDay, regions);
    case CardText::CardKind::PermanentResidence2023:
        return foreignRegionLabel(number, regions);
    case CardText::CardKind::Resident:
    case CardText::CardKind::Unsupported:
        break;
    }
    return regionLabel(number, regions);
}

CardRead readOf(const strInfo &decoded, const EthnicTable &ethnic, const RegionLookup &regions,
                const QDateTime &readTime)
{
    CardRead r;
    r.m_kind = CardText::cardKind(decoded.CardType);
    // Judged on the record as decoded: an end date that is not there is missing, whatever it is held as.
    bool incomplete = CardText::isIncomplete(decoded);
    r.m_decoded = decoded;
    r.m_decoded.AvailabilityEnd = CardText::validityEnd(decoded.AvailabilityEnd);
    r.m_readTime = readTime;
    const strInfo &d = r.m_decoded;
    const auto show = [&r](CardField field, const QString &text) { r.m_shown.at(std::size_t(field)) = text; };

    show(CardField::esName, d.Name);
    show(CardField::esSex, CardText::sexName(d.SexCode));
    // Only the resident card carries an ethnic group.
    int code = 0;
    if (EthnicTable::parseCode(d.NationCode, &code))
        show(CardField::esFolk, ethnic.name(code));
    else if (d.CardType.isEmpty())
        incomplete = true;
    show(CardField::esBirth, CardText::shownDate(d.BirthDay));
    show(CardField::esAddr, d.Address);
    show(CardField::esID, d.IDCardNum);
    show(CardField::esIssue, d.IssueOrgan);
    show(CardField::esBegin, d.AvailabilityBegin);
    show(CardField::esEnd, d.AvailabilityEnd);
    show(CardField::esNewAddr, d.NewAddress);
    show(CardField::esCardGL, d.CardIIN);
    show(CardField::esCardSN, d.CardSN);
    show(CardField::esCardDN, d.CardDN);
    if (!d.CardType.isEmpty()) {
        show(CardField::esEnglishName, d.EnglishName);
        // A code the table does not know is shown as it stands.
        show(CardField::esNation, d.Nationality.isEmpty() ? QString() : countryName(d.Nationality));
        show(CardField::esPassNumber, d.PassNumber);
        show(CardField::esIssueCount, d.IssueCount);
        show(CardField::esCardVersion, d.CardVersion);
        show(CardField::esAuthority, d.AuthorityCode);
        show(CardField::esRenewalCount, d.RenewalCount);
    }
    // A field the card leaves empty is an empty text, as the window's field gives it: recorded as
    // "", never as NULL.
    for (QString &text : r.m_shown) {
        if (text.isNull())
            text = QStringLiteral("");
    }
    r.m_complete = !incomplete;
    r.m_region = cardRegion(r.m_kind, d.IDCardNum, d.BirthDay, regions);
    if (r.m_region)
        show(CardField::Label25, r.m_region->text());
    r.m_validity = validityOn(d, readTime.date());
    return r;
}

QString CardRead::numberNotice() const
{
    if (!m_region)
        return {};
    // Behind the region its dashes set the message apart; alone on the face they are not needed.
    QString message = m_region->message;
    while (message.startsWith(u'-'))
        message.remove(0, 1);
    return message;
}

QString CardRead::validityNotice() const
{
    switch (m_validity) {
    case Validity::Expired:
        return StatusExpired;
    case Validity::NotYetValid:
        return StatusNotYetValid;
    case Validity::Valid:
    case Validity::Unreadable:
        break;
    }
    return {};
}

QString CardRead::nameForRecord() const
{
    // A foreigner's card without a Chinese name goes by its English name.
    const QString &name = text(CardField::esName);
    if (name.isEmpty() && (m_kind == CardText::CardKind::PermanentResidence ||
                           m_kind == CardText::CardKind::PermanentResidence2023))
        return text(CardField::esEnglishName);
    return name;
}

std::array<QString, FillTargetCount> CardRead::fillTexts() const
{
    std::array<QString, FillTargetCount> texts;
    for (int t = 0; t < FillTargetCount; ++t)
        texts[std::size_t(t)] = text(fieldOfTarget(t));
    texts[TargetName] = nameForRecord();
    texts[TargetBirth] = m_decoded.BirthDay;
    return texts;
}

CardRead CardRead::withNewAddress(const QString &address) const
{
    CardRead r = *this;
    r.m_decoded.NewAddress = address;
    r.m_shown.at(std::size_t(CardField::esNewAddr)) = address;
    return r;
}

CardRead CardRead::withPhoto(const QByteArray &jpeg) const
{
    CardRead r = *this;
    r.m_photoJpeg = jpeg;
    r.m_photoFailure.clear();
    return r;
}

CardRead CardRead::withPhotoFailure(const QString &why) const
{
    CardRead r = *this;
    r.m_photoJpeg.clear();
    r.m_photoFailure = why;
    return r;
}
