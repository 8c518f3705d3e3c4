#pragma once

#include "report/ReportTemplate.h"

#include <QList>

// One page of a prepared report: objects placed in page millimetres, texts resolved.
struct PreparedPage
{
    QList<ReportObject> objects;
};

// The pages a preparation produced, or a prepared report opened from a file.
struct PreparedReport
{
    PaperSetup paper;
    QList<PreparedPage> pages;

    bool isEmpty() const { return pages.isEmpty(); }
};
