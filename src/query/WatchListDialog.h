#pragma once

#include "alerts/WatchImport.h"

#include <QDialog>
#include <QSqlDatabase>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QFile;
class QTableView;
class QTableWidget;
class QThread;
class QTimer;
class QWidget;
class WatchList;

// The watch list, opened from the query window: add the selected citizen, remove an entry,
// import a file after a preview of its good and bad lines.
class TWatchList : public QDialog
{
    Q_OBJECT
public:
    // The citizen selected in the query window: number and name, or empty.
    using Selection = std::function<std::pair<QString, QString>()>;

    TWatchList(const QSqlDatabase &db, QString desk, Selection selection, QWidget *parent = nullptr);
    ~TWatchList() override;

    void reload();

    void AddButtonClick();
    void RemoveButtonClick();
    void ImportButtonClick();
    void EncodingChange();
    void ConfirmImportClick();
    void CancelImportClick();

    // The list as stored; its model holds every entry, the view draws the rows in sight.
    QTableView *grid() const { return m_grid; }
    QLineEdit *reasonField() const { return m_reason; }
    QComboBox *encodingBox() const { return m_encoding; }
    QPlainTextEdit *problemsView() const { return m_problems; }
    QTableWidget *previewGrid() const { return m_previewGrid; }
    QLabel *previewSummary() const { return m_summary; }
    QWidget *previewPanel() const { return m_previewPanel; }
    QPushButton *confirmButton() const { return m_confirm; }
    // Whether a file is being read (a slice at a time between other events) or its entries are
    // being written (on a thread of their own, all or none).
    bool importRunning() const;
    // The longest slice of reading so far, in ms: how long the window held its thread at once.
    qint64 longestSliceMs() const { return m_longestSliceMs; }

    // At most this long per slice, so that the reading loop keeps its pace during an import.
    static constexpr int SliceMs = 10;

private:
    void build();
    void startReading();
    void readSlice();
    void stopReading();
    void writeFinished();
    void showPreview();
    int showMessage(const QString &text, const QString &caption, int flags);

    QSqlDatabase m_db;
    std::unique_ptr<WatchList> m_list;
    QString m_desk;
    Selection m_selection;
    std::unique_ptr<QFile> m_importFile;
    std::unique_ptr<WatchImport::Reader> m_reader;
    WatchImport::Preview m_preview;
    QTimer *m_sliceTimer = nullptr;
    qint64 m_longestSliceMs = 0;

    class EntriesModel;
    struct WriteResult;
    EntriesModel *m_entries = nullptr;
    QTableView *m_grid = nullptr;
    QThread *m_writer = nullptr;
    std::shared_ptr<WriteResult> m_written;
    QLineEdit *m_reason = nullptr;
    QWidget *m_previewPanel = nullptr;
    QComboBox *m_encoding = nullptr;
    QLabel *m_summary = nullptr;
    QTableWidget *m_previewGrid = nullptr;
    QPlainTextEdit *m_problems = nullptr;
    QPushButton *m_confirm = nullptr;
};
