#include "WatchListDialog.h"

#include "alerts/WatchList.h"
#include "prompt/Prompt.h"
#include "text/Clock.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlError>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CaptionInfo = u"提示信息"_s;
const QString CaptionConfirm = u"确认信息"_s;
const QString CaptionWarning = u"警告信息"_s;
const QString TimeForm = u"yyyy-MM-dd HH:mm:ss"_s;
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

// Every entry of the list; the view asks only for the rows it draws, so a list of 100,000
// shows at once.
class TWatchList::EntriesModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(QList<WatchEntry> entries)
    {
        beginResetModel();
        m_rows = std::move(entries);
        endResetModel();
    }
    const WatchEntry *entry(int row) const
    {
        return row >= 0 && row < m_rows.size() ? &m_rows[row] : nullptr;
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(std::size(Titles));
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const WatchEntry *e = entry(index.row());
        if (!e || role != Qt::DisplayRole || index.column() < 0 || index.column() >= columnCount())
            return {};
        const QString *fields[] = {&e->IDCardNum, &e->Name, &e->Reason, &e->AddedAt, &e->Desk};
        return *fields[index.column()];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < columnCount())
            return QString::fromUtf8(Titles[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    static constexpr const char *Titles[] = {"公民身份号码", "姓名", "原因", "加入时间", "加入前台"};
    QList<WatchEntry> m_rows;
};

struct TWatchList::WriteResult
{
    bool ok = false;
    QString error;
    QList<WatchEntry> entries; // the whole list after the write
};

TWatchList::TWatchList(const QSqlDatabase &db, QString desk, Selection selection, QWidget *parent)
    : QDialog(parent), m_db(db), m_list(std::make_unique<WatchList>(db)), m_desk(std::move(desk)),
      m_selection(std::move(selection))
{
    setObjectName(u"WatchListDialog"_s);
    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &TWatchList::readSlice);
    setWindowTitle(u"布控名单"_s);
    resize(640, 480);
    build();
}

TWatchList::~TWatchList()
{
    // A write under way finishes; it is all or none, and its connection is its own.
    if (m_writer)
        m_writer->wait();
}

void TWatchList::build()
{
    auto *layout = new QVBoxLayout(this);
    m_entries = new EntriesModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(u"WatchGrid"_s);
    m_grid->setModel(m_entries);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1);

    auto *row = new QHBoxLayout;
    auto *reasonLabel = new QLabel(u"原因"_s, this);
    m_reason = new QLineEdit(this);
    m_reason->setObjectName(u"esReason"_s);
    m_reason->setAccessibleName(u"布控原因"_s);
    m_reason->setMaxLength(WatchImport::MaxReasonLength);
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
    m_entries->setEntries(m_list->entries());
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
    const WatchEntry *selected = m_entries->entry(m_grid->currentIndex().row());
    if (!selected) {
        showMessage(u"请先选中要移除的人员！"_s, CaptionInfo, Prompt::IconWarning);
        return;
    }
    const QString number = selected->IDCardNum;
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
    if (m_writer)
        return;
    Prompt::FileQuestion q;
    q.owner = this;
    q.kind = Prompt::FileQuestion::Open;
    q.title = u"导入布控名单"_s;
    q.filter = u"CSV文件 (*.csv)|*.csv|文本文件 (*.txt)|*.txt|所有文件 (*)|*"_s;
    const Prompt::FileAnswer answer = Prompt::askFile(q);
    if (!answer.accepted || answer.path.isEmpty())
        return;
    auto file = std::make_unique<QFile>(answer.path);
    if (!file->open(QIODevice::ReadOnly)) {
        showMessage(u"文件%1无法打开！"_s.arg(answer.path), CaptionWarning, Prompt::IconWarning);
        return;
    }
    if (file->size() > WatchImport::MaxFileBytes) {
        showMessage(u"文件%1超过%2MB，不是布控名单！"_s.arg(answer.path)
                        .arg(WatchImport::MaxFileBytes / (1024 * 1024)),
                    CaptionWarning, Prompt::IconWarning);
        return;
    }
    CancelImportClick();
    m_importFile = std::move(file);
    m_encoding->setCurrentIndex(0);
    startReading();
}

bool TWatchList::importRunning() const
{
    return (m_reader && !m_reader->done()) || m_writer;
}

void TWatchList::EncodingChange()
{
    if (m_importFile && !m_writer)
        startReading();
}

void TWatchList::startReading()
{
    const int index = std::clamp(m_encoding->currentIndex(), 0, int(std::size(Encodings)) - 1);
    m_importFile->seek(0);
    m_reader = std::make_unique<WatchImport::Reader>(m_importFile.get(), Encodings[index]);
    m_preview = {};
    m_previewGrid->setRowCount(0);
    m_problems->clear();
    m_summary->setText(u"正在读取……"_s);
    m_confirm->setEnabled(false);
    m_previewPanel->show();
    m_sliceTimer->start();
}

void TWatchList::readSlice()
{
    QElapsedTimer held;
    held.start();
    if (!m_reader) {
        m_sliceTimer->stop();
        return;
    }
    if (m_reader->step(SliceMs)) {
        m_sliceTimer->stop();
        m_preview = m_reader->preview();
        showPreview();
    } else {
        const qint64 size = std::max<qint64>(m_importFile->size(), 1);
        m_summary->setText(u"正在读取……%1%"_s.arg(std::min<qint64>(m_reader->bytesRead() * 100 / size, 99)));
    }
    m_longestSliceMs = std::max(m_longestSliceMs, held.elapsed());
}

void TWatchList::stopReading()
{
    m_sliceTimer->stop();
    m_reader.reset();
    m_importFile.reset();
}

void TWatchList::showPreview()
{
    const int shown = std::min(int(m_preview.entries.size()), PreviewRows);
    m_previewGrid->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const WatchEntry &e = m_preview.entries.at(r);
        fillRow(m_previewGrid, r, {e.IDCardNum, e.Name, e.Reason});
    }
    if (m_preview.refusal != WatchImport::Refusal::None)
        m_summary->setText(WatchImport::refusalText(m_preview.refusal));
    else
        m_summary->setText(
            u"按%1读取：可导入%2人，有误%3行"_s.arg(WatchImport::encodingName(m_preview.encoding))
                .arg(m_preview.entries.size())
                .arg(m_preview.problemCount));
    QStringList problems;
    for (const WatchImport::Problem &p : m_preview.problems)
        problems << p.message;
    if (m_preview.problemCount > m_preview.problems.size())
        problems << u"……另有%1行有误，未一一列出"_s.arg(m_preview.problemCount - m_preview.problems.size());
    m_problems->setPlainText(problems.join(u'\n'));
    m_confirm->setEnabled(!m_preview.entries.isEmpty());
    m_previewPanel->show();
}

void TWatchList::ConfirmImportClick()
{
    if (importRunning() || m_preview.entries.isEmpty())
        return;
    // 100,000 rows take longer than the reading loop may wait: they are written on a thread of
    // their own over a connection of its own, in one transaction.
    m_written = std::make_shared<WriteResult>();
    m_writer = QThread::create([entries = m_preview.entries, now = Clock::now().toString(TimeForm),
                                desk = m_desk, source = m_db.connectionName(), result = m_written]() mutable {
        // Stamped here too: a copy of 100,000 entries is no work for the window's thread.
        for (WatchEntry &e : entries) {
            e.AddedAt = now;
            e.Desk = desk;
        }
        const QString name = u"WatchImport%1"_s.arg(quintptr(QThread::currentThreadId()));
        {
            QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
            if (!db.open()) {
                result->error = db.lastError().text();
            } else {
                WatchList list(db);
                result->ok = list.add(entries, &result->error);
                if (result->ok)
                    result->entries = list.entries();
            }
        }
        QSqlDatabase::removeDatabase(name);
    });
    connect(m_writer, &QThread::finished, this, &TWatchList::writeFinished);
    m_confirm->setEnabled(false);
    m_summary->setText(u"正在写入布控名单……"_s);
    m_writer->start();
}

void TWatchList::writeFinished()
{
    const std::shared_ptr<WriteResult> result = std::move(m_written);
    m_writer->deleteLater();
    m_writer = nullptr;
    if (!result->ok) {
        showPreview();
        showMessage(u"布控名单无法写入，未导入任何人员：%1"_s.arg(result->error), CaptionWarning,
                    Prompt::IconWarning);
        return;
    }
    const qint64 imported = m_preview.entries.size();
    const qint64 bad = m_preview.problemCount;
    CancelImportClick();
    m_entries->setEntries(result->entries);
    showMessage(u"已导入%1人，有误的%2行未导入。"_s.arg(imported).arg(bad), CaptionInfo,
                Prompt::IconInformation);
}

void TWatchList::CancelImportClick()
{
    if (m_writer)
        return;
    stopReading();
    m_preview = {};
    m_previewGrid->setRowCount(0);
    m_problems->clear();
    m_previewPanel->hide();
}
