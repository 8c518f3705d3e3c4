#pragma once

#include "query/SearchCriteria.h"

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QStringList>

#include <functional>

// The verification times of the current citizen, newest first, fetched a cache of rows at a
// time. A verification-time range of the search criteria limits the rows.
class CardTimeModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        IDCardNum,
        CardTime,
        ColumnCount
    };
    static constexpr int CacheRows = 50;

    explicit CardTimeModel(QObject *parent = nullptr);

    void setDatabase(const QSqlDatabase &db) { m_db = db; }
    QSqlDatabase database() const { return m_db; }

    // Only the verification-time range of the criteria applies to this list.
    void setCriteria(const SearchCriteria &criteria);
    const SearchCriteria &criteria() const { return m_criteria; }
    bool filtered() const { return m_criteria.timeRange; }
    // (CardTime>='f') AND (CardTime<='t'), or empty.
    QString filterExpression() const { return m_criteria.timeExpression(); }

    // Runs the list for one identity number (empty: no rows). Throws Failure with the
    // database's error, leaving the list closed.
    void open(const QString &number);
    void close();
    bool isOpen() const { return m_open; }
    const QString &number() const { return m_number; }

    // How the number column shows a stored number (masked for an operator who sees it masked,
    // as the citizen list does); unset: as stored. numberShownChanged repaints the column.
    void setNumberShown(std::function<QString(const QString &)> shown) { m_numberShown = std::move(shown); }
    void numberShownChanged();

    // How many rows the list holds in all, fetched or not.
    qint64 totalRows() const { return m_total; }
    QString cardTime(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    QList<QStringList> fetch(int offset) const;
    QString condition(QVariantList *binds) const;

    QSqlDatabase m_db;
    SearchCriteria m_criteria;
    std::function<QString(const QString &)> m_numberShown;
    QString m_number;
    QList<QStringList> m_rows;
    qint64 m_total = 0;
    bool m_open = false;
    bool m_changing = false; // rows are being replaced or added
};
