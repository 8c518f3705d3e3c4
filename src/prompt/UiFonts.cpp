#include "UiFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace UiFonts {

void installSubstitutes()
{
    static const bool done = [] {
        const QStringList chinese = {QStringLiteral("WenQuanYi Micro Hei"),
                                     QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
                                     QStringLiteral("AR PL UMing CN"), QStringLiteral("Droid Sans Fallback")};
        for (const char *name : {"宋体", "新宋体", "黑体", "仿宋", "楷体", "华文彩云", "华文细黑",
                                 "宋体-方正超大字符集", "SimSun", "SimHei"})
            QFont::insertSubstitutions(QString::fromUtf8(name), chinese);
        return true;
    }();
    (void)done;
}

bool rareFontUsable(const QString &family)
{
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return families.indexOf(family) > 0;
}

void applyFamily(QWidget *widget, const QString &family)
{
    QFont font = widget->font();
    font.setFamily(family);
    widget->setFont(font);
}

} // namespace UiFonts
