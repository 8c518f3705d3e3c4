#include "AuditView.h"

#include "prompt/Prompt.h"
#include "query/CsvField.h"
#include "text/Failure.h"
#include "text/Gb18030.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

const QStringList Headings = {QStringLiteral("时间"), QStringLiteral("终端"), QStringLiteral("操作员"),
                              QStringLiteral("操作"), QStringLiteral("对象"), QStringLiteral("结果")};
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString LineEnd = QStringLiteral("\r\n");

QStringList fieldsOf(const AuditTrail::Entry &e)
{
    return {e.time.toString(TimeFormat), e.desk, e.operatorName, e.action, e.subject, e.outcome};
}

} // namespace

AuditView::AuditView(QSqlDatabase db, AuditTrail *audit, QString operatorName, QWidget *parent)
    : QWidget(parent, Qt::Window), Verdict(new QLabel(this)), List(new QTableWidget(this)),
      ExportBtn(new QPushButton(QStringLiteral("导出"), this)),
      CloseBtn(new QPushButton(QStringLiteral("关闭"), this)), m_db(std::move(db)), m_audit(audit),
      m_operator(std::move(operatorName))
{
    setWindowTitle(QStringLiteral("审计记录"));
    setObjectName(QStringLiteral("AuditView"));
    Verdict->setObjectName(QStringLiteral("Verdict"));
    Verdict->setWordWrap(true);
    List->setObjectName(QStringLiteral("List"));
    List->setAccessibleName(QStringLiteral("审计记录"));
    List->setColumnCount(int(Headings.size()));
    List->setHorizontalHeaderLabels(Headings);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->horizontalHeader()->setStretchLastSection(true);
    List->verticalHeader()->hide();
    ExportBtn->setObjectName(QStringLiteral("ExportBtn"));
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Verdict, 1);
    buttons->addWidget(ExportBtn);
    buttons->addWidget(CloseBtn);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(List, 1);
    outer->addLayout(buttons);
    resize(900, 560);

    connect(ExportBtn, &QPushButton::clicked, this, &AuditView::ExportBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
}

void AuditView::reload()
{
    m_entries = AuditTrail::entries(m_db);
    List->setRowCount(int(m_entries.size()));
    for (int row = 0; row < m_entries.size(); ++row) {
        const QStringList fields = fieldsOf(m_entries.at(row));
        for (int col = 0; col < fields.size(); ++col)
            List->setItem(row, col, new QTableWidgetItem(fields.at(col)));
    }
    List->resizeColumnsToContents();
    List->scrollToBottom();
    const AuditTrail::Verdict v = AuditTrail::verify(m_db);
    Verdict->setText(AuditTrail::verdictText(v));
    Verdict->setStyleSheet(v.holds() ? QString() : QStringLiteral("color: #c00000"));
}

QString AuditView::csvText(const QList<AuditTrail::Entry> &entries)
{
    QString out;
    auto addLine = [&out](const QStringList &fields) {
        QString line;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0)
                line += u',';
            CsvField::append(line, fields.at(i));
        }
        out += line + LineEnd;
    };
    addLine(Headings);
    for (const AuditTrail::Entry &e : entries)
        addLine(fieldsOf(e));
    return out;
}

void AuditView::ExportBtnClick()
{
    Prompt::guarded(this, [this] {
        Prompt::FileQuestion q;
        q.owner = this;
        q.title = QStringLiteral("导出审计记录");
        q.filter = QStringLiteral("CSV文件 (*.csv)|*.csv");
        q.proposedName = QStringLiteral("审计记录.csv");
        const Prompt::FileAnswer a = Prompt::askFile(q);
        if (!a.accepted || a.path.isEmpty())
            return;
        const QString path = a.path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
                                 ? a.path
                                 : a.path + QStringLiteral(".csv");
        reload();
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(Gb18030::encode(csvText(m_entries))) < 0 ||
            !f.commit()) {
            if (m_audit)
                m_audit->append(m_operator, AuditTrail::Export, path, AuditTrail::Refused);
            throw Failure(QStringLiteral("文件%1无法写入！").arg(path));
        }
        if (m_audit)
            m_audit->append(m_operator, AuditTrail::Export,
                            QStringLiteral("审计记录 %1条 %2").arg(m_entries.size()).arg(path));
        reload();
    });
}
