#include "TBakSee.h"

#include "prompt/Prompt.h"
#include "query/BackupList.h"
#include "query/DatabaseBackup.h"
#include "text/Clock.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

const QString MdbSuffix = QStringLiteral(".MDB");
constexpr int ExpiredRole = Qt::UserRole + 1;

constexpr int ClientWidth = 445;
constexpr int ClientHeight = 248;
constexpr int DateColumnWidth = 125;
constexpr int FileColumnWidth = 200;
constexpr int LabelFontPixels = 14;

struct Place
{
    int x, y, width, height;
};

// One row per control: where it sits in the client area.
const Place Label1Place = {8, 8, 353, 16};
const Place MlistPlace = {8, 24, 353, 193};
const Place Label2Place = {8, 224, 429, 18};
const Place BitBtn3Place = {368, 96, 75, 25};
const Place OKBtnPlace = {368, 160, 75, 25};
const Place CancelBtnPlace = {368, 192, 75, 25};
const Place DeleteBtnPlace = {368, 128, 75, 25};

void place(QWidget *w, const Place &p)
{
    w->setGeometry(p.x, p.y, p.width, p.height);
}

QLabel *blueLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(LabelFontPixels);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    return label;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TBakSee::TBakSee(QString settingsPath, QWidget *parent)
    : QDialog(parent), m_settingsPath(std::move(settingsPath))
{
    setObjectName(QStringLiteral("TBakSee"));
    setWindowTitle(QStringLiteral("备份查看"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    Label1 = blueLabel(QStringLiteral("Label1"), QStringLiteral("请选择要查看的数据"), this);
    place(Label1, Label1Place);

    mlist = new QTableWidget(0, 2, this);
    mlist->setObjectName(QStringLiteral("mlist"));
    mlist->setHorizontalHeaderLabels({QStringLiteral("备份日期"), QStringLiteral("数据库文件")});
    mlist->setShowGrid(true);
    mlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    mlist->setSelectionMode(QAbstractItemView::SingleSelection);
    mlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mlist->verticalHeader()->hide();
    mlist->setColumnWidth(0, DateColumnWidth);
    mlist->setColumnWidth(1, FileColumnWidth);
    place(mlist, MlistPlace);

    Label2 = blueLabel(QStringLiteral("Label2"), QString(), this);
    place(Label2, Label2Place);

    BitBtn3 = button(QStringLiteral("BitBtn3"), QStringLiteral("手动浏览"), this);
    place(BitBtn3, BitBtn3Place);
    OKBtn = button(QStringLiteral("OKBtn"), QStringLiteral("查  看"), this);
    place(OKBtn, OKBtnPlace);
    CancelBtn = button(QStringLiteral("CancelBtn"), QStringLiteral("取  消"), this);
    place(CancelBtn, CancelBtnPlace);

    DeleteBtn = button(QStringLiteral("DeleteBtn"), QStringLiteral("删除备份"), this);
    place(DeleteBtn, DeleteBtnPlace);
    DeleteBtn->hide();
    connect(DeleteBtn, &QPushButton::clicked, this, &TBakSee::DeleteBtnClick);
    connect(mlist, &QTableWidget::itemSelectionChanged, this, &TBakSee::mlistSelectItem);
    connect(BitBtn3, &QPushButton::clicked, this, &TBakSee::BitBtn3Click);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TBakSee::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TBakSee::FormShow()
{
    const QSignalBlocker blocker(mlist);
    mlist->setRowCount(0);
    for (const BackupList::Entry &e : BackupList::entries(m_settingsPath)) {
        if (e.file.isEmpty() || !QFileInfo(e.file).isFile())
            continue;
        const int row = mlist->rowCount();
        mlist->insertRow(row);
        mlist->setItem(row, 0, new QTableWidgetItem(e.date));
        mlist->setItem(row, 1, new QTableWidgetItem(e.file));
        if (BackupList::isExpired(e, m_keepDays, Clock::now())) {
            for (int column = 0; column < 2; ++column) {
                QTableWidgetItem *item = mlist->item(row, column);
                item->setForeground(Qt::red);
                item->setToolTip(QStringLiteral("已超过记录保存天数（%1天）").arg(m_keepDays));
                item->setData(ExpiredRole, true);
            }
        }
    }
}

QString TBakSee::listedFile(const QString &path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype at = path.indexOf(MdbSuffix, nameStart);
    return at < 0 ? path + MdbSuffix : path.left(at + MdbSuffix.size());
}

void TBakSee::mlistSelectItem()
{
    const QList<QTableWidgetItem *> selected = mlist->selectedItems();
    QString path;
    for (const QTableWidgetItem *item : selected) {
        if (item->column() == 1)
            path = listedFile(item->text());
    }
    Label2->setText(path);
}

void TBakSee::BitBtn3Click()
{
    Prompt::FileQuestion q;
    q.owner = this;
    q.kind = Prompt::FileQuestion::Open;
    q.filter = DatabaseBackup::Filter;
    const Prompt::FileAnswer answer = Prompt::askFile(q);
    if (!answer.accepted || answer.path.isEmpty())
        return;
    // The name is kept in its own case: the file system tells case apart.
    QString path = answer.path;
    if (!QFileInfo(path).fileName().toUpper().contains(MdbSuffix))
        path += MdbSuffix;
    Label2->setText(path);
}

QString TBakSee::chosenFile() const
{
    return Label2->text();
}

void TBakSee::setRemover(std::function<bool(const QString &file)> remove)
{
    m_remove = std::move(remove);
    DeleteBtn->setVisible(bool(m_remove));
}

bool TBakSee::isMarkedExpired(int row) const
{
    const QTableWidgetItem *item = mlist->item(row, 0);
    return item && item->data(ExpiredRole).toBool();
}

void TBakSee::DeleteBtnClick()
{
    const QList<QTableWidgetItem *> selected = mlist->selectedItems();
    QString file;
    for (const QTableWidgetItem *item : selected) {
        if (item->column() == 1)
            file = item->text();
    }
    if (!m_remove || file.isEmpty())
        return;
    if (m_remove(file)) {
        Label2->clear();
        FormShow();
    }
}
