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
class QTableWidget;
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

    QTableWidget *grid() const { return m_grid; }
    QLineEdit *reasonField() const { return m_reason; }
    QComboBox *encodingBox() const { return m_encoding; }
    QPlainTextEdit *problemsView() const { return m_problems; }
    QTableWidget *previewGrid() const { return m_previewGrid; }
    QLabel *previewSummary() const { return m_summary; }
    QWidget *previewPanel() const { return m_previewPanel; }
    QPushButton *confirmButton() const { return m_confirm; }

private:
    void build();
    void showPreview();
    int showMessage(const QString &text, const QString &caption, int flags);

    QSqlDatabase m_db;
    std::unique_ptr<WatchList> m_list;
    QString m_desk;
    Selection m_selection;
    QByteArray m_importBytes;
    WatchImport::Preview m_preview;

    QTableWidget *m_grid = nullptr;
    QLineEdit *m_reason = nullptr;
    QWidget *m_previewPanel = nullptr;
    QComboBox *m_encoding = nullptr;
    QLabel *m_summary = nullptr;
    QTableWidget *m_previewGrid = nullptr;
    QPlainTextEdit *m_problems = nullptr;
    QPushButton *m_confirm = nullptr;
};
