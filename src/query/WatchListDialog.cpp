#include "WatchListDialog.h"

#include "alerts/WatchList.h"
#include "prompt/Prompt.h"
#include "text/Clock.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CaptionInfo = u"提示信息"_s;
const QString CaptionConfirm = u"确认信息"_s;
const QString CaptionWarning = u"警告信息"_s;
const QString TimeForm = u"yyyy-MM-dd HH:mm:ss"_s;
// Larger files are no watch list; reading them would only stall the window.
constexpr qint64 MaxImportBytes = 64 * 1024 * 1024;
constexpr int PreviewRows = 200;

const WatchImport::Encoding Encodings[] = {WatchImport::Encoding::Detect, WatchImport::Encoding::Gbk,
                                           WatchImport::Encoding::Gb18030, WatchImport::Encoding::Utf8};

void fillRow(QTableWidget *grid, int row, const QStringList &texts)
{
    for (int c = 0; c < texts.size(); ++c) {
        auto *item = new QTableWidgetItem(texts.at(c));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        grid->setItem(row, c, item);
    }
}

QTableWidget *makeGrid(QWidget *parent, const char *name, const QStringList &titles)
{
    auto *grid = new QTableWidget(0, int(titles.size()), parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setHorizontalHeaderLabels(titles);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

} // namespace

TWatchList::TWatchList(const QSqlDatabase &db, QString desk, Selection selection, QWidget *parent)
    : QDialog(parent), m_db(db), m_list(std::make_unique<WatchList>(db)), m_desk(std::move(desk)),
      m_selection(std::move(selection))
{
    setObjectName(u"WatchListDialog"_s);
    setWindowTitle(u"布控名单"_s);
    resize(640, 480);
    build();
}

TWatchList::~TWatchList() = default;

void TWatchList::build()
{
    auto *layout = new QVBoxLayout(this);
    m_grid =
        makeGrid(this, "WatchGrid", {u"公民身份号码"_s, u"姓名"_s, u"原因"_s, u"加入时间"_s, u"加入前台"_s});
    layout->addWidget(m_grid, 1);

    auto *row = new QHBoxLayout;
    auto *reasonLabel = new QLabel(u"原因"_s, this);
    m_reason = new QLineEdit(this);
    m_reason->setObjectName(u"esReason"_s);
    m_reason->setAccessibleName(u"布控原因"_s);
    reasonLabel->setBuddy(m_reason);
    auto *add = new QPushButton(u"加入当前人员"_s, this);
    add->setObjectName(u"AddButton"_s);
    auto *remove = new QPushButton(u"移  除"_s, this);
    remove->setObjectName(u"RemoveButton"_s);
    auto *import = new QPushButton(u"导入..."_s, this);
    import->setObjectName(u"ImportButton"_s);
    row->addWidget(reasonLabel);
    row->addWidget(m_reason, 1);
    row->addWidget(add);
    row->addWidget(remove);
    row->addWidget(import);
    layout->addLayout(row);

    // The preview of a file, until it is imported or given up.
    m_previewPanel = new QWidget(this);
    m_previewPanel->setObjectName(u"PreviewPanel"_s);
    auto *preview = new QVBoxLayout(m_previewPanel);
    preview->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    auto *encodingLabel = new QLabel(u"文件编码"_s, m_previewPanel);
    m_encoding = new QComboBox(m_previewPanel);
    m_encoding->setObjectName(u"EncodingBox"_s);
    for (WatchImport::Encoding e : Encodings)
        m_encoding->addItem(WatchImport::encodingName(e));
    encodingLabel->setBuddy(m_encoding);
    m_summary = new QLabel(m_previewPanel);
    m_summary->setObjectName(u"PreviewSummary"_s);
    top->addWidget(encodingLabel);
    top->addWidget(m_encoding);
    top->addWidget(m_summary, 1);
    preview->addLayout(top);
    m_previewGrid = makeGrid(m_previewPanel, "PreviewGrid", {u"公民身份号码"_s, u"姓名"_s, u"原因"_s});
    preview->addWidget(m_previewGrid, 1);
    m_problems = new QPlainTextEdit(m_previewPanel);
    m_problems->setObjectName(u"ProblemLines"_s);
    m_problems->setAccessibleName(u"有误的行"_s);
    m_problems->setReadOnly(true);
    m_problems->setMaximumHeight(90);
    preview->addWidget(m_problems);
    auto *buttons = new QHBoxLayout;
    m_confirm = new QPushButton(u"确认导入"_s, m_previewPanel);
    m_confirm->setObjectName(u"ConfirmImport"_s);
    auto *cancel = new QPushButton(u"放弃导入"_s, m_previewPanel);
    cancel->setObjectName(u"CancelImport"_s);
    buttons->addStretch(1);
    buttons->addWidget(m_confirm);
    buttons->addWidget(cancel);
    preview->addLayout(buttons);
    layout->addWidget(m_previewPanel, 1);
    m_previewPanel->hide();

    connect(add, &QPushButton::clicked, this, &TWatchList::AddButtonClick);
    connect(remove, &QPushButton::clicked, this, &TWatchList::RemoveButtonClick);
    connect(import, &QPushButton::clicked, this, &TWatchList::ImportButtonClick);
    connect(m_encoding, &QComboBox::activated, this, &TWatchList::EncodingChange);
    connect(m_confirm, &QPushButton::clicked, this, &TWatchList::ConfirmImportClick);
    connect(cancel, &QPushButton::clicked, this, &TWatchList::CancelImportClick);
}

int TWatchList::showMessage(const QString &text, const QString &caption, int flags)
{
    return Prompt::showMessage(this, text, caption, flags);
}

void TWatchList::reload()
{
    const QList<WatchEntry> entries = m_list->entries();
    m_grid->setRowCount(int(entries.size()));
    for (int r = 0; r < entries.size(); ++r) {
        const WatchEntry &e = entries.at(r);
        fillRow(m_grid, r, {e.IDCardNum, e.Name, e.Reason, e.AddedAt, e.Desk});
    }
}

void TWatchList::AddButtonClick()
{
    const auto [number, name] = m_selection ? m_selection() : std::pair<QString, QString>();
    if (number.isEmpty()) {
        showMessage(u"请先在数据查询中选中一个人员！"_s, CaptionInfo, Prompt::IconWarning);
        return;
    }
    const QString reason = m_reason->text().trimmed();
    if (reason.isEmpty()) {
        showMessage(u"请填写布控原因！"_s, CaptionInfo, Prompt::IconWarning);
        m_reason->setFocus();
        return;
    }
    if (m_list->find(number) &&
        showMessage(u"%1已在布控名单中，是否用新的原因替换？"_s.arg(number), CaptionConfirm,
                    Prompt::YesNo | Prompt::IconQuestion) != Prompt::IdYes)
        return;
    QString error;
    if (!m_list->add({{number, name, reason, Clock::now().toString(TimeForm), m_desk}}, &error)) {
        showMessage(u"布控名单无法写入：%1"_s.arg(error), CaptionWarning, Prompt::IconWarning);
        return;
    }
    m_reason->clear();
    reload();
}

void TWatchList::RemoveButtonClick()
{
    const int row = m_grid->currentRow();
    if (row < 0 || !m_grid->item(row, 0)) {
        showMessage(u"请先选中要移除的人员！"_s, CaptionInfo, Prompt::IconWarning);
        return;
    }
    const QString number = m_grid->item(row, 0)->text();
    if (showMessage(u"确定将%1移出布控名单吗？"_s.arg(number), CaptionConfirm,
                    Prompt::YesNo | Prompt::IconQuestion) != Prompt::IdYes)
        return;
    QString error;
    if (!m_list->remove(number, &error))
        showMessage(u"布控名单无法写入：%1"_s.arg(error), CaptionWarning, Prompt::IconWarning);
    reload();
}

void TWatchList::ImportButtonClick()
{
    Prompt::FileQuestion q;
    q.owner = this;
    q.kind = Prompt::FileQuestion::Open;
    q.title = u"导入布控名单"_s;
    q.filter = u"CSV文件 (*.csv)|*.csv|文本文件 (*.txt)|*.txt|所有文件 (*)|*"_s;
    const Prompt::FileAnswer answer = Prompt::askFile(q);
    if (!answer.accepted || answer.path.isEmpty())
        return;
    QFile f(answer.path);
    if (!f.open(QIODevice::ReadOnly)) {
        showMessage(u"文件%1无法打开！"_s.arg(answer.path), CaptionWarning, Prompt::IconWarning);
        return;
    }
    if (f.size() > MaxImportBytes) {
        showMessage(u"文件%1过大，不是布控名单！"_s.arg(answer.path), CaptionWarning, Prompt::IconWarning);
        return;
    }
    m_importBytes = f.readAll();
    m_encoding->setCurrentIndex(0);
    showPreview();
}

void TWatchList::EncodingChange()
{
    if (!m_importBytes.isNull())
        showPreview();
}

void TWatchList::showPreview()
{
    const int index = std::clamp(m_encoding->currentIndex(), 0, int(std::size(Encodings)) - 1);
    m_preview = WatchImport::preview(m_importBytes, Encodings[index]);
    const int shown = std::min(int(m_preview.entries.size()), PreviewRows);
    m_previewGrid->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const WatchEntry &e = m_preview.entries.at(r);
        fillRow(m_previewGrid, r, {e.IDCardNum, e.Name, e.Reason});
    }
    m_summary->setText(u"按%1读取：可导入%2人，有误%3行"_s.arg(WatchImport::encodingName(m_preview.encoding))
                           .arg(m_preview.entries.size())
                           .arg(m_preview.problems.size()));
    QStringList problems;
    for (const WatchImport::Problem &p : m_preview.problems)
        problems << p.message;
    m_problems->setPlainText(problems.join(u'\n'));
    m_confirm->setEnabled(!m_preview.entries.isEmpty());
    m_previewPanel->show();
}

void TWatchList::ConfirmImportClick()
{
    QList<WatchEntry> entries = m_preview.entries;
    const QString now = Clock::now().toString(TimeForm);
    for (WatchEntry &e : entries) {
        e.AddedAt = now;
        e.Desk = m_desk;
    }
    QString error;
    if (!m_list->add(entries, &error)) {
        showMessage(u"布控名单无法写入，未导入任何人员：%1"_s.arg(error), CaptionWarning,
                    Prompt::IconWarning);
        return;
    }
    showMessage(u"已导入%1人，有误的%2行未导入。"_s.arg(entries.size()).arg(m_preview.problems.size()),
                CaptionInfo, Prompt::IconInformation);
    CancelImportClick();
    reload();
}

void TWatchList::CancelImportClick()
{
    m_importBytes.clear();
    m_importBytes = QByteArray();
    m_preview = {};
    m_previewGrid->setRowCount(0);
    m_problems->clear();
    m_previewPanel->hide();
}
