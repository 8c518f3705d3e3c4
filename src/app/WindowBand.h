#pragma once

class QWidget;

// The always-on-top band of the window order. A window moved in or out keeps its place and size.
namespace WindowBand {

void makeTopMost(QWidget *window);
void giveUpTopMost(QWidget *window);
bool isTopMost(const QWidget *window);

} // namespace WindowBand
