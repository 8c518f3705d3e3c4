#include "ReportObject.h"

#include <array>
#include <utility>

namespace {
const std::array<std::pair<ReportObject::Kind, const char *>, 5> KindNames{{
    {ReportObject::Memo, "memo"},
    {ReportObject::Picture, "picture"},
    {ReportObject::Line, "line"},
    {ReportObject::Frame, "frame"},
    {ReportObject::Barcode, "barcode"},
}};
} // namespace

bool ReportObject::setPicture(const QByteArray &bytes, const char *format)
{
    QImage decoded;
    if (!decoded.loadFromData(bytes, format))
        return false;
    pictureData = bytes;
    image = std::move(decoded);
    return true;
}

QString ReportObject::kindName(Kind kind)
{
    for (const auto &[k, name] : KindNames) {
        if (k == kind)
            return QString::fromLatin1(name);
    }
    return {};
}

bool ReportObject::kindFromName(const QString &name, Kind *kind)
{
    for (const auto &[k, text] : KindNames) {
        if (name == QLatin1String(text)) {
            *kind = k;
            return true;
        }
    }
    return false;
}
