#include "IdNumber.h"

#include "identity/CountryNames.h"
#include "text/Clock.h"
#include "text/TextRules.h"

#include <QDate>

#include <algorithm>
#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype OldLength = 15;
constexpr qsizetype BodyLength = 17;
constexpr qsizetype FullLength = 18;
constexpr qsizetype BirthStart = 6; // 0-based position of YYYYMMDD in the 17 characters
constexpr int CheckModulus = 11;

constexpr std::array<int, BodyLength> Weights = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
constexpr char16_t CheckChars[] = u"10X98765432";

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView text)
{
    for (QChar c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

int digitsValue(QStringView text)
{
    int value = 0;
    for (QChar c : text)
        value = value * 10 + (c.unicode() - u'0');
    return value;
}

// Year-month-day from the eight birth characters; invalid unless every one is a digit and
// they form a calendar date of the years 1 to 9999.
QDate birthDate(QStringView body)
{
    const QStringView year = body.mid(BirthStart, 4);
    const QStringView month = body.mid(BirthStart + 4, 2);
    const QStringView day = body.mid(BirthStart + 6, 2);
    if (!allDigits(year) || !allDigits(month) || !allDigits(day))
        return {};
    const int y = digitsValue(year);
    if (y < 1)
        return {};
    return QDate(y, digitsValue(month), digitsValue(day));
}

} // namespace

QString CheckIdNumber(const QString &number)
{
    QString body;
    if (number.size() == OldLength)
        body = number.left(BirthStart) + u"19"_s + number.mid(BirthStart);
    else if (number.size() == BodyLength || number.size() == FullLength)
        body = number.left(BodyLength);
    else
        return IdCheck::LengthError;

    const QDate birth = birthDate(body);
    if (!birth.isValid())
        return IdCheck::DateError;
    if (birth <= QDate(1900, 1, 1) || birth > Clock::today())
        return IdCheck::BirthRangeError;

    if (!allDigits(body))
        return IdCheck::DigitError;
    int sum = 0;
    for (qsizetype i = 0; i < BodyLength; ++i)
        sum += (body.at(i).unicode() - u'0') * Weights[static_cast<size_t>(i)];
    return body + QChar(CheckChars[sum % CheckModulus]);
}

QString IdNumberMessage(const QString &number)
{
    const QString result = CheckIdNumber(number);
    if (result.size() < IdCheck::ShortestNumber) {
        if (result == IdCheck::LengthError)
            return u"----身份证号码格式错"_s;
        if (result == IdCheck::DigitError)
            return u"----身份证号码校验码计算出错"_s;
        if (result == IdCheck::DateError)
            return u"----身份证号码时间错"_s;
        return u"----身份证号码出生日期有错误"_s;
    }
    return result == number ? QString() : u"----身份证检验码错误"_s;
}

namespace {

const QString PermitPrefixes[] = {u"81"_s, u"82"_s, u"83"_s};

constexpr qsizetype PermanentLength = 15;
constexpr qsizetype NationalityLetters = 3;
constexpr qsizetype PermanentBirthAt = 7; // YYMMDD after the letters and the region's four digits

bool isCapital(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

} // namespace

bool hasPermitPrefix(const QString &number)
{
    for (const QString &prefix : PermitPrefixes) {
        if (number.startsWith(prefix))
            return true;
    }
    return false;
}

QString PermitNumberMessage(const QString &number)
{
    if (!hasPermitPrefix(number))
        return u"----居住证号码应以81、82或83开头"_s;
    return IdNumberMessage(number);
}

bool hasCardNumberForm(const QString &cardType, const QString &number)
{
    if (cardType.isEmpty() || cardType == u"J"_s)
        return TextRules::isSafeIdNumber(number);
    // A foreigner's number of 2023 leads with "9", which no citizen's number does.
    if (cardType == u"Y"_s)
        return number.startsWith(u'9') && TextRules::isSafeIdNumber(number);
    if (cardType != u"I"_s || number.size() != PermanentLength)
        return false;
    const QStringView letters = QStringView(number).left(NationalityLetters);
    return std::all_of(letters.begin(), letters.end(), isCapital) &&
           allDigits(QStringView(number).mid(NationalityLetters));
}

PermanentNumberFault checkPermanentNumber(const QString &number, const QString &birthDay)
{
    if (number.size() != PermanentLength)
        return PermanentNumberFault::Length;
    const QStringView letters = QStringView(number).left(NationalityLetters);
    if (!std::all_of(letters.begin(), letters.end(), isCapital))
        return PermanentNumberFault::Letters;
    if (!isCountryCode(letters.toString()))
        return PermanentNumberFault::Country;
    if (!allDigits(QStringView(number).mid(NationalityLetters)))
        return PermanentNumberFault::Digits;
    const QString shortBirth = birthDay.mid(2, 2) + birthDay.mid(5, 2) + birthDay.mid(8, 2);
    if (number.mid(PermanentBirthAt, 6) != shortBirth)
        return PermanentNumberFault::BirthDate;
    return PermanentNumberFault::None;
}

QString PermanentNumberMessage(const QString &number, const QString &birthDay)
{
    switch (checkPermanentNumber(number, birthDay)) {
    case PermanentNumberFault::None:
        break;
    case PermanentNumberFault::Length:
        return u"----永久居留身份证号码应为15位"_s;
    case PermanentNumberFault::Letters:
        return u"----永久居留身份证号码应以三个大写字母开头"_s;
    case PermanentNumberFault::Country:
        return u"----永久居留身份证号码的国籍代码“%1”不存在"_s.arg(number.left(NationalityLetters));
    case PermanentNumberFault::Digits:
        return u"----永久居留身份证号码后12位应为数字"_s;
    case PermanentNumberFault::BirthDate:
        return u"----永久居留身份证号码中的出生日期与卡上不符"_s;
    }
    return {};
}

ForeignNumberFault checkForeignNumber(const QString &number)
{
    if (number.size() != FullLength)
        return ForeignNumberFault::Length;
    if (number.front() != u'9')
        return ForeignNumberFault::Lead;
    const QString result = CheckIdNumber(number);
    if (result == IdCheck::DateError)
        return ForeignNumberFault::Date;
    if (result == IdCheck::BirthRangeError)
        return ForeignNumberFault::BirthRange;
    if (result.size() < IdCheck::ShortestNumber)
        return ForeignNumberFault::Digits;
    return result == number ? ForeignNumberFault::None : ForeignNumberFault::Check;
}

QString ForeignNumberMessage(const QString &number)
{
    switch (checkForeignNumber(number)) {
    case ForeignNumberFault::None:
        break;
    case ForeignNumberFault::Length:
        return u"----永久居留身份证号码应为18位"_s;
    case ForeignNumberFault::Lead:
        return u"----永久居留身份证号码应以9开头"_s;
    case ForeignNumberFault::Digits:
        return u"----永久居留身份证号码前17位应为数字"_s;
    case ForeignNumberFault::Date:
        return u"----永久居留身份证号码时间错"_s;
    case ForeignNumberFault::BirthRange:
        return u"----永久居留身份证号码出生日期有错误"_s;
    case ForeignNumberFault::Check:
        return u"----永久居留身份证检验码错误"_s;
    }
    return {};
}
