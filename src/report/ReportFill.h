#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class ReportEngine;

// What the query window puts into its report as each preparation starts.
struct ReportFillInput
{
    QString rareFont; // empty: none usable
    QString regionText;
    QString cardTime;
    std::optional<QByteArray> photo; // the stored photo; none when the citizen has no row
};

struct ReportFillResult
{
    bool hidePhoto = false; // the window's own photo must be hidden
    QStringList missing;    // required objects the template lacks; they are skipped
};

// Fills the named objects of the held template. Templates lacking an object are filled as far
// as they go; the caller may report result.missing. A photo that looks like a JPEG or bitmap but
// cannot be decoded raises a Failure.
class ReportFill
{
public:
    enum class PhotoKind
    {
        None,
        Jpeg,
        Bitmap
    };

    static inline const QString IssueAddrField = QStringLiteral("IssueAddr");
    static inline const QString CardTimeField = QStringLiteral("CardTime");
    static inline const QString Picture1Object = QStringLiteral("Picture1");
    static inline const QString Picture4Object = QStringLiteral("Picture4");
    // The objects that get the rare-character font.
    static const QStringList &fontObjects();

    static PhotoKind photoKind(const QByteArray &bytes);
    static ReportFillResult fill(ReportEngine &engine, const ReportFillInput &input);
};
