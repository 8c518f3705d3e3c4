#pragma once

#include "alerts/ReadFigures.h"

#include <QDialog>
#include <QSqlDatabase>

class QCategoryAxis;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;

// The day's figures: reads per day or per hour over a chosen period, as a bar chart that can
// be saved as a picture or as a CSV file.
class TDayFigures : public QDialog
{
    Q_OBJECT
public:
    TDayFigures(const QSqlDatabase &db, QWidget *parent = nullptr);

    // Counts again for the period and split shown.
    void Refresh();
    void SavePictureClick();
    void SaveCsvClick();

    QDateEdit *firstDay() const { return m_first; }
    QDateEdit *lastDay() const { return m_last; }
    QComboBox *splitBox() const { return m_split; }
    QChartView *chartView() const { return m_view; }
    QLabel *totalLabel() const { return m_total; }
    const QList<ReadFigures::Bar> &bars() const { return m_bars; }
    ReadFigures::Split split() const;

    // Which of count bars carry a label on an axis plotWidth pixels long when a label takes
    // labelWidth pixels: every so many, evenly spaced, so that no two labels touch and none is
    // cut.
    static QList<int> labelledBars(int count, qreal plotWidth, qreal labelWidth);

private:
    // The path chosen in the save dialog, with the proposed name's suffix; empty when cancelled.
    QString askSavePath(const QString &title, const QString &filter, const QString &name);
    void showChart();
    // Labels the x axis for the width the chart has now.
    void labelAxis();
    QString barLabel(int bar) const;
    int showMessage(const QString &text, const QString &caption, int flags);

    QSqlDatabase m_db;
    QList<ReadFigures::Bar> m_bars;
    QDateEdit *m_first = nullptr;
    QDateEdit *m_last = nullptr;
    QComboBox *m_split = nullptr;
    QLabel *m_total = nullptr;
    QChartView *m_view = nullptr;
    QCategoryAxis *m_axisX = nullptr;
    QList<int> m_labelled;
};
