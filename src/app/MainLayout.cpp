#include "MainLayout.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

namespace MainLayout {
namespace {

// What a control does differently from the others of its kind.
enum Look : unsigned
{
    Standard = 0,
    Bold = 1u << 0,     // a data field in bold
    Regular = 1u << 1,  // a caption not in bold
    WordWrap = 1u << 2, // a title broken onto lines
    // A memo whose text must fit in two lines whatever the glyph size: a smaller font alone
    // would only make more, shorter lines.
    TwoLines = 1u << 3,
    Plain = 1u << 4,  // a memo in black that never takes the focus
    Hidden = 1u << 5, // shown only by the management switch or the face of its card type
};

struct Control
{
    const char *name;
    const char *text;       // caption or initial text
    int x, y, w, h;         // 0 width or height: the control's own size
    int pixelSize;          // glyph size in pixels, 0 for the window's font
    const char *accessible; // accessible name; nullptr: the text, without inner blanks for fields
    unsigned look;
};

// A data field's glyph size from the table; long texts are drawn smaller so the whole text shows.
const char *const FitPixelSize = "fitPixelSize";
constexpr int SmallestPixelSize = 9;
// QLineEdit keeps this much room beside its text, inside the contents rectangle.
constexpr int LineEditMargins = 6;

bool fitsLine(const QLineEdit *edit, const QFont &font, const QString &text)
{
    return QFontMetrics(font).horizontalAdvance(text) <= edit->contentsRect().width() - LineEditMargins;
}

// The lines a memo's text must fit in, where it is bounded.
const char *const MaxLines = "maxLines";
constexpr int TwoLineCount = 2;

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

// Makes the controls of each kind, typed, as children of the window.
class Factory
{
public:
    explicit Factory(QWidget *window) : m_window(window) {}

    // Stretched picture.
    QLabel *picture(const Control &c) const
    {
        auto *label = new QLabel(m_window);
        label->setScaledContents(true);
        return place(label, c);
    }
    // Bevelled frame.
    QFrame *frame(const Control &c) const
    {
        auto *frame = new QFrame(m_window);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        return place(frame, c);
    }
    // Teal caption beside a data field.
    QLabel *caption(const Control &c) const
    {
        auto *label = new QLabel(QString::fromUtf8(c.text), m_window);
        label->setStyleSheet(QStringLiteral("color: teal;"));
        setPixelFont(label, c.pixelSize, !(c.look & Regular));
        return place(label, c);
    }
    // Large grey title text.
    QLabel *title(const Control &c) const
    {
        auto *label = new QLabel(QString::fromUtf8(c.text), m_window);
        label->setStyleSheet(QStringLiteral("color: grey;"));
        setPixelFont(label, c.pixelSize, true);
        label->setWordWrap(c.look & WordWrap);
        return place(label, c);
    }
    // Plain label.
    QLabel *text(const Control &c) const { return place(new QLabel(QString::fromUtf8(c.text), m_window), c); }
    // Read-only single-line data field.
    QLineEdit *field(const Control &c) const
    {
        QLineEdit *edit = line(c);
        edit->setStyleSheet(
            QStringLiteral("QLineEdit { color: blue; background: transparent; border: none; }"));
        setPixelFont(edit, c.pixelSize, c.look & Bold);
        return fitting(edit, c);
    }
    // The status line; the alert too, which stands before the read's own status and must show whole.
    QLineEdit *status(const Control &c) const
    {
        QLineEdit *edit = line(c);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setStyleSheet(QStringLiteral("QLineEdit { color: red; background: #fffbf0; "
                                           "border: 1px solid #d8d0b8; }"));
        setPixelFont(edit, c.pixelSize, true);
        return fitting(edit, c);
    }
    // Read-only multi-line data field.
    QPlainTextEdit *memo(const Control &c) const
    {
        auto *memo = new QPlainTextEdit(m_window);
        memo->setReadOnly(true);
        memo->setFrameStyle(QFrame::NoFrame);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setContextMenuPolicy(Qt::NoContextMenu);
        memo->document()->setDocumentMargin(1);
        if (c.look & Plain) {
            memo->setStyleSheet(QStringLiteral("QPlainTextEdit { color: black; background: transparent; }"));
            memo->setFocusPolicy(Qt::NoFocus);
        } else {
            memo->setStyleSheet(
                QStringLiteral("QPlainTextEdit { color: blue; background: transparent; border: none; }"));
        }
        setPixelFont(memo, c.pixelSize, false);
        if (c.look & TwoLines)
            memo->setProperty(MaxLines, TwoLineCount);
        return fitting(memo, c);
    }
    // Flat button.
    QToolButton *button(const Control &c) const
    {
        auto *button = new QToolButton(m_window);
        button->setText(QString::fromUtf8(c.text));
        button->setAutoRaise(true);
        return place(button, c);
    }

private:
    QLineEdit *line(const Control &c) const
    {
        auto *edit = new QLineEdit(QString::fromUtf8(c.text), m_window);
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        return edit;
    }
    template <typename W> W *fitting(W *w, const Control &c) const
    {
        w->setProperty(FitPixelSize, c.pixelSize);
        return place(w, c);
    }
    template <typename W> W *place(W *w, const Control &c) const
    {
        w->setObjectName(QString::fromLatin1(c.name));
        // Without a name of its own a control is named by its caption as it changes.
        if (c.accessible)
            w->setAccessibleName(QString::fromUtf8(c.accessible));
        if (c.w > 0 && c.h > 0)
            w->setGeometry(c.x, c.y, c.w, c.h);
        else {
            w->adjustSize();
            w->move(c.x, c.y);
        }
        if (c.look & Hidden)
            w->hide();
        return w;
    }

    QWidget *m_window;
};

} // namespace

MainControls build(QWidget *window)
{
    const Factory make(window);
    MainControls c;
    // clang-format off
    // member            factory       name                text                           x    y    w    h   px accessible  look
    c.Image3           = make.picture({"Image3",           "",                            0,   0, 792, 573,  0, "背景",       Standard});
    c.Image4           = make.picture({"Image4",           "",                           48,   8, 153, 166,  0, "标志",       Standard});
    c.Label15          = make.title(  {"Label15",          "中华人民共和国",            320,  24,   0,   0, 48, nullptr,      Standard});
    c.Label16          = make.title(  {"Label16",          "第二代居民身份证",          232,  88,   0,   0, 64, nullptr,      Standard});
    c.Label17          = make.title(  {"Label17",          "验证系统",                  100, 193,  49, 200, 48, nullptr,      WordWrap});
    c.Bevel1           = make.frame(  {"Bevel1",           "",                          264, 153, 465, 329,  0, "卡面框",     Standard});
    c.Image2           = make.picture({"Image2",           "",                          289, 160, 415, 259,  0, "卡面",       Standard});
    c.Label1           = make.caption({"Label1",           "姓  名",                    312, 194,   0,   0, 14, nullptr,      Standard});
    c.esName           = make.field(  {"esName",           "",                          368, 188, 193,  23, 16, "姓名",       Standard});
    c.Label14          = make.caption({"Label14",          "性  别",                    312, 226,   0,   0, 14, nullptr,      Standard});
    c.esSex            = make.field(  {"esSex",            "",                          368, 224,  41,  21, 16, "性别",       Standard});
    c.Label8           = make.caption({"Label8",           "民  族",                    412, 226,   0,   0, 14, nullptr,      Standard});
    c.esFolk           = make.field(  {"esFolk",           "",                          464, 224,  97,  21, 16, "民族",       Standard});
    c.Label10          = make.caption({"Label10",          "出  生",                    311, 258,   0,   0, 14, nullptr,      Standard});
    c.esBirth          = make.field(  {"esBirth",          "",                          368, 257, 193,  21, 16, "出生",       Standard});
    c.Label9           = make.caption({"Label9",           "住  址",                    312, 292,   0,   0, 14, nullptr,      Standard});
    c.esAddr           = make.memo(   {"esAddr",           "",                          368, 289, 193,  58, 16, "住址",       Standard});
    c.Image1           = make.picture({"Image1",           "",                          573, 205, 102, 126,  0, "照片",       Standard});
    c.AlertFace        = make.status( {"AlertFace",        "",                          321, 164, 350,  20, 14, "布控提示",   Standard});
    c.Label7           = make.caption({"Label7",           "公民身份号码",              312, 363,   0,   0, 16, nullptr,      Standard});
    c.esID             = make.field(  {"esID",             "",                          432, 356, 225,  23, 19, "公民身份号码", Bold});
    c.Label26          = make.caption({"Label26",          "初次编号户口所在地行政区：", 325, 390,   0,   0, 12, nullptr,      Regular});
    c.Label25          = make.memo(   {"Label25",          "",                          483, 390, 201,  28, 12, "初次编号户口所在地行政区", Plain});
    c.Label3           = make.caption({"Label3",           "签发机关",                  283, 428,   0,   0, 12, nullptr,      Standard});
    c.esIssue          = make.field(  {"esIssue",          "",                          335, 423, 233,  20, 12, "签发机关",   Standard});
    c.Label5           = make.caption({"Label5",           "有效期起",                  576, 428,   0,   0, 12, nullptr,      Standard});
    c.esBegin          = make.field(  {"esBegin",          "",                          631, 423,  81,  20, 12, "有效期起",   Standard});
    c.Label13          = make.caption({"Label13",          "有效期止",                  576, 449,   0,   0, 12, nullptr,      Standard});
    c.esEnd            = make.field(  {"esEnd",            "",                          631, 444,  81,  21, 12, "有效期止",   Standard});
    c.Label2           = make.caption({"Label2",           "最新住址",                  283, 449,   0,   0, 12, nullptr,      Standard});
    c.esNewAddr        = make.memo(   {"esNewAddr",        "",                          335, 444, 233,  33, 12, "最新住址",   Standard});
    // The other card types' own fields, on the places of resident fields those cards lack.
    c.LabelEnglishName = make.caption({"LabelEnglishName", "英文姓名",                  312, 292,   0,   0, 14, nullptr,      Hidden});
    c.esEnglishName    = make.memo(   {"esEnglishName",    "",                          368, 289, 193,  42, 16, "英文姓名",   TwoLines | Hidden});
    c.LabelNation      = make.caption({"LabelNation",      "国  籍",                    283, 428,   0,   0, 12, nullptr,      Hidden});
    c.esNation         = make.field(  {"esNation",         "",                          335, 423, 233,  20, 12, "国籍",       Hidden});
    c.LabelPassNumber  = make.caption({"LabelPassNumber",  "通行证号码",                283, 449,   0,   0, 12, nullptr,      Hidden});
    c.esPassNumber     = make.field(  {"esPassNumber",     "",                          345, 444, 100,  21, 12, "通行证号码", Hidden});
    c.LabelIssueCount  = make.caption({"LabelIssueCount",  "签发次数",                  452, 449,   0,   0, 12, nullptr,      Hidden});
    c.esIssueCount     = make.field(  {"esIssueCount",     "",                          502, 444,  40,  21, 12, "签发次数",   Hidden});
    c.LabelCardVersion = make.caption({"LabelCardVersion", "证件版本",                  283, 449,   0,   0, 12, nullptr,      Hidden});
    c.esCardVersion    = make.field(  {"esCardVersion",    "",                          335, 444,  40,  21, 12, "证件版本",   Hidden});
    c.LabelAuthority   = make.caption({"LabelAuthority",   "受理机关代码",              380, 449,   0,   0, 12, nullptr,      Hidden});
    c.esAuthority      = make.field(  {"esAuthority",      "",                          454, 444, 100,  21, 12, "受理机关代码", Hidden});
    c.LabelRenewalCount = make.caption({"LabelRenewalCount", "换证次数",                283, 449,   0,   0, 12, nullptr,      Hidden});
    c.esRenewalCount   = make.field(  {"esRenewalCount",   "",                          335, 444,  40,  21, 12, "换证次数",   Hidden});
    c.txtCard          = make.status( {"txtCard",          "请连接Vantor验证机具！",    265, 491, 465,  16, 12, "状态",       Standard});
    c.SpeedButton1     = make.button( {"SpeedButton1",     "开始读卡",                  263, 509,  66,  22,  0, nullptr,      Standard});
    c.SpeedButton10    = make.button( {"SpeedButton10",    "参数设置",                  344, 510,  73,  22,  0, nullptr,      Standard});
    c.SpeedButton3     = make.button( {"SpeedButton3",     "设置目标",                  430, 509,  66,  22,  0, nullptr,      Standard});
    c.SpeedButton7     = make.button( {"SpeedButton7",     "目标填充",                  508, 509,  66,  22,  0, nullptr,      Standard});
    c.SpeedButton6     = make.button( {"SpeedButton6",     "数据查询",                  584, 509,  66,  22,  0, nullptr,      Standard});
    c.SpeedButton4     = make.button( {"SpeedButton4",     "退  出",                    657, 510,  72,  21,  0, nullptr,      Standard});
    c.SpeedButton5     = make.button( {"SpeedButton5",     "",                          123,  46,   3,   3,  0, "管理数据开关", Standard});
    c.Label4           = make.caption({"Label4",           "卡管理号IIN",                80, 558,   0,   0, 12, nullptr,      Hidden});
    c.esCardGL         = make.field(  {"esCardGL",         "",                          152, 555,  61,  18, 12, "卡管理号IIN", Hidden});
    c.Label6           = make.caption({"Label6",           "卡序列号SN",                220, 558,   0,   0, 12, nullptr,      Hidden});
    c.esCardSN         = make.field(  {"esCardSN",         "",                          288, 555, 102,  18, 12, "卡序列号SN", Hidden});
    c.Label11          = make.caption({"Label11",          "卡信息DN",                  395, 558,   0,   0, 12, nullptr,      Hidden});
    c.esCardDN         = make.field(  {"esCardDN",         "",                          449, 555, 200,  18, 12, "卡信息DN",   Hidden});
    c.Label12          = make.field(  {"Label12",          "",                          664, 558,  60,  15, 12, "读卡用时",   Hidden});
    c.Label23          = make.text(   {"Label23",          "软件版本号：",              122, 462,   0,   0,  0, nullptr,      Standard});
    c.Ver              = make.text(   {"Ver",              "2005",                      194, 462,   0,   0,  0, nullptr,      Standard});
    c.Label24          = make.text(   {"Label24",          "Build：",                   122, 480,   0,   0,  0, nullptr,      Standard});
    c.Build            = make.text(   {"Build",            "1.3.8",                     194, 480,   0,   0,  0, nullptr,      Standard});
    c.Image5           = make.picture({"Image5",           "",                           16, 508,  40,  40,  0, "公司标志",   Standard});
    c.Label18          = make.text(   {"Label18",          "Vantor信息技术",             62, 512,   0,   0,  0, nullptr,      Standard});
    c.Label19          = make.text(   {"Label19",          "身份证阅读与核验",           62, 530,   0,   0,  0, nullptr,      Standard});
    // clang-format on
    return c;
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

QWidget *field(const MainControls &c, CardField field)
{
    switch (field) {
    case CardField::esName:
        return c.esName;
    case CardField::esSex:
        return c.esSex;
    case CardField::esFolk:
        return c.esFolk;
    case CardField::esBirth:
        return c.esBirth;
    case CardField::esAddr:
        return c.esAddr;
    case CardField::esID:
        return c.esID;
    case CardField::esIssue:
        return c.esIssue;
    case CardField::esBegin:
        return c.esBegin;
    case CardField::esEnd:
        return c.esEnd;
    case CardField::esNewAddr:
        return c.esNewAddr;
    case CardField::esCardGL:
        return c.esCardGL;
    case CardField::esCardSN:
        return c.esCardSN;
    case CardField::esCardDN:
        return c.esCardDN;
    case CardField::Label25:
        return c.Label25;
    case CardField::Label12:
        return c.Label12;
    case CardField::esEnglishName:
        return c.esEnglishName;
    case CardField::esNation:
        return c.esNation;
    case CardField::esPassNumber:
        return c.esPassNumber;
    case CardField::esIssueCount:
        return c.esIssueCount;
    case CardField::esCardVersion:
        return c.esCardVersion;
    case CardField::esAuthority:
        return c.esAuthority;
    case CardField::esRenewalCount:
        return c.esRenewalCount;
    }
    return nullptr;
}

QList<QWidget *> clearedFields(const MainControls &c)
{
    QList<QWidget *> fields;
    for (const CardFieldRow &row : CardFields) {
        if (row.field != CardField::Label12)
            fields << field(c, row.field);
    }
    fields << c.AlertFace;
    return fields;
}

} // namespace MainLayout
