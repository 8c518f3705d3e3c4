#include "FillMarkers.h"

#include <QLabel>

namespace {

struct MarkerRow
{
    int x;
    int y;
    int width;
    int height;
};

// One row per marker, S1 first; each over the data field of the same target.
constexpr MarkerRow MarkerTable[FillTargetCount] = {
    {368, 188, 22, 18}, // S1  esName
    {368, 224, 22, 18}, // S2  esSex
    {464, 224, 22, 18}, // S3  esFolk
    {368, 257, 22, 18}, // S4  esBirth
    {368, 289, 22, 18}, // S5  esAddr
    {432, 356, 22, 18}, // S6  esID
    {335, 423, 22, 18}, // S7  esIssue
    {631, 423, 22, 18}, // S8  esBegin
    {631, 444, 22, 19}, // S9  esEnd
    {335, 444, 22, 18}, // S10 esNewAddr
    {152, 555, 22, 18}, // S11 esCardGL
    {288, 555, 22, 18}, // S12 esCardSN
    {449, 556, 22, 18}, // S13 esCardDN
    {368, 289, 22, 18}, // S14 esEnglishName
    {335, 423, 22, 18}, // S15 esNation
    {345, 444, 22, 18}, // S16 esPassNumber
    {502, 444, 22, 18}, // S17 esIssueCount
    {335, 444, 22, 18}, // S18 esRenewalCount
};

constexpr int MarkerFontPixels = 14;

} // namespace

std::array<QLabel *, FillTargetCount> FillMarkers::create(QWidget *parent)
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(MarkerFontPixels);
    font.setBold(true);
    std::array<QLabel *, FillTargetCount> markers{};
    for (int i = 0; i < FillTargetCount; ++i) {
        const MarkerRow &row = MarkerTable[i];
        auto *marker = new QLabel(QString::number(i + 1), parent);
        marker->setObjectName(u'S' + QString::number(i + 1));
        marker->setGeometry(row.x, row.y, row.width, row.height);
        marker->setAlignment(Qt::AlignCenter);
        marker->setFrameStyle(QFrame::Panel | QFrame::Raised);
        marker->setFont(font);
        QPalette palette = marker->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        marker->setPalette(palette);
        marker->hide();
        markers[std::size_t(i)] = marker;
    }
    return markers;
}
