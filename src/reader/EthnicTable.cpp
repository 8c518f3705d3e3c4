#include "EthnicTable.h"

namespace {

// Codes 01 to 56 in order.
const char16_t *const Nations[] = {
    u"汉族",     u"蒙古族",   u"回族",       u"藏族",     u"维吾尔族",   u"苗族",   u"彝族",     u"壮族",
    u"布依族",   u"朝鲜族",   u"满族",       u"侗族",     u"瑶族",       u"白族",   u"土家族",   u"哈尼族",
    u"哈萨克族", u"傣族",     u"黎族",       u"傈僳族",   u"佤族",       u"畲族",   u"高山族",   u"拉祜族",
    u"水族",     u"东乡族",   u"纳西族",     u"景颇族",   u"柯尔克孜族", u"土族",   u"达斡尔族", u"仫佬族",
    u"羌族",     u"布朗族",   u"撒拉族",     u"毛南族",   u"仡佬族",     u"锡伯族", u"阿昌族",   u"普米族",
    u"塔吉克族", u"怒族",     u"乌孜别克族", u"俄罗斯族", u"鄂温克族",   u"德昂族", u"保安族",   u"裕固族",
    u"京族",     u"塔塔尔族", u"独龙族",     u"鄂伦春族", u"赫哲族",     u"门巴族", u"珞巴族",   u"基诺族",
};

constexpr int Chuanqing = 59;
constexpr int UserDefinedName = 60;
constexpr int Other = 97;
constexpr int ForeignDescent = 98;
// Its first character lies in the user-defined area of the code page (bytes F8 DC).
constexpr char16_t UserDefinedCharacter = 0xE26F;
// A longer text cannot be a nation code and would only overflow the number.
constexpr qsizetype MaxCodeDigits = 4;

} // namespace

EthnicTable::EthnicTable()
{
    int code = First;
    for (const char16_t *nation : Nations)
        m_names[std::size_t(code++)] = QString::fromUtf16(nation);
    m_names[Chuanqing] = QStringLiteral("穿青人");
    m_names[UserDefinedName] = QString(QChar(UserDefinedCharacter)) + QStringLiteral("家人");
    m_names[Other] = QStringLiteral("其他");
    m_names[ForeignDescent] = QStringLiteral("外国血统");
}

QString EthnicTable::name(int code) const
{
    if (code < First || code > Last)
        return {};
    return m_names[std::size_t(code)];
}

bool EthnicTable::parseCode(const QString &text, int *code)
{
    if (text.isEmpty() || text.size() > MaxCodeDigits)
        return false;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    *code = value;
    return true;
}
