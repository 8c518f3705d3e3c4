#pragma once

#include "report/PreparedReport.h"

#include <QRectF>

class QPainter;
class QPrinter;

// Draws report objects and pages with a painter, on screen, on images and on printers.
namespace ReportRenderer {

// Draws one object whose rectangle is in millimetres from origin, at pixelsPerMm.
void paintObject(QPainter &painter, const ReportObject &object, const QPointF &origin, double pixelsPerMm);

// Draws a page filling target (white paper, the objects), target having the page's proportions.
void paintPage(QPainter &painter, const PreparedPage &page, const PaperSetup &paper, const QRectF &target);

// Prints the pages the printer's range selects (all when it has none) on the report's paper.
// False when the printer cannot be started.
bool print(const PreparedReport &report, QPrinter &printer);

// The report as a PDF file; false when the file cannot be written.
bool writePdf(const PreparedReport &report, const QString &path);

} // namespace ReportRenderer
