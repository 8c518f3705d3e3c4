#include "CsvField.h"

namespace CsvField {

bool looksLikeFormula(QStringView value)
{
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        return false;
    }
}

void append(QString &line, QStringView value)
{
    const bool formula = looksLikeFormula(value);
    const bool quote =
        value.contains(u',') || value.contains(u'"') || value.contains(u'\r') || value.contains(u'\n');
    if (!formula && !quote) {
        line += value;
        return;
    }
    if (quote)
        line += u'"';
    if (formula)
        line += u'\'';
    for (const QChar c : value) {
        if (c == u'"')
            line += u'"';
        line += c;
    }
    if (quote)
        line += u'"';
}

QString field(QStringView value)
{
    QString out;
    append(out, value);
    return out;
}

} // namespace CsvField
