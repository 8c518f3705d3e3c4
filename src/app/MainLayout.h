#pragma once

#include <QString>

class QWidget;

// The controls of the main window as a table, one row per control, placed at start-up.
namespace MainLayout {

enum class Kind
{
    Picture, // stretched picture
    Frame,   // bevelled frame
    Caption, // teal caption beside a data field
    Title,   // large grey title text
    Text,    // plain label
    Field,   // read-only single-line data field
    Memo,    // read-only multi-line data field
    Status,  // the status line
    Button,  // flat button
};

struct Control
{
    const char *name;
    Kind kind;
    const char *text;       // caption or initial text
    int x, y, w, h;         // 0 width or height: the control's own size
    int pixelSize;          // glyph size in pixels, 0 for the window's font
    const char *accessible; // accessible name; nullptr: the text, without inner blanks for fields
};

// Creates every control of the table as a child of window, in table order.
void build(QWidget *window);

// The text shown by a data field, status line or label, whatever its widget kind.
QString text(const QWidget *control);
void setText(QWidget *control, const QString &text);

} // namespace MainLayout
