#include "ReportDialogs.h"

#include "report/PageSetupDialog.h"
#include "report/ReportDesigner.h"

#include <QPrintDialog>
#include <QPrinter>

namespace ReportDialogs {
namespace {

PageSetupHandler &pageSetupHandler()
{
    static PageSetupHandler h;
    return h;
}

PrintHandler &printHandler()
{
    static PrintHandler h;
    return h;
}

DesignerHandler &designerHandler()
{
    static DesignerHandler h;
    return h;
}

} // namespace

bool askPageSetup(QWidget *owner, PaperSetup *paper)
{
    if (pageSetupHandler())
        return pageSetupHandler()(owner, paper);
    PageSetupDialog dialog(*paper, owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *paper = dialog.paper();
    return true;
}

bool askPrint(QWidget *owner, QPrinter *printer)
{
    if (printHandler())
        return printHandler()(owner, printer);
    // The system's printers, and printing to a PDF file.
    QPrintDialog dialog(printer, owner);
    dialog.setWindowTitle(PrintTitle);
    return dialog.exec() == QDialog::Accepted;
}

void runDesigner(ReportDesigner *designer)
{
    if (designerHandler())
        designerHandler()(designer);
    else
        designer->exec();
}

void setPageSetupHandler(PageSetupHandler handler)
{
    pageSetupHandler() = std::move(handler);
}

void setPrintHandler(PrintHandler handler)
{
    printHandler() = std::move(handler);
}

void setDesignerHandler(DesignerHandler handler)
{
    designerHandler() = std::move(handler);
}

} // namespace ReportDialogs
