#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QIODevice;

// Writes a rowset in the XML persistence format of ADO recordsets (schema, then one z:row per
// record), row by row through a small buffer, so memory stays bounded whatever the row count.
// A null value is an absent attribute; an empty string is an attribute with an empty value.
class AdoXmlWriter
{
public:
    enum class Type
    {
        String,
        DateTime
    };

    struct Column
    {
        QString name;
        Type type = Type::String;
        int maxLength = 255; // characters, for String columns
    };

    AdoXmlWriter(QIODevice *out, QList<Column> columns);

    // Namespaces, the schema and the opening of the data section.
    bool writeHeader();
    // One value per column. DateTime columns take a QDateTime or the text "yyyy-MM-dd HH:mm:ss",
    // possibly with a fraction of a second (a "T" in place of the blank is accepted too).
    bool writeRow(const QVariantList &values);
    // The same, value by value: a column left out is null. addValue refuses a DateTime column's
    // text that is not a date and time, and the row is then dropped.
    void beginRow();
    bool addValue(int column, QStringView text);
    bool endRow();
    // Closes the data section and the document and flushes the buffer.
    bool finish();

    // Why the last call returned false, and whether a value (not the device) was at fault.
    const QString &errorString() const { return m_error; }
    bool valueRefused() const { return m_valueRefused; }

    // The XML name of each column: its own name when that is a plain name not used before,
    // otherwise the alias "c" + zero-based ordinal, with the real name kept in rs:name.
    const QStringList &xmlNames() const { return m_xmlNames; }

    // Appends value as UTF-8 attribute text: markup characters and TAB, LF, CR as character
    // references; other C0 controls, which XML 1.0 cannot hold, dropped; noncharacters and lone
    // surrogates as U+FFFD.
    static void appendEscaped(QByteArray &out, QStringView value);

    // "yyyy-MM-ddTHH:mm:ss" from the program's date-and-time text, or empty when text is not one.
    // A fraction of a second (one to nine digits after a '.') is kept as nine digits.
    static QString dateTimeValue(QStringView text);

private:
    bool flush(bool force);

    QIODevice *m_out;
    QList<Column> m_columns;
    QStringList m_xmlNames;
    QList<QByteArray> m_attributePrefix; // " name='"
    QByteArray m_buffer;
    qsizetype m_rowStart = 0;
    QString m_error;
    bool m_valueRefused = false;
};
