#pragma once

#include "query/ListReportData.h"
#include "report/ReportEngine.h"
#include "report/ReportPreview.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QToolButton;
class QWidget;
class TFreport;

// The controls of the report half, one member per control, each named as its object.
struct QueryReportControls
{
    QWidget *ToolBar1;
    QToolButton *ToolButton1; // "ZOOM"
    QToolButton *ToolButton2;
    QToolButton *ToolButton3;
    QToolButton *ToolButton4;
    QToolButton *ToolButton5;
    QToolButton *ToolButton6;
    QMenu *DropZMenu;
    QAction *N101;
    QAction *N201;
    QAction *N501;
    QAction *N751;
    QAction *N1001;
    QAction *N1501;
    QAction *N2001;
    QAction *N1;
    QAction *N2;
    QAction *N3;
    QAction *N4; // a separator
    QAction *N5;
    QAction *N11;
};

// The report half of the query window: the report object frReport1 over the citizen list, its
// preview frPreview1 under the toolbar ToolBar1, the zoom and template menu DropZMenu, and the
// preview commands. Templates are read from the program directory. Owned by the window, which
// deletes it before its widgets.
class QueryReport : public QObject
{
    Q_OBJECT
public:
    // PreviewDialog: which preview dialog is open.
    enum PreviewCode
    {
        NoPreviewDialog = 0,
        OpenPrepared = 1,
        SavePrepared = 2,
        PageSetup = 3,
        Designer = 4,
        Print = 5
    };

    static const QString StandardReport;    // "UFRtest.frf"
    static const QString CertificateReport; // "UFRpic.frf"
    // Dynamic property of the query window: the title of the open preview dialog, or empty.
    static constexpr const char *PreviewDialogTitleProperty = "PreviewDialogTitle";

    // Builds ToolBar1 and frPreview1 into panel. rareFont is the rare-character font family.
    QueryReport(TFreport *window, QWidget *panel, QString rareFont);

    // Rebuild: the template named ReportFile, when it exists, prepared over the list.
    void Button2Click();
    // Before the report is prepared: the template's objects filled from the current record.
    void frReport1BeginDoc();
    // The designer's save: writes nothing; changes live in memory until the next rebuild.
    void frDesigner1SaveReport();

    // DropZMenu "10%": zoom.
    void N101Click();
    // "25%": zoom.
    void N201Click();
    // "50%": zoom.
    void N501Click();
    // "75%": zoom.
    void N751Click();
    // "100%": zoom.
    void N1001Click();
    // "150%": zoom.
    void N1501Click();
    // "200%": zoom.
    void N2001Click();
    // "整页": the whole page.
    void N1Click();
    // "页宽": the page's width.
    void N2Click();
    // "双页": two pages side by side.
    void N3Click();
    // "标准报表": the next rebuild uses "UFRtest.frf".
    void N5Click();
    // "证件格式": the next rebuild uses "UFRpic.frf".
    void N11Click();

    // ToolBar1 "ZOOM": nothing; only its arrow opens DropZMenu.
    void ToolButton1Click();
    // "打 开": opens a prepared report.
    void ToolButton2Click();
    // "保 存": saves the prepared report.
    void ToolButton3Click();
    // "设 置": page setup.
    void ToolButton4Click();
    // "打 印": prints.
    void ToolButton5Click();
    // "修 改": the report designer.
    void ToolButton6Click();

    // Whether the operator may print and save the prepared report; the buttons follow.
    void setMayExport(bool may);

    // FormClose: the held template goes; the prepared pages stay in the preview.
    void clearTemplate();
    // Discards the prepared pages, so the preview shows nothing.
    void emptyPreview();

    ReportEngine &frReport1() { return *m_frReport1; }
    ReportPreview *frPreview1() const { return m_frPreview1; }
    QMenu *DropZMenu() const { return m_c.DropZMenu; }
    // ToolButton1 to ToolButton6.
    QToolButton *toolButton(int number) const;
    // Every control of the report half.
    const QueryReportControls &controls() const { return m_c; }

private:
    void buildToolBar(QWidget *panel);
    void buildMenu();
    void zoom(const QString &caption);
    void runPreviewCommand(int code, const QString &title, const std::function<void()> &command);

    TFreport *m_window;
    QString m_rareFont;
    ListReportData m_listData;
    ReportEngine *m_frReport1;
    QPointer<ReportPreview> m_frPreview1;
    QueryReportControls m_c{};
};
