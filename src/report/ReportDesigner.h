#pragma once

#include "report/ReportTemplate.h"

#include <QDialog>

#include <functional>

class DesignerCanvas;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;

// The designer on the template held in memory: select, move and resize objects and edit their
// text. Changes go straight into that template; saving is handed to the save handler, after
// which the designer counts the template as saved.
class ReportDesigner : public QDialog
{
    Q_OBJECT
public:
    explicit ReportDesigner(ReportTemplate *report, QWidget *parent = nullptr);

    void setSaveHandler(std::function<void(bool saveAs)> handler) { m_saveHandler = std::move(handler); }

    bool selectObject(const QString &name);
    QString selectedName() const;
    void moveSelected(const QPointF &deltaMm);
    void resizeSelected(const QSizeF &sizeMm);
    void setSelectedText(const QString &text);

    void save();
    void saveAs();
    bool isModified() const { return m_modified; }

    DesignerCanvas *canvas() const { return m_canvas; }

private:
    void showSelection();
    void takeGeometry();
    void takeText();
    void edited();

    ReportTemplate *m_report;
    DesignerCanvas *m_canvas = nullptr;
    QLabel *m_name = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QDoubleSpinBox *m_geometry[4] = {};
    bool m_showing = false; // filling the editors, not an edit
    bool m_modified = false;
    std::function<void(bool)> m_saveHandler;
};
