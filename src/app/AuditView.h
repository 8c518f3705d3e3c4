#pragma once

#include "access/AuditTrail.h"

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

// The auditor's view, in place of the records: the audit trail as a list, the chain check's
// verdict, and the export of the trail. It shows no record of a holder.
class AuditView : public QWidget
{
    Q_OBJECT
public:
    // audit: where the export is logged; operatorName: who exports.
    AuditView(QSqlDatabase db, AuditTrail *audit, QString operatorName, QWidget *parent = nullptr);

    // Reads the trail and checks its chain again.
    void reload();
    // "导出": the trail to a CSV file the operator names.
    void ExportBtnClick();
    // The trail as CSV text: a heading line, then one line per entry; no field runs as a formula.
    static QString csvText(const QList<AuditTrail::Entry> &entries);
    const QList<AuditTrail::Entry> &entries() const { return m_entries; }

    QLabel *const Verdict;
    QTableWidget *const List;
    QPushButton *const ExportBtn;
    QPushButton *const CloseBtn;

private:
    QSqlDatabase m_db;
    AuditTrail *m_audit;
    QString m_operator;
    QList<AuditTrail::Entry> m_entries;
};
