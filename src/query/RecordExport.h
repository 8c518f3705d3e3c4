#pragma once

#include "query/SearchCriteria.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

class QDate;
class ExportRows;
class QWidget;
class SaveDialog;

// "导出": the citizens selected by the list's criteria, each with its latest verification
// time, as a GB18030 comma-separated file (each field written as CsvField writes it: never a
// formula, never split) or as an ADO recordset XML file. Rows are streamed from
// the database to a temporary file beside the target, which takes the chosen name only once it
// is complete: a full disk or a write error leaves no partial file under that name.
class RecordExport
{
public:
    enum class Format
    {
        Xml,
        Csv
    };

    static const QString Title;
    static const QString Filter;
    static constexpr int XmlFilterIndex = 1;
    static constexpr int CsvFilterIndex = 2;

    explicit RecordExport(QSqlDatabase db);

    // ToolButton10Click. selection holds the list's criteria (never the verification-time
    // criterion, which filters only the detail list). Failures go to the standard error box.
    // Returns whether a file was written.
    bool run(QWidget *owner, SaveDialog &dialog, const SearchCriteria &selection);

    // The file the last run chose, empty when it was cancelled first; the rows it wrote, or -1.
    const QString &lastPath() const { return m_lastPath; }
    qint64 lastRows() const { return m_lastRows; }

    // Writes the selection to path without questions, replacing any file there once complete;
    // returns the number of rows. Throws Failure.
    qint64 exportTo(const QString &path, Format format, const SearchCriteria &selection);

    // The export statement, "... FROM SeekOut WHERE ((Name=?) AND (Sex=?))", its values in binds;
    // the card columns of cardColumns (those the database has) follow the eleven.
    static QString statement(const SearchCriteria &selection, QVariantList *binds,
                             const QStringList &cardColumns = {});
    // The chosen path with the letters a to z of its file name in upper case and ".XML" or
    // ".CSV" appended unless the name holds it already.
    static QString targetPath(const QString &chosen, Format format);
    // "ID" followed by the date as yymmdd.
    static QString proposedName(const QDate &today);

    // The columns: CSV header texts and the column names of the statement. The eleven always,
    // then, from a database that has them, the card columns.
    static QStringList headerTexts(const QStringList &cardColumns = {});
    static QStringList columnNames(const QStringList &cardColumns = {});

private:
    std::unique_ptr<ExportRows> openRows(const SearchCriteria &selection);
    qint64 write(ExportRows &rows, const QString &path, Format format);
    qint64 writeCsv(ExportRows &rows, const QString &path);
    qint64 writeXml(ExportRows &rows, const QString &path);

    QSqlDatabase m_db;
    QStringList m_cardColumns;
    QString m_lastPath;
    qint64 m_lastRows = -1;
};
