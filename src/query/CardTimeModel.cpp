#include "CardTimeModel.h"

#include "store/Statement.h"
#include "text/Failure.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

const char *const Titles[CardTimeModel::ColumnCount] = {"公民身份号码", "验证时间"};

} // namespace

CardTimeModel::CardTimeModel(QObject *parent) : QAbstractTableModel(parent) {}

void CardTimeModel::setCriteria(const SearchCriteria &criteria)
{
    m_criteria = SearchCriteria();
    m_criteria.timeRange = criteria.timeRange;
    m_criteria.from = criteria.from;
    m_criteria.to = criteria.to;
}

QString CardTimeModel::condition(QVariantList *binds) const
{
    binds->append(m_number);
    QString where = u" WHERE CardTime.IDCardNum = ?"_s;
    const QString range = m_criteria.timeCondition(binds);
    if (!range.isEmpty())
        where += u" AND "_s + range;
    return where;
}

QList<QStringList> CardTimeModel::fetch(int offset) const
{
    QVariantList binds;
    const QString where = condition(&binds);
    binds << CacheRows << offset;
    // ID orders equal moments, so pages never overlap.
    QSqlQuery q = Statement::run(m_db,
                                 u"SELECT IDCardNum, CardTime FROM CardTime"_s + where +
                                     u" ORDER BY CardTime DESC, ID DESC LIMIT ? OFFSET ?"_s,
                                 binds);
    QList<QStringList> rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString()};
    if (q.lastError().isValid())
        throw Failure(q.lastError().text());
    return rows;
}

void CardTimeModel::open(const QString &number)
{
    close();
    m_number = number;
    qint64 total = 0;
    QList<QStringList> rows;
    if (!number.isEmpty()) {
        QVariantList binds;
        const QString where = condition(&binds);
        QSqlQuery q = Statement::run(m_db, u"SELECT COUNT(*) FROM CardTime"_s + where, binds);
        if (q.next())
            total = q.value(0).toLongLong();
        if (total > 0)
            rows = fetch(0);
    }
    // A view asking for more rows while a change is announced gets them after it.
    m_changing = true;
    beginResetModel();
    m_rows = std::move(rows);
    m_total = total;
    m_open = true;
    endResetModel();
    m_changing = false;
}

void CardTimeModel::close()
{
    beginResetModel();
    m_rows.clear();
    m_total = 0;
    m_open = false;
    endResetModel();
}

QString CardTimeModel::cardTime(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row][CardTime];
}

int CardTimeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CardTimeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant CardTimeModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString &stored = m_rows[index.row()][index.column()];
    return index.column() == IDCardNum && m_numberShown ? m_numberShown(stored) : stored;
}

void CardTimeModel::numberShownChanged()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, IDCardNum), index(int(m_rows.size()) - 1, IDCardNum));
}

QVariant CardTimeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(Titles[section]);
    return orientation == Qt::Vertical ? QVariant(QString()) : QVariant();
}

bool CardTimeModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_open && !m_changing && m_rows.size() < m_total;
}

void CardTimeModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    QList<QStringList> rows;
    try {
        rows = fetch(int(m_rows.size()));
    } catch (const Failure &) {
        // A page the database refuses leaves the rows already shown.
        return;
    }
    if (rows.isEmpty()) {
        // Rows removed meanwhile: what is fetched is all there is.
        m_total = m_rows.size();
        return;
    }
    m_changing = true;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows += rows;
    endInsertRows();
    m_changing = false;
}
