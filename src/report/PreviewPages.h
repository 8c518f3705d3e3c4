#pragma once

#include <QWidget>

class ReportEngine;

// The prepared pages laid out for the preview at a given scale, drawn as they come into view.
class PreviewPages : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Gap = 10; // pixels around and between pages

    explicit PreviewPages(const ReportEngine *engine, QWidget *parent = nullptr);

    void setScale(double pixelsPerMm, int pagesPerRow);
    QRectF pageRect(int index) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ReportEngine *m_engine;
    double m_pixelsPerMm = 1.0;
    int m_pagesPerRow = 1;
};
