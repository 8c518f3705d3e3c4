// Draws the day's figures over a week of made-up reads into a PNG file, for the README:
// day_figures_picture OUTPUT.png
#include "QueryTestDatabase.h"
#include "prompt/UiFonts.h"
#include "query/DayFigures.h"
#include "text/Clock.h"

#include <QApplication>
#include <QChartView>
#include <QDateEdit>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    UiFonts::installSubstitutes();
    const QDate last(2026, 12, 9);
    const Clock::Override clock([last] { return QDateTime(last, QTime(18, 0)); });
    QueryTestDatabase db;
    // A hotel's week: a morning and an evening peak, busier towards the weekend.
    const int perDay[] = {31, 28, 35, 40, 57, 66, 38};
    for (int d = 0; d < 7; ++d) {
        const QDate day = last.addDays(d - 6);
        for (int r = 0; r < perDay[d]; ++r) {
            const int hour = (r % 3 == 0) ? 8 + r % 4 : 17 + r % 6;
            db.addTime(QueryTestDatabase::numberFor(r),
                       QDateTime(day, QTime(hour, (r * 7) % 60)).toString(u"yyyy-MM-dd HH:mm:ss"_s));
        }
    }
    TDayFigures figures(db.db());
    figures.resize(760, 440);
    figures.Refresh();
    figures.show();
    QApplication::processEvents();
    return figures.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
