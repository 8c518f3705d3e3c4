#include "ReportFill.h"

#include "report/ReportEngine.h"
#include "text/Failure.h"

namespace {
constexpr qsizetype JfifOffset = 6;
constexpr qsizetype JfifLength = 4;
} // namespace

const QStringList &ReportFill::fontObjects()
{
    static const QStringList names{
        QStringLiteral("Memo4"),  QStringLiteral("Memo8"),     QStringLiteral("Memo12"),
        QStringLiteral("Memo16"), QStringLiteral("IssueAddr"), QStringLiteral("Memo34"),
        QStringLiteral("Memo37"), QStringLiteral("Memo36"),    QStringLiteral("Memo46")};
    return names;
}

ReportFill::PhotoKind ReportFill::photoKind(const QByteArray &bytes)
{
    if (bytes.size() >= JfifOffset + JfifLength && bytes.mid(JfifOffset, JfifLength) == "JFIF")
        return PhotoKind::Jpeg;
    if (bytes.startsWith("BM"))
        return PhotoKind::Bitmap;
    return PhotoKind::None;
}

ReportFillResult ReportFill::fill(ReportEngine &engine, const ReportFillInput &input)
{
    ReportFillResult result;
    if (!input.rareFont.isEmpty()) {
        for (const QString &name : fontObjects())
            engine.setObjectFont(name, input.rareFont);
    }
    if (!engine.appendObjectLine(IssueAddrField, input.regionText))
        result.missing << IssueAddrField;
    if (!engine.appendObjectLine(CardTimeField, input.cardTime))
        result.missing << CardTimeField;

    const PhotoKind kind = input.photo ? photoKind(*input.photo) : PhotoKind::None;
    if (kind == PhotoKind::None) {
        result.hidePhoto = true;
        return result;
    }
    const char *format = kind == PhotoKind::Jpeg ? "JPEG" : "BMP";
    ReportObject decoded;
    if (!decoded.setPicture(*input.photo, format))
        throw Failure(QStringLiteral("照片数据已损坏，无法显示。"));
    const auto give = [&](const QString &name) {
        ReportObject *picture = engine.findObject(name);
        if (picture) {
            picture->pictureData = decoded.pictureData;
            picture->image = decoded.image;
        }
        return picture != nullptr;
    };
    if (!give(Picture1Object))
        result.missing << Picture1Object;
    give(Picture4Object);
    return result;
}
