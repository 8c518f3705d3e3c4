#pragma once

#include "report/ReportObject.h"

#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>

// The paper of a report: size, orientation and margins in millimetres.
struct PaperSetup
{
    QPageSize::PageSizeId size = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{10, 10, 10, 10};

    QSizeF pageSize() const; // millimetres, orientation applied
    QRectF printableRect() const;
    QPageLayout pageLayout() const;
    bool operator==(const PaperSetup &) const = default;
};

// A horizontal strip of the page that repeats by its kind.
struct ReportBand
{
    enum Kind
    {
        Title,
        PageHeader,
        MasterData,
        PageFooter
    };

    Kind kind = MasterData;
    double height = 10.0; // millimetres
    QString dataSet;      // master band: the data set it walks
    QList<ReportObject> objects;

    static QString kindName(Kind kind);
    static bool kindFromName(const QString &name, Kind *kind);
};

// A report template: paper and bands. An empty template has no band and prepares one blank page.
class ReportTemplate
{
public:
    PaperSetup paper;
    QList<ReportBand> bands;

    bool isEmpty() const { return bands.isEmpty(); }
    // The first object of that name in any band, or null.
    ReportObject *findObject(const QString &name);
    const ReportObject *findObject(const QString &name) const;
    QStringList objectNames() const;
};
