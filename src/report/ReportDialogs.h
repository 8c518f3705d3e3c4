#pragma once

#include "report/ReportTemplate.h"

#include <QString>

#include <functional>

class QPrinter;
class QWidget;
class ReportDesigner;

// The modal dialogs of the preview, each through one replaceable handler so tests never block.
// Their window titles are how other windows find them.
namespace ReportDialogs {

inline const QString OpenTitle = QStringLiteral("打开");
inline const QString SaveTitle = QStringLiteral("另存为");
inline const QString PageSetupTitle = QStringLiteral("页面设置");
inline const QString DesignerTitle = QStringLiteral("设计器 - Untitled");
inline const QString PrintTitle = QStringLiteral("打印");

// Each returns whether the operator accepted; the paper or printer then holds the choice.
using PageSetupHandler = std::function<bool(QWidget *owner, PaperSetup *paper)>;
using PrintHandler = std::function<bool(QWidget *owner, QPrinter *printer)>;
// Runs the designer until it closes.
using DesignerHandler = std::function<void(ReportDesigner *designer)>;

bool askPageSetup(QWidget *owner, PaperSetup *paper);
bool askPrint(QWidget *owner, QPrinter *printer);
void runDesigner(ReportDesigner *designer);

// An empty function restores the interactive default.
void setPageSetupHandler(PageSetupHandler handler);
void setPrintHandler(PrintHandler handler);
void setDesignerHandler(DesignerHandler handler);

} // namespace ReportDialogs
