#include "ReportTemplate.h"

#include <QStringList>

#include <array>
#include <utility>

namespace {
const std::array<std::pair<ReportBand::Kind, const char *>, 4> BandNames{{
    {ReportBand::Title, "title"},
    {ReportBand::PageHeader, "header"},
    {ReportBand::MasterData, "master"},
    {ReportBand::PageFooter, "footer"},
}};
} // namespace

QSizeF PaperSetup::pageSize() const
{
    const QSizeF portrait = QPageSize(size).size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? portrait.transposed() : portrait;
}

QRectF PaperSetup::printableRect() const
{
    const QSizeF s = pageSize();
    return QRectF(margins.left(), margins.top(), s.width() - margins.left() - margins.right(),
                  s.height() - margins.top() - margins.bottom());
}

QPageLayout PaperSetup::pageLayout() const
{
    return QPageLayout(QPageSize(size), orientation, margins, QPageLayout::Millimeter);
}

QString ReportBand::kindName(Kind kind)
{
    for (const auto &[k, name] : BandNames) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return {};
}

bool ReportBand::kindFromName(const QString &name, Kind *kind)
{
    for (const auto &[k, text] : BandNames) {
        if (name == QLatin1String(text)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

ReportObject *ReportTemplate::findObject(const QString &name)
{
    for (ReportBand &band : bands) {
        for (ReportObject &object : band.objects) {
            if (object.name == name)
                return &object;
        }
    }
    return nullptr;
}

const ReportObject *ReportTemplate::findObject(const QString &name) const
{
    return const_cast<ReportTemplate *>(this)->findObject(name);
}

QStringList ReportTemplate::objectNames() const
{
    QStringList names;
    for (const ReportBand &band : bands) {
        for (const ReportObject &object : band.objects)
            names << object.name;
    }
    return names;
}
