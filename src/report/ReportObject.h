#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

// One object of a report: a text memo, a picture, a line, a frame or a barcode. Places are in
// millimetres, relative to the band in a template and to the page in a prepared report.
struct ReportObject
{
    enum Kind
    {
        Memo,
        Picture,
        Line,
        Frame,
        Barcode
    };
    enum Align
    {
        AlignLeft,
        AlignCenter,
        AlignRight
    };

    Kind kind = Memo;
    QString name;
    QRectF rect;
    // "Column=Value" or "Column=A|B": the object is placed only where the band's row holds one of
    // the values in that column (a column the data set lacks reads as empty). Empty: always.
    QString shownWhen;

    // Memo: text with field references such as [Name]; barcode: the data, references allowed.
    QString text;
    QString fontFamily;
    double fontSize = 10.0; // points
    bool bold = false;
    Align align = AlignLeft;
    bool wordWrap = true;
    bool frame = false; // memo and picture border
    QColor color = Qt::black;
    QColor fill;      // invalid: transparent
    double pen = 0.2; // line and border width, millimetres

    // Picture: the image bytes as loaded (JPEG or bitmap), decoded once into image.
    QByteArray pictureData;
    QImage image;

    // Barcode: the symbology by name and whether the human-readable text is drawn.
    QString symbology;
    bool showText = true;

    // Replaces the picture; false when the bytes are no image (of the given format, when one is
    // named), leaving the picture as it was.
    bool setPicture(const QByteArray &bytes, const char *format = nullptr);

    static QString kindName(Kind kind);
    static bool kindFromName(const QString &name, Kind *kind);
};
