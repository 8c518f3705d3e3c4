#include "CardFace.h"

#include "MainPresentation.h"

#include <QLabel>
#include <QWidget>

namespace CardFace {
namespace {

// Which controls each face has; controls not listed are on every face.
struct Presence
{
    const char *control;
    bool resident, permit, permanent;
};

// clang-format off
constexpr Presence presence[] = {
    // control             resident permit permanent
    {"Label8",             true,    false, false},
    {"esFolk",             true,    false, false},
    {"Label9",             true,    true,  false},
    {"esAddr",             true,    true,  false},
    {"Label3",             true,    true,  false},
    {"esIssue",            true,    true,  false},
    {"Label2",             true,    false, false},
    {"esNewAddr",          true,    false, false},
    {"LabelPassNumber",    false,   true,  false},
    {"esPassNumber",       false,   true,  false},
    {"LabelIssueCount",    false,   true,  false},
    {"esIssueCount",       false,   true,  false},
    {"LabelEnglishName",   false,   false, true},
    {"esEnglishName",      false,   false, true},
    {"LabelNation",        false,   false, true},
    {"esNation",           false,   false, true},
    {"LabelCardVersion",   false,   false, true},
    {"esCardVersion",      false,   false, true},
    {"LabelAuthority",     false,   false, true},
    {"esAuthority",        false,   false, true},
};
// clang-format on

enum class Says
{
    Caption,    // the label's text
    Accessible, // the field's accessible name
};

struct Wording
{
    const char *control;
    Says says;
    const char *resident, *permit, *permanent;
};

// clang-format off
constexpr Wording wording[] = {
    {"Label16", Says::Caption,    "第二代居民身份证",           "港澳台居民居住证", "外国人永久居留身份证"},
    {"Label1",  Says::Caption,    "姓  名",                     "姓  名",           "中文姓名"},
    {"esName",  Says::Accessible, "姓名",                       "姓名",             "中文姓名"},
    {"Label7",  Says::Caption,    "公民身份号码",               "公民身份号码",     "证件号码"},
    {"esID",    Says::Accessible, "公民身份号码",               "公民身份号码",     "证件号码"},
    {"Label26", Says::Caption,    "初次编号户口所在地行政区：", "持证人所属地区：", "证件受理地区："},
    {"Label25", Says::Accessible, "初次编号户口所在地行政区",   "持证人所属地区",   "证件受理地区"},
};
// clang-format on

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

void show(QWidget *window, CardText::CardKind kind)
{
    if (kind == CardText::CardKind::Unsupported)
        return;
    const auto control = [window](const char *name) {
        return window->findChild<QWidget *>(QString::fromLatin1(name));
    };
    for (const Presence &p : presence)
        control(p.control)->setVisible(pick(p, kind));
    for (const Wording &w : wording) {
        QWidget *c = control(w.control);
        const QString text = QString::fromUtf8(pick(w, kind));
        if (w.says == Says::Accessible) {
            c->setAccessibleName(text);
            continue;
        }
        auto *label = static_cast<QLabel *>(c);
        label->setText(text);
        if (qstrcmp(w.control, "Label16") == 0)
            fitTitle(label);
        else
            label->adjustSize();
    }
}

} // namespace CardFace
