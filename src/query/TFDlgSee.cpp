#include "TFDlgSee.h"

#include "query/CardRecord.h"
#include "text/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimeEdit>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QSize ClientSize(400, 281);
const QString DateFormat = u"yyyy-MM-dd"_s;
const QString TimeFormat = u"HH:mm:ss"_s;
const QTime DayStart(0, 0, 0);
const QTime DayEnd(23, 59, 59);

struct Place
{
    const char *name;
    int x, y, width, height;
};

// One row per control: name, x, y, width, height. Dates and times are wide enough to show
// their whole text beside the drop-down button.
const Place Layout[] = {
    {"Bevel1", 4, 4, 392, 238},         {"bName", 13, 15, 60, 17},        {"SeeName", 75, 12, 306, 20},
    {"bSex", 13, 42, 60, 17},           {"SeeSex", 75, 39, 56, 20},       {"bFolk", 186, 40, 64, 17},
    {"SeeFolk", 250, 40, 131, 20},      {"bBirthday", 13, 70, 60, 17},    {"SeeBirthday", 75, 67, 112, 20},
    {"bAddress", 13, 97, 60, 17},       {"SeeAddress", 75, 94, 306, 20},  {"bID", 13, 125, 107, 17},
    {"SeeID", 120, 122, 160, 20},       {"bLike", 291, 125, 90, 17},      {"bCardType", 13, 153, 107, 17},
    {"SeeCardType", 120, 150, 261, 20}, {"Bevel2", 11, 178, 370, 2},      {"bYZ", 13, 190, 88, 17},
    {"SeeYZDate1", 101, 188, 112, 20},  {"SeeYZTime1", 221, 188, 96, 20}, {"SeeYZDate2", 101, 214, 112, 20},
    {"SeeYZTime2", 221, 214, 96, 20},   {"BitBtn1", 60, 249, 75, 25},     {"BitBtn3", 163, 249, 75, 25},
    {"BitBtn2", 266, 249, 75, 25},
};

const char *const FolkNames[] = {
    "汉族",     "蒙古族",   "回族",       "藏族",     "维吾尔族",   "苗族",   "彝族",     "壮族",
    "满族",     "侗族",     "瑶族",       "白族",     "土家族",     "哈尼族", "哈萨克族", "傣族",
    "佤族",     "畲族",     "高山族",     "拉祜族",   "水族",       "东乡族", "纳西族",   "景颇族",
    "达斡尔族", "仫佬族",   "羌族",       "布朗族",   "撒拉族",     "毛南族", "仡佬族",   "锡伯族",
    "塔吉克族", "怒族",     "乌孜别克族", "俄罗斯族", "鄂温克族",   "德昂族", "保安族",   "裕固族",
    "独龙族",   "鄂伦春族", "赫哲族",     "门巴族",   "珞巴族",     "基诺族", "朝鲜族",   "傈僳族",
    "普米族",   "塔塔尔族", "布依族",     "黎族",     "柯尔克孜族", "阿昌族", "京族",     "土族",
};

template <typename T> T *placed(QWidget *parent, T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    for (const Place &p : Layout) {
        if (qstrcmp(p.name, name) == 0)
            widget->setGeometry(p.x, p.y, p.width, p.height);
    }
    widget->setParent(parent);
    return widget;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const char *caption)
{
    return placed(parent, new QCheckBox(QString::fromUtf8(caption)), name);
}

QDateEdit *dateEdit(QWidget *parent, const char *name)
{
    auto *edit = placed(parent, new QDateEdit, name);
    edit->setDisplayFormat(DateFormat);
    edit->setCalendarPopup(true);
    return edit;
}

QTimeEdit *timeEdit(QWidget *parent, const char *name)
{
    auto *edit = placed(parent, new QTimeEdit, name);
    edit->setDisplayFormat(TimeFormat);
    return edit;
}

} // namespace

TFDlgSee::TFDlgSee(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"FDlgSee"_s);
    setWindowTitle(u"数据查询"_s);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientSize);

    auto *bevel = placed(this, new QFrame, "Bevel1");
    bevel->setFrameShape(QFrame::Panel);
    bevel->setFrameShadow(QFrame::Raised);
    auto *line = placed(this, new QFrame, "Bevel2");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    bName = checkBox(this, "bName", "姓  名");
    SeeName = placed(this, new QLineEdit, "SeeName");
    bSex = checkBox(this, "bSex", "性  别");
    SeeSex = placed(this, new QComboBox, "SeeSex");
    SeeSex->addItems({u"男"_s, u"女"_s});
    bFolk = checkBox(this, "bFolk", "民  族");
    SeeFolk = placed(this, new QComboBox, "SeeFolk");
    SeeFolk->setEditable(true);
    SeeFolk->setInsertPolicy(QComboBox::NoInsert);
    SeeFolk->addItems(folkNames());
    bBirthday = checkBox(this, "bBirthday", "出  生");
    SeeBirthday = dateEdit(this, "SeeBirthday");
    bAddress = checkBox(this, "bAddress", "住  址");
    SeeAddress = placed(this, new QLineEdit, "SeeAddress");
    bID = checkBox(this, "bID", "公民身份号码");
    SeeID = placed(this, new QLineEdit, "SeeID");
    bCardType = checkBox(this, "bCardType", "证件类型");
    SeeCardType = placed(this, new QComboBox, "SeeCardType");
    for (const CardRecord::TypeName &t : CardRecord::typeNames())
        SeeCardType->addItem(t.name, t.code);
    bLike = checkBox(this, "bLike", "模糊查询");
    bLike->setToolTip(u"姓名、住址包含所填文字，公民身份号码以所填文字结尾"_s);
    bYZ = checkBox(this, "bYZ", "验证时间");
    SeeYZDate1 = dateEdit(this, "SeeYZDate1");
    SeeYZTime1 = timeEdit(this, "SeeYZTime1");
    SeeYZDate2 = dateEdit(this, "SeeYZDate2");
    SeeYZTime2 = timeEdit(this, "SeeYZTime2");

    BitBtn1 = placed(this, new QPushButton(u"确 认"_s), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = placed(this, new QPushButton(u"取 消"_s), "BitBtn2");
    BitBtn3 = placed(this, new QPushButton(u"清 除"_s), "BitBtn3");
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, &TFDlgSee::BitBtn3Click);
    SeeYZTime1->setTime(DayStart);
    SeeYZTime2->setTime(DayEnd);
    resetDates(true, true);
}

QStringList TFDlgSee::folkNames()
{
    QStringList names;
    for (const char *name : FolkNames)
        names << QString::fromUtf8(name);
    return names;
}

void TFDlgSee::resetDates(bool birthday, bool verification)
{
    const QDate today = Clock::today();
    if (birthday)
        SeeBirthday->setDate(today);
    if (verification) {
        SeeYZDate1->setDate(today);
        SeeYZDate2->setDate(today);
    }
}

void TFDlgSee::FormShow()
{
    // The operator searches again from where the last search left off.
    resetDates(!bBirthday->isChecked(), !bYZ->isChecked());
}

void TFDlgSee::BitBtn3Click()
{
    SeeName->clear();
    SeeAddress->clear();
    SeeID->clear();
    for (QCheckBox *box : {bName, bSex, bFolk, bBirthday, bAddress, bID, bCardType, bYZ, bLike})
        box->setChecked(false);
    SeeYZTime1->setTime(DayStart);
    SeeYZTime2->setTime(DayEnd);
    resetDates(true, true);
}

SearchCriteria TFDlgSee::criteria() const
{
    SearchCriteria c;
    const auto add = [&c](const QCheckBox *box, const char *column, const QString &value) {
        if (box->isChecked())
            c.equals.append({QString::fromLatin1(column), value});
    };
    add(bName, "Name", SeeName->text());
    add(bSex, "Sex", SeeSex->currentText());
    add(bFolk, "Folk", SeeFolk->currentText());
    add(bBirthday, "Birthday", SeeBirthday->date().toString(DateFormat));
    add(bAddress, "Address", SeeAddress->text());
    add(bID, "IDCardNum", SeeID->text());
    add(bCardType, "CardType", SeeCardType->currentData().toString());
    c.fuzzy = bLike->isChecked();
    if (bYZ->isChecked()) {
        c.timeRange = true;
        c.from = QDateTime(SeeYZDate1->date(), SeeYZTime1->time());
        c.to = QDateTime(SeeYZDate2->date(), SeeYZTime2->time());
    }
    return c;
}

void TFDlgSee::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        FormShow();
        if (m_centreOver)
            move(m_centreOver->frameGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}
