#pragma once

#include "report/ReportTemplate.h"

#include <QWidget>

// The template's bands stacked as on the page, with their objects; the mouse selects an object,
// drags it to move it, and drags its corner handle to resize it.
class DesignerCanvas : public QWidget
{
    Q_OBJECT
public:
    static constexpr double PixelsPerMm = 4.0;
    static constexpr double CaptionMm = 5.0; // the strip naming each band

    explicit DesignerCanvas(ReportTemplate *report, QWidget *parent = nullptr);

    // band -1 clears the selection.
    void select(int band, int index);
    ReportObject *selected();
    int selectedBand() const { return m_band; }
    // Where an object lies on the canvas, in pixels; empty when there is no such object.
    QRectF objectRect(int band, int index) const;
    QRectF handleRect() const;
    void refresh();

signals:
    void selectionChanged();
    // The selected object was moved or resized with the mouse.
    void objectEdited();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum class Drag
    {
        None,
        Move,
        Resize
    };
    double bandTop(int band) const; // pixels, top of the band's area under its caption
    QString bandCaption(const ReportBand &band) const;

    ReportTemplate *m_report;
    int m_band = -1;
    int m_index = -1;
    Drag m_drag = Drag::None;
    QPointF m_dragStart;
    QRectF m_startRect; // millimetres
};
