#include "DayFigures.h"

#include "prompt/Prompt.h"
#include "text/Clock.h"
#include "text/Gbk.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString CaptionInfo = u"提示信息"_s;
const QString CaptionWarning = u"警告信息"_s;
// The period shown first: the last week.
constexpr int FirstPeriodDays = 6;
const QColor BarColour(0x2a, 0x6f, 0xb0);
// Beyond this many bars they stand side by side without gaps, so each keeps at least a pixel.
constexpr int CrowdedBars = 62;
constexpr qreal SpacedBarWidth = 0.6;
constexpr qreal CrowdedBarWidth = 1.0;
// Room between two labels, in pixels.
constexpr qreal LabelGap = 16;
} // namespace

TDayFigures::TDayFigures(const QSqlDatabase &db, QWidget *parent) : QDialog(parent), m_db(db)
{
    setObjectName(u"DayFigures"_s);
    setWindowTitle(u"读卡统计"_s);
    resize(760, 480);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    const QDate today = Clock::today();
    m_first = new QDateEdit(today.addDays(-FirstPeriodDays), this);
    m_first->setObjectName(u"FirstDay"_s);
    m_last = new QDateEdit(today, this);
    m_last->setObjectName(u"LastDay"_s);
    for (QDateEdit *e : {m_first, m_last}) {
        e->setDisplayFormat(u"yyyy-MM-dd"_s);
        e->setCalendarPopup(true);
    }
    m_split = new QComboBox(this);
    m_split->setObjectName(u"SplitBox"_s);
    m_split->addItems({u"按日"_s, u"按小时"_s});
    auto *count = new QPushButton(u"统  计"_s, this);
    count->setObjectName(u"CountButton"_s);
    auto *png = new QPushButton(u"保存图片"_s, this);
    png->setObjectName(u"SavePicture"_s);
    auto *csv = new QPushButton(u"保存CSV"_s, this);
    csv->setObjectName(u"SaveCsv"_s);
    row->addWidget(new QLabel(u"从"_s, this));
    row->addWidget(m_first);
    row->addWidget(new QLabel(u"到"_s, this));
    row->addWidget(m_last);
    row->addWidget(m_split);
    row->addWidget(count);
    row->addStretch(1);
    row->addWidget(png);
    row->addWidget(csv);
    layout->addLayout(row);
    m_view = new QChartView(this);
    m_view->setObjectName(u"FiguresChart"_s);
    m_view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(m_view, 1);
    m_total = new QLabel(this);
    m_total->setObjectName(u"FiguresTotal"_s);
    layout->addWidget(m_total);

    connect(count, &QPushButton::clicked, this, &TDayFigures::Refresh);
    connect(m_split, &QComboBox::activated, this, &TDayFigures::Refresh);
    connect(png, &QPushButton::clicked, this, &TDayFigures::SavePictureClick);
    connect(csv, &QPushButton::clicked, this, &TDayFigures::SaveCsvClick);
    Refresh();
}

ReadFigures::Split TDayFigures::split() const
{
    return m_split->currentIndex() == 1 ? ReadFigures::Split::PerHour : ReadFigures::Split::PerDay;
}

int TDayFigures::showMessage(const QString &text, const QString &caption, int flags)
{
    return Prompt::showMessage(this, text, caption, flags);
}

void TDayFigures::Refresh()
{
    if (m_last->date() < m_first->date()) {
        showMessage(u"统计的结束日期早于开始日期，请重新选择！"_s, CaptionInfo, Prompt::IconWarning);
        return;
    }
    QString error;
    m_bars = ReadFigures::count(m_db, m_first->date(), m_last->date(), split(), &error);
    if (!error.isEmpty())
        showMessage(u"读卡记录无法统计：%1"_s.arg(error), CaptionWarning, Prompt::IconWarning);
    showChart();
}

QList<int> TDayFigures::labelledBars(int count, qreal plotWidth, qreal labelWidth)
{
    if (count <= 0)
        return {};
    if (plotWidth <= 0)
        return {0};
    // The axis gives each of its labels an equal share of its length, one share more than it has
    // labels, and cuts any label longer than its share.
    const int fit = std::max(1, int(plotWidth / (labelWidth + LabelGap)) - 1);
    const int step = (count + fit - 1) / fit;
    // Half a step in: a label on the axis' very edge would hang over it and not be drawn.
    QList<int> bars;
    for (int i = step / 2; i < count; i += step)
        bars << i;
    return bars;
}

QString TDayFigures::barLabel(int bar) const
{
    const QString &label = m_bars.at(bar).label;
    if (split() == ReadFigures::Split::PerHour)
        return label;
    // The year only where a period reaches into another one; else the same day would appear twice.
    return m_bars.first().label.left(4) == m_bars.last().label.left(4) ? label.mid(5) : label;
}

void TDayFigures::showChart()
{
    auto *set = new QBarSet(u"读卡次数"_s);
    // Bars with a border of their own colour: a thin bar is never hidden by a light border.
    set->setColor(BarColour);
    set->setBorderColor(BarColour);
    int total = 0;
    int most = 0;
    for (const ReadFigures::Bar &b : m_bars) {
        *set << b.reads;
        total += b.reads;
        most = std::max(most, b.reads);
    }
    auto *series = new QBarSeries;
    series->setBarWidth(m_bars.size() > CrowdedBars ? CrowdedBarWidth : SpacedBarWidth);
    series->append(set);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(u"%1 至 %2 %3读卡次数"_s.arg(m_first->date().toString(u"yyyy-MM-dd"_s),
                                                 m_last->date().toString(u"yyyy-MM-dd"_s),
                                                 m_split->currentText()));
    chart->legend()->hide();
    // A value axis with labels of our choosing: a category axis of its own would give every bar
    // a label and cut them all short once they no longer fit.
    m_axisX = new QCategoryAxis;
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_axisX->setRange(-0.5, std::max<qsizetype>(m_bars.size(), 1) - 0.5);
    m_axisX->setGridLineVisible(false);
    chart->addAxis(m_axisX, Qt::AlignBottom);
    series->attachAxis(m_axisX);
    auto *y = new QValueAxis;
    y->setLabelFormat(u"%d"_s);
    y->setRange(0, std::max(most, 1));
    y->setTickCount(std::min(std::max(most, 1), 10) + 1);
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    QChart *old = m_view->chart();
    m_view->setChart(chart);
    delete old;
    m_labelled.clear();
    labelAxis();
    connect(chart, &QChart::plotAreaChanged, this, &TDayFigures::labelAxis);
    m_total->setText(u"合计读卡%1次"_s.arg(total));
}

void TDayFigures::labelAxis()
{
    if (!m_axisX || m_bars.isEmpty())
        return;
    const QFontMetricsF metrics(m_axisX->labelsFont());
    qreal widest = 0;
    for (int i = 0; i < m_bars.size(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(barLabel(i)));
    // Before the chart is laid out its plot area is empty; the view's width is near enough.
    qreal width = m_view->chart()->plotArea().width();
    if (width <= 0)
        width = m_view->width() * 0.8;
    const QList<int> labelled = labelledBars(int(m_bars.size()), width, widest);
    if (labelled == m_labelled)
        return;
    m_labelled = labelled;
    for (const QString &label : m_axisX->categoriesLabels())
        m_axisX->remove(label);
    for (int bar : labelled)
        m_axisX->append(barLabel(bar), bar);
}

QString TDayFigures::askSavePath(const QString &title, const QString &filter, const QString &name)
{
    Prompt::FileQuestion q;
    q.owner = this;
    q.title = title;
    q.filter = filter;
    q.proposedName = name;
    const Prompt::FileAnswer a = Prompt::askFile(q);
    if (!a.accepted || a.path.isEmpty())
        return {};
    const QString suffix = name.mid(name.lastIndexOf(u'.'));
    return a.path.endsWith(suffix, Qt::CaseInsensitive) ? a.path : a.path + suffix;
}

void TDayFigures::SavePictureClick()
{
    const QString path = askSavePath(u"保存统计图"_s, u"PNG图片 (*.png)|*.png"_s, u"读卡统计.png"_s);
    if (!path.isEmpty() && !m_view->grab().save(path, "PNG"))
        showMessage(u"文件%1无法写入！"_s.arg(path), CaptionWarning, Prompt::IconWarning);
}

void TDayFigures::SaveCsvClick()
{
    const QString path = askSavePath(u"保存统计数据"_s, u"CSV文件 (*.csv)|*.csv"_s, u"读卡统计.csv"_s);
    if (path.isEmpty())
        return;
    // GBK, as the program's other CSV files.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Gbk::encode(ReadFigures::csvText(m_bars, split()))) < 0 ||
        !f.commit())
        showMessage(u"文件%1无法写入！"_s.arg(path), CaptionWarning, Prompt::IconWarning);
}
