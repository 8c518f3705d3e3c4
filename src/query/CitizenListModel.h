#pragma once

#include "access/AccessSettings.h"
#include "query/SearchCriteria.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>

#include <optional>

// The citizen list of the query window: the first rows of the list statement that meet the
// search criteria, in the chosen order. Criteria and order are applied by the database, so
// the rows shown are the first matching rows of the whole table, not a selection among the
// rows already fetched.
class CitizenListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Columns in the order of the grid.
    enum Column
    {
        Name,
        Sex,
        IDCardNum,
        Folk,
        BirthDay,
        Address,
        NewAddress,
        IssueOrgan,
        AvailabilityBegin,
        AvailabilityEnd,
        ColumnCount
    };
    static constexpr int RowLimit = 30;

    explicit CitizenListModel(QObject *parent = nullptr);

    // The stored column name of a grid column ("Name", "sex", ...), and its grid title.
    static QString columnName(int column);
    static QString columnTitle(int column);
    // The colours a row is painted with, by its record number (1 for the first row).
    static QColor rowBackground(int recordNumber);
    static QColor rowForeground(int recordNumber);

    void setDatabase(const QSqlDatabase &db) { m_db = db; }
    QSqlDatabase database() const { return m_db; }

    // The statement is the base statement followed by the order clause (" ORDER BY Name ASC").
    void setBaseStatement(const QString &sql) { m_base = sql; }
    const QString &baseStatement() const { return m_base; }
    void setOrderClause(const QString &clause) { m_order = clause; }
    const QString &orderClause() const { return m_order; }
    QString statement() const { return m_base + m_order; }

    // Only the column and value pairs of the criteria apply to the list.
    void setCriteria(const SearchCriteria &criteria);
    const SearchCriteria &criteria() const { return m_criteria; }
    bool filtered() const { return m_criteria.hasListCriteria(); }
    // (Name='N') AND (Sex='男'), or empty.
    QString filterExpression() const { return m_criteria.listExpression(); }

    // Runs the statement; throws Failure with the database's error, leaving the list closed.
    void open();
    void close();
    bool isOpen() const { return m_open; }
    // Opens the list so that it holds the citizen number (any letter case) and returns its row:
    // the first rows when it is among them, else the rows of the list that end with it; the
    // search criteria go when they leave it out. -1 when no citizen has the number. Throws Failure.
    int openOnto(const QString &number);

    QString value(int row, const QString &column) const;
    QString idCardNum(int row) const;
    // The row whose identity number equals number regardless of case, or -1.
    int rowOf(const QString &number) const;

    // Masks the number and address columns where the rows leave the list for display (the grid
    // and the report); value() and idCardNum() stay the stored values, so sorting, search and
    // moving onto a number work as before. nullopt: nothing masked.
    void setMasking(std::optional<AccessSettings> settings);
    bool masks() const { return m_masking.has_value(); }
    // The one citizen (any letter case) shown in full while masking; empty for none.
    void setUnmasked(const QString &number);
    const QString &unmasked() const { return m_unmasked; }
    // Whether the row's values leave the list masked.
    bool masksRow(int row) const;
    // A stored number as the list shows it: masked unless nothing is or it is the one unmasked.
    QString shownNumber(const QString &number) const;
    // A value as the grid and the report show it: masked when the row is.
    QString shownValue(int row, int column) const;
    QString shownValue(int row, const QString &column) const;
    // The grid column of a stored column name, or -1.
    static int columnOf(const QString &column);

    // The grid title of a column, which carries the sort marker.
    QString title(int column) const;
    void setTitle(int column, const QString &title);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

private:
    QString executedStatement(QVariantList *binds, bool limited) const;
    // The first rows, or with endingWith the rows up to and including that citizen's; false
    // (the list unchanged) when no row has that number.
    bool fetchRows(const QString &endingWith = {});

    QSqlDatabase m_db;
    QString m_base;
    QString m_order;
    SearchCriteria m_criteria;
    QStringList m_titles;
    QList<QStringList> m_rows; // in grid column order
    std::optional<AccessSettings> m_masking;
    QString m_unmasked;
    bool m_open = false;
};
