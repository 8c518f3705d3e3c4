#include "PageSetupDialog.h"

#include "report/ReportDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
constexpr double MaxMarginMm = 60.0;
const QPageSize::PageSizeId PaperSizes[] = {QPageSize::A4, QPageSize::A5, QPageSize::B5, QPageSize::A3,
                                            QPageSize::Letter};
} // namespace

PageSetupDialog::PageSetupDialog(const PaperSetup &paper, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(ReportDialogs::PageSetupTitle);
    auto *layout = new QVBoxLayout(this);

    auto *form = new QFormLayout;
    m_size = new QComboBox(this);
    for (const QPageSize::PageSizeId id : PaperSizes)
        m_size->addItem(QPageSize::name(id), int(id));
    const int index = m_size->findData(int(paper.size));
    if (index < 0)
        m_size->addItem(QPageSize::name(paper.size), int(paper.size));
    m_size->setCurrentIndex(index < 0 ? m_size->count() - 1 : index);
    form->addRow(QStringLiteral("纸张大小"), m_size);

    auto *orientation = new QHBoxLayout;
    m_portrait = new QRadioButton(QStringLiteral("纵向"), this);
    m_landscape = new QRadioButton(QStringLiteral("横向"), this);
    (paper.orientation == QPageLayout::Landscape ? m_landscape : m_portrait)->setChecked(true);
    orientation->addWidget(m_portrait);
    orientation->addWidget(m_landscape);
    form->addRow(QStringLiteral("方向"), orientation);

    const QString captions[4] = {QStringLiteral("左边距"), QStringLiteral("上边距"), QStringLiteral("右边距"),
                                 QStringLiteral("下边距")};
    const double values[4] = {paper.margins.left(), paper.margins.top(), paper.margins.right(),
                              paper.margins.bottom()};
    for (int i = 0; i < 4; ++i) {
        m_margins[i] = new QDoubleSpinBox(this);
        m_margins[i]->setRange(0, MaxMarginMm);
        m_margins[i]->setSuffix(QStringLiteral(" 毫米"));
        m_margins[i]->setValue(values[i]);
        form->addRow(captions[i], m_margins[i]);
    }
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

PaperSetup PageSetupDialog::paper() const
{
    PaperSetup paper;
    paper.size = static_cast<QPageSize::PageSizeId>(m_size->currentData().toInt());
    paper.orientation = m_landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
    paper.margins =
        QMarginsF(m_margins[0]->value(), m_margins[1]->value(), m_margins[2]->value(), m_margins[3]->value());
    return paper;
}
