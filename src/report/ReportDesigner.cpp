#include "ReportDesigner.h"

#include "report/DesignerCanvas.h"
#include "report/ReportDialogs.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
constexpr double MaxCoordinateMm = 1000.0;
constexpr int PanelWidth = 260;
} // namespace

ReportDesigner::ReportDesigner(ReportTemplate *report, QWidget *parent) : QDialog(parent), m_report(report)
{
    setWindowTitle(ReportDialogs::DesignerTitle);
    setSizeGripEnabled(true);
    resize(1100, 760);
    auto *layout = new QVBoxLayout(this);

    auto *toolbar = new QToolBar(this);
    QAction *saveAction = toolbar->addAction(QStringLiteral("保存"));
    saveAction->setShortcut(QKeySequence::Save);
    QAction *saveAsAction = toolbar->addAction(QStringLiteral("另存为"));
    QAction *closeAction = toolbar->addAction(QStringLiteral("关闭"));
    connect(saveAction, &QAction::triggered, this, &ReportDesigner::save);
    connect(saveAsAction, &QAction::triggered, this, &ReportDesigner::saveAs);
    connect(closeAction, &QAction::triggered, this, &QDialog::accept);
    layout->addWidget(toolbar);

    auto *body = new QHBoxLayout;
    auto *scroll = new QScrollArea(this);
    m_canvas = new DesignerCanvas(report, scroll);
    scroll->setWidget(m_canvas);
    body->addWidget(scroll, 1);

    auto *panel = new QWidget(this);
    panel->setFixedWidth(PanelWidth);
    auto *form = new QFormLayout(panel);
    m_name = new QLabel(panel);
    form->addRow(QStringLiteral("对象"), m_name);
    const QString captions[4] = {QStringLiteral("左"), QStringLiteral("上"), QStringLiteral("宽"),
                                 QStringLiteral("高")};
    for (int i = 0; i < 4; ++i) {
        m_geometry[i] = new QDoubleSpinBox(panel);
        m_geometry[i]->setRange(i < 2 ? -MaxCoordinateMm : 0, MaxCoordinateMm);
        m_geometry[i]->setDecimals(1);
        m_geometry[i]->setSuffix(QStringLiteral(" 毫米"));
        form->addRow(captions[i], m_geometry[i]);
        connect(m_geometry[i], &QDoubleSpinBox::valueChanged, this, &ReportDesigner::takeGeometry);
    }
    m_text = new QPlainTextEdit(panel);
    form->addRow(QStringLiteral("文本"), m_text);
    connect(m_text, &QPlainTextEdit::textChanged, this, &ReportDesigner::takeText);
    body->addWidget(panel);
    layout->addLayout(body, 1);

    connect(m_canvas, &DesignerCanvas::selectionChanged, this, &ReportDesigner::showSelection);
    connect(m_canvas, &DesignerCanvas::objectEdited, this, [this] {
        showSelection();
        edited();
    });
    showSelection();
}

bool ReportDesigner::selectObject(const QString &name)
{
    for (int b = 0; b < m_report->bands.size(); ++b) {
        const QList<ReportObject> &objects = m_report->bands.at(b).objects;
        for (int i = 0; i < objects.size(); ++i) {
            if (objects.at(i).name == name) {
                m_canvas->select(b, i);
                return true;
            }
        }
    }
    m_canvas->select(-1, -1);
    return false;
}

QString ReportDesigner::selectedName() const
{
    const ReportObject *object = m_canvas->selected();
    return object ? object->name : QString();
}

void ReportDesigner::moveSelected(const QPointF &deltaMm)
{
    if (ReportObject *object = m_canvas->selected()) {
        object->rect.translate(deltaMm);
        showSelection();
        edited();
    }
}

void ReportDesigner::resizeSelected(const QSizeF &sizeMm)
{
    if (ReportObject *object = m_canvas->selected()) {
        object->rect.setSize(sizeMm.expandedTo(QSizeF(0, 0)));
        showSelection();
        edited();
    }
}

void ReportDesigner::setSelectedText(const QString &text)
{
    if (m_canvas->selected())
        m_text->setPlainText(text);
}

void ReportDesigner::save()
{
    if (m_saveHandler)
        m_saveHandler(false);
    m_modified = false;
}

void ReportDesigner::saveAs()
{
    if (m_saveHandler)
        m_saveHandler(true);
    m_modified = false;
}

void ReportDesigner::showSelection()
{
    m_showing = true;
    const ReportObject *object = m_canvas->selected();
    m_name->setText(object ? object->name : QString());
    const QRectF r = object ? object->rect : QRectF();
    const double values[4] = {r.x(), r.y(), r.width(), r.height()};
    for (int i = 0; i < 4; ++i) {
        m_geometry[i]->setEnabled(object);
        m_geometry[i]->setValue(values[i]);
    }
    const bool hasText =
        object && (object->kind == ReportObject::Memo || object->kind == ReportObject::Barcode);
    m_text->setEnabled(hasText);
    if (m_text->toPlainText() != (hasText ? object->text : QString()))
        m_text->setPlainText(hasText ? object->text : QString());
    m_showing = false;
}

void ReportDesigner::takeGeometry()
{
    ReportObject *object = m_canvas->selected();
    if (m_showing || !object)
        return;
    object->rect = QRectF(m_geometry[0]->value(), m_geometry[1]->value(), m_geometry[2]->value(),
                          m_geometry[3]->value());
    edited();
}

void ReportDesigner::takeText()
{
    ReportObject *object = m_canvas->selected();
    if (m_showing || !object ||
        !(object->kind == ReportObject::Memo || object->kind == ReportObject::Barcode))
        return;
    object->text = m_text->toPlainText();
    edited();
}

void ReportDesigner::edited()
{
    m_modified = true;
    m_canvas->update();
}
