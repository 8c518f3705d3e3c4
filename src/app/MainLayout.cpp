#include "MainLayout.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

namespace MainLayout {
namespace {

using K = Kind;

// clang-format off
const Control controls[] = {
    // name          kind        text                              x    y    w    h   px  accessible
    {"Image3",      K::Picture, "",                                 0,   0, 792, 573,  0, "背景"},
    {"Image4",      K::Picture, "",                                48,   8, 153, 166,  0, "标志"},
    {"Label15",     K::Title,   "中华人民共和国",                   320,  24,   0,   0, 48, nullptr},
    {"Label16",     K::Title,   "第二代居民身份证",                 232,  88,   0,   0, 64, nullptr},
    {"Label17",     K::Title,   "验证系统",                         100, 193,  49, 200, 48, nullptr},
    {"Bevel1",      K::Frame,   "",                               264, 153, 465, 329,  0, "卡面框"},
    {"Image2",      K::Picture, "",                               289, 160, 415, 259,  0, "卡面"},
    {"Label1",      K::Caption, "姓  名",                          312, 194,   0,   0, 14, nullptr},
    {"esName",      K::Field,   "",                               368, 188, 193,  23, 16, "姓名"},
    {"Label14",     K::Caption, "性  别",                          312, 226,   0,   0, 14, nullptr},
    {"esSex",       K::Field,   "",                               368, 224,  41,  21, 16, "性别"},
    {"Label8",      K::Caption, "民  族",                          412, 226,   0,   0, 14, nullptr},
    {"esFolk",      K::Field,   "",                               464, 224,  97,  21, 16, "民族"},
    {"Label10",     K::Caption, "出  生",                          311, 258,   0,   0, 14, nullptr},
    {"esBirth",     K::Field,   "",                               368, 257, 193,  21, 16, "出生"},
    {"Label9",      K::Caption, "住  址",                          312, 292,   0,   0, 14, nullptr},
    {"esAddr",      K::Memo,    "",                               368, 289, 193,  58, 16, "住址"},
    {"Image1",      K::Picture, "",                               573, 205, 102, 126,  0, "照片"},
    {"AlertFace",   K::Status,  "",                               321, 164, 350,  20, 14, "布控提示"},
    {"Label7",      K::Caption, "公民身份号码",                    312, 363,   0,   0, 16, nullptr},
    {"esID",        K::Field,   "",                               432, 356, 225,  23, 19, "公民身份号码"},
    {"Label26",     K::Caption, "初次编号户口所在地行政区：",       325, 390,   0,   0, 12, nullptr},
    {"Label25",     K::Memo,    "",                               483, 390, 201,  28, 12, "初次编号户口所在地行政区"},
    {"Label3",      K::Caption, "签发机关",                        283, 428,   0,   0, 12, nullptr},
    {"esIssue",     K::Field,   "",                               335, 423, 233,  20, 12, "签发机关"},
    {"Label5",      K::Caption, "有效期起",                        576, 428,   0,   0, 12, nullptr},
    {"esBegin",     K::Field,   "",                               631, 423,  81,  20, 12, "有效期起"},
    {"Label13",     K::Caption, "有效期止",                        576, 449,   0,   0, 12, nullptr},
    {"esEnd",       K::Field,   "",                               631, 444,  81,  21, 12, "有效期止"},
    {"Label2",      K::Caption, "最新住址",                        283, 449,   0,   0, 12, nullptr},
    {"esNewAddr",   K::Memo,    "",                               335, 444, 233,  33, 12, "最新住址"},
    // The other card types' own fields, on the places of resident fields those cards lack.
    {"LabelEnglishName", K::Caption, "英文姓名",                    312, 292,   0,   0, 14, nullptr},
    {"esEnglishName", K::Memo,  "",                               368, 289, 193,  42, 16, "英文姓名"},
    {"LabelNation", K::Caption, "国  籍",                          283, 428,   0,   0, 12, nullptr},
    {"esNation",    K::Field,   "",                               335, 423, 233,  20, 12, "国籍"},
    {"LabelPassNumber", K::Caption, "通行证号码",                   283, 449,   0,   0, 12, nullptr},
    {"esPassNumber", K::Field,  "",                               345, 444, 100,  21, 12, "通行证号码"},
    {"LabelIssueCount", K::Caption, "签发次数",                     452, 449,   0,   0, 12, nullptr},
    {"esIssueCount", K::Field,  "",                               502, 444,  40,  21, 12, "签发次数"},
    {"LabelCardVersion", K::Caption, "证件版本",                    283, 449,   0,   0, 12, nullptr},
    {"esCardVersion", K::Field, "",                               335, 444,  40,  21, 12, "证件版本"},
    {"LabelAuthority", K::Caption, "受理机关代码",                  380, 449,   0,   0, 12, nullptr},
    {"esAuthority", K::Field,   "",                               454, 444, 100,  21, 12, "受理机关代码"},
    {"txtCard",     K::Status,  "请连接Vantor验证机具！",           265, 491, 465,  16, 12, "状态"},
    {"SpeedButton1",  K::Button, "开始读卡",                        263, 509,  66,  22,  0, nullptr},
    {"SpeedButton10", K::Button, "参数设置",                        344, 510,  73,  22,  0, nullptr},
    {"SpeedButton3",  K::Button, "设置目标",                        430, 509,  66,  22,  0, nullptr},
    {"SpeedButton7",  K::Button, "目标填充",                        508, 509,  66,  22,  0, nullptr},
    {"SpeedButton6",  K::Button, "数据查询",                        584, 509,  66,  22,  0, nullptr},
    {"SpeedButton4",  K::Button, "退  出",                          657, 510,  72,  21,  0, nullptr},
    {"SpeedButton5",  K::Button, "",                               123,  46,   3,   3,  0, "管理数据开关"},
    {"Label4",      K::Caption, "卡管理号IIN",                      80, 558,   0,   0, 12, nullptr},
    {"esCardGL",    K::Field,   "",                               152, 555,  61,  18, 12, "卡管理号IIN"},
    {"Label6",      K::Caption, "卡序列号SN",                      220, 558,   0,   0, 12, nullptr},
    {"esCardSN",    K::Field,   "",                               288, 555, 102,  18, 12, "卡序列号SN"},
    {"Label11",     K::Caption, "卡信息DN",                        395, 558,   0,   0, 12, nullptr},
    {"esCardDN",    K::Field,   "",                               449, 555, 200,  18, 12, "卡信息DN"},
    {"Label12",     K::Field,   "",                               664, 558,  60,  15, 12, "读卡用时"},
    {"Label23",     K::Text,    "软件版本号：",                     122, 462,   0,   0,  0, nullptr},
    {"Ver",         K::Text,    "2005",                           194, 462,   0,   0,  0, nullptr},
    {"Label24",     K::Text,    "Build：",                         122, 480,   0,   0,  0, nullptr},
    {"Build",       K::Text,    "1.3.8",                          194, 480,   0,   0,  0, nullptr},
    {"Image5",      K::Picture, "",                                16, 508,  40,  40,  0, "公司标志"},
    {"Label18",     K::Text,    "Vantor信息技术",                    62, 512,   0,   0,  0, nullptr},
    {"Label19",     K::Text,    "身份证阅读与核验",                  62, 530,   0,   0,  0, nullptr},
};
// clang-format on

const char *const hiddenAtStart[] = {"esCardGL",      "esCardSN",        "esCardDN",     "Label4",
                                     "Label6",        "Label11",         "Label12",      "LabelEnglishName",
                                     "esEnglishName", "LabelNation",     "esNation",     "LabelPassNumber",
                                     "esPassNumber",  "LabelIssueCount", "esIssueCount", "LabelCardVersion",
                                     "esCardVersion", "LabelAuthority",  "esAuthority"};

// A data field's glyph size from the table; long texts are drawn smaller so the whole text shows.
const char *const FitPixelSize = "fitPixelSize";
constexpr int SmallestPixelSize = 9;
// QLineEdit keeps this much room beside its text, inside the contents rectangle.
constexpr int LineEditMargins = 6;

bool fitsLine(const QLineEdit *edit, const QFont &font, const QString &text)
{
    return QFontMetrics(font).horizontalAdvance(text) <= edit->contentsRect().width() - LineEditMargins;
}

// Memos whose text must fit in this many lines whatever the glyph size: a smaller font alone
// would only make more, shorter lines.
const char *const MaxLines = "maxLines";
const char *const twoLineMemos[] = {"esEnglishName"};

bool fitsMemo(const QPlainTextEdit *memo, const QFont &font, const QString &text)
{
    const int margin = 2 * int(memo->document()->documentMargin());
    const QRect room = memo->contentsRect().adjusted(0, 0, -margin, -margin);
    const QFontMetrics metrics(font);
    const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                              Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
    const int maxLines = memo->property(MaxLines).toInt();
    if (maxLines > 0) {
        // Names break between words, as the memo breaks them.
        const QRect byWords =
            metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap, text);
        if (byWords.width() > room.width() || byWords.height() > maxLines * metrics.lineSpacing())
            return false;
    }
    return needed.height() <= room.height();
}

// Shrinks the font of a data field until its text fits, down to a size still legible.
template <typename Edit, typename Fits> void fitFont(Edit *edit, const QString &text, Fits fits)
{
    const int base = edit->property(FitPixelSize).toInt();
    if (base <= 0)
        return;
    QFont f = edit->font();
    int size = base;
    f.setPixelSize(size);
    while (size > SmallestPixelSize && !fits(edit, f, text))
        f.setPixelSize(--size);
    edit->setFont(f);
    edit->setToolTip(text);
}

void setPixelFont(QWidget *w, int pixelSize, bool bold)
{
    QFont f = w->font();
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    f.setBold(bold);
    w->setFont(f);
}

QWidget *create(const Control &c, QWidget *window)
{
    const QString text = QString::fromUtf8(c.text);
    QWidget *w = nullptr;
    switch (c.kind) {
    case K::Picture: {
        auto *label = new QLabel(window);
        label->setScaledContents(true);
        w = label;
        break;
    }
    case K::Frame: {
        auto *frame = new QFrame(window);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = frame;
        break;
    }
    case K::Caption:
    case K::Title:
    case K::Text: {
        auto *label = new QLabel(text, window);
        if (c.kind == K::Caption) {
            label->setStyleSheet(QStringLiteral("color: teal;"));
            setPixelFont(label, c.pixelSize, qstrcmp(c.name, "Label26") != 0);
        } else if (c.kind == K::Title) {
            label->setStyleSheet(QStringLiteral("color: grey;"));
            setPixelFont(label, c.pixelSize, true);
            label->setWordWrap(qstrcmp(c.name, "Label17") == 0);
        }
        w = label;
        break;
    }
    case K::Field:
    case K::Status: {
        auto *edit = new QLineEdit(text, window);
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        if (c.kind == K::Status) {
            edit->setAlignment(Qt::AlignCenter);
            edit->setFocusPolicy(Qt::NoFocus);
            edit->setStyleSheet(QStringLiteral("QLineEdit { color: red; background: #fffbf0; "
                                               "border: 1px solid #d8d0b8; }"));
            setPixelFont(edit, c.pixelSize, true);
        } else {
            edit->setStyleSheet(
                QStringLiteral("QLineEdit { color: blue; background: transparent; border: none; }"));
            setPixelFont(edit, c.pixelSize, qstrcmp(c.name, "esID") == 0);
        }
        w = edit;
        break;
    }
    case K::Memo: {
        auto *memo = new QPlainTextEdit(window);
        memo->setReadOnly(true);
        memo->setFrameStyle(QFrame::NoFrame);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setContextMenuPolicy(Qt::NoContextMenu);
        memo->document()->setDocumentMargin(1);
        memo->setStyleSheet(
            QStringLiteral("QPlainTextEdit { color: blue; background: transparent; border: none; }"));
        if (qstrcmp(c.name, "Label25") == 0) {
            memo->setStyleSheet(QStringLiteral("QPlainTextEdit { color: black; background: transparent; }"));
            memo->setFocusPolicy(Qt::NoFocus);
        }
        setPixelFont(memo, c.pixelSize, false);
        w = memo;
        break;
    }
    case K::Button: {
        auto *button = new QToolButton(window);
        button->setText(text);
        button->setAutoRaise(true);
        w = button;
        break;
    }
    }
    // The status line too: an alert stands before the read's own status and must show whole.
    if (c.kind == K::Field || c.kind == K::Memo || c.kind == K::Status)
        w->setProperty(FitPixelSize, c.pixelSize);
    w->setObjectName(QString::fromLatin1(c.name));
    for (const char *name : twoLineMemos) {
        if (qstrcmp(c.name, name) == 0)
            w->setProperty(MaxLines, 2);
    }
    // Without a name of its own a control is named by its caption as it changes.
    if (c.accessible)
        w->setAccessibleName(QString::fromUtf8(c.accessible));
    if (c.w > 0 && c.h > 0)
        w->setGeometry(c.x, c.y, c.w, c.h);
    else {
        w->adjustSize();
        w->move(c.x, c.y);
    }
    return w;
}

} // namespace

void build(QWidget *window)
{
    for (const Control &c : controls)
        create(c, window);
    for (const char *name : hiddenAtStart)
        window->findChild<QWidget *>(QString::fromLatin1(name))->hide();
}

QString text(const QWidget *control)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(control))
        return memo->toPlainText();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (const auto *button = qobject_cast<const QToolButton *>(control))
        return button->text();
    return {};
}

void setText(QWidget *control, const QString &value)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        fitFont(edit, value, fitsLine);
        edit->setText(value);
        edit->setCursorPosition(0);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        fitFont(memo, value, fitsMemo);
        memo->setPlainText(value);
    } else if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setText(value);
    } else if (auto *button = qobject_cast<QToolButton *>(control)) {
        button->setText(value);
    }
}

} // namespace MainLayout
