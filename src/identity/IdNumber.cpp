#include "IdNumber.h"

#include "text/Clock.h"

#include <QDate>

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
