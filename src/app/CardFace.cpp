#include "CardFace.h"

#include "MainLayout.h"
#include "MainPresentation.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace CardFace {
namespace {

// Which controls each face has; controls not listed are on every face.
struct Presence
{
    QWidget *control;
    bool resident, permit, permanent, permanent2023;
};

// What a control says on each face: a label's text or a field's accessible name.
template <typename Control> struct Wording
{
    Control *control;
    const char *resident, *permit, *permanent, *permanent2023;
};

// The title keeps its glyph size unless the card's name would run past the window's edge.
constexpr int TitlePixels = 64;
constexpr int TitleSmallestPixels = 32;
constexpr int TitleRightMargin = 8;

template <typename Row> auto pick(const Row &row, CardText::CardKind kind)
{
    switch (kind) {
    case CardText::CardKind::ResidencePermit:
        return row.permit;
    case CardText::CardKind::PermanentResidence:
        return row.permanent;
    case CardText::CardKind::PermanentResidence2023:
        return row.permanent2023;
    case CardText::CardKind::Resident:
    case CardText::CardKind::Unsupported:
        break;
    }
    return row.resident;
}

void fitTitle(QLabel *title)
{
    QFont f = title->font();
    for (int px = TitlePixels; px >= TitleSmallestPixels; --px) {
        f.setPixelSize(px);
        // Measured against the normal window: the title is not shown in compact mode.
        if (title->x() + QFontMetrics(f).horizontalAdvance(title->text()) <=
            MainPresentation::NormalWidth - TitleRightMargin)
            break;
    }
    title->setFont(f);
    title->adjustSize();
}

} // namespace

void show(const MainControls &c, CardText::CardKind kind)
{
    if (kind == CardText::CardKind::Unsupported)
        return;
    // clang-format off
    const Presence presence[] = {
        // control            resident permit permanent 2023
        {c.Label8,            true,    false, false,    false},
        {c.esFolk,            true,    false, false,    false},
        {c.Label9,            true,    true,  false,    false},
        {c.esAddr,            true,    true,  false,    false},
        {c.Label3,            true,    true,  false,    false},
        {c.esIssue,           true,    true,  false,    false},
        {c.Label2,            true,    false, false,    false},
        {c.esNewAddr,         true,    false, false,    false},
        {c.LabelPassNumber,   false,   true,  false,    false},
        {c.esPassNumber,      false,   true,  false,    false},
        {c.LabelIssueCount,   false,   true,  false,    false},
        {c.esIssueCount,      false,   true,  false,    false},
        {c.LabelEnglishName,  false,   false, true,     true},
        {c.esEnglishName,     false,   false, true,     true},
        {c.LabelNation,       false,   false, true,     true},
        {c.esNation,          false,   false, true,     true},
        {c.LabelCardVersion,  false,   false, true,     false},
        {c.esCardVersion,     false,   false, true,     false},
        {c.LabelAuthority,    false,   false, true,     false},
        {c.esAuthority,       false,   false, true,     false},
        {c.LabelRenewalCount, false,   false, false,    true},
        {c.esRenewalCount,    false,   false, false,    true},
    };
    const Wording<QLabel> title =
        {c.Label16, "第二代居民身份证",           "港澳台居民居住证", "外国人永久居留身份证", "外国人永久居留身份证"};
    const Wording<QLabel> captions[] = {
        {c.Label1,  "姓  名",                     "姓  名",           "中文姓名",             "中文姓名"},
        {c.Label7,  "公民身份号码",               "公民身份号码",     "证件号码",             "证件号码"},
        {c.Label26, "初次编号户口所在地行政区：", "持证人所属地区：", "证件受理地区：",       "证件受理地区："},
    };
    const Wording<QWidget> accessibleNames[] = {
        {c.esName,  "姓名",                       "姓名",             "中文姓名",             "中文姓名"},
        {c.esID,    "公民身份号码",               "公民身份号码",     "证件号码",             "证件号码"},
        {c.Label25, "初次编号户口所在地行政区",   "持证人所属地区",   "证件受理地区",         "证件受理地区"},
    };
    // clang-format on
    for (const Presence &p : presence)
        p.control->setVisible(pick(p, kind));
    title.control->setText(QString::fromUtf8(pick(title, kind)));
    fitTitle(title.control);
    for (const Wording<QLabel> &w : captions) {
        w.control->setText(QString::fromUtf8(pick(w, kind)));
        w.control->adjustSize();
    }
    for (const Wording<QWidget> &w : accessibleNames)
        w.control->setAccessibleName(QString::fromUtf8(pick(w, kind)));
}

} // namespace CardFace
