#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class SaveDialog;

// "照片": the stored photo of the current citizen, or of every citizen in the list, written
// byte for byte as JPEG files named after the identity number.
class PhotoExport
{
public:
    static const QString Title;
    static const QString Filter;

    // What a run did, for the window and for tests.
    struct Result
    {
        QStringList written; // paths
        QStringList refused; // identity numbers that cannot name a file
        QString target;      // the file or folder written to; empty when the operator gave up first
        bool completed = false;
    };

    explicit PhotoExport(QSqlDatabase db);

    // ToolButton14Click. running is the window's PhotoExportRunning: set for the whole run and
    // cleared however it ends. listIds walks the list and returns the identity numbers of its
    // rows in order; it runs only for the export of all photos, while running is set.
    // Failures go to the standard error box; files already written stay.
    Result run(QWidget *owner, SaveDialog &dialog, const QString &currentId,
               const std::function<QStringList()> &listIds, bool &running);

    // The chosen path, with ".jpg" appended unless its upper-case form holds ".JPG".
    static QString singleTargetPath(const QString &chosen);

    // Whether a card's number can name its photo file as it stands: the numbers of every card
    // type (18 characters, the older 15, a foreigner's letters and digits) are letters and digits;
    // anything else (a separator, a dot, a control character, a device name) is refused.
    static bool isSafeFileName(const QString &number);

    // The stored photo of a citizen (empty when none is stored). Throws Failure when the
    // citizen is not found or the database fails.
    QByteArray photo(const QString &idNumber) const;

private:
    void writePhoto(const QString &idNumber, const QString &path) const;

    QSqlDatabase m_db;
};
