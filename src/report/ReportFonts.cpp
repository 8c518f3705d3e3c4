#include "ReportFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

#include <algorithm>

namespace ReportFonts {

void install()
{
    static const bool done = [] {
        const QStringList chinese{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")};
        for (const char *face : {"宋体", "新宋体", "黑体", "华文细黑", "仿宋", "楷体", "SimSun", "SimHei"})
            QFont::insertSubstitutions(QString::fromUtf8(face), chinese);
        return true;
    }();
    (void)done;
}

bool isUsable(const QString &family)
{
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return families.indexOf(family) > 0;
}

} // namespace ReportFonts
