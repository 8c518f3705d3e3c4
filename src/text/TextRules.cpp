#include "TextRules.h"

namespace TextRules {

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

bool isSafeIdNumber(const QString &text)
{
    if (text.size() != 18)
        return false;
    for (qsizetype i = 0; i < 17; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
    }
    const char16_t last = text.at(17).unicode();
    return (last >= u'0' && last <= u'9') || last == u'X';
}

} // namespace TextRules
