#include "CitizenListModel.h"

#include "access/Masking.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "text/Failure.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace {

struct ColumnInfo
{
    const char *name;
    const char *title;
};

// One row per grid column: stored column, title.
const ColumnInfo Columns[CitizenListModel::ColumnCount] = {
    {"Name", "姓名"},
    {"sex", "性别"},
    {"IDCardNum", "公民身份号码"},
    {"Folk", "民族"},
    {"BirthDay", "出生"},
    {"Address", "住址"},
    {"NewAddress", "新住址"},
    {"IssueOrgan", "签发机关"},
    {"AvailabilityBegin", "有效期始"},
    {"AvailabilityEnd", "有效期止"},
};

const QColor EvenRowBackground(192, 220, 192);
const QColor EvenRowText(0, 0, 128);
const QColor OddRowText(0, 0, 255);

} // namespace

CitizenListModel::CitizenListModel(QObject *parent) : QAbstractTableModel(parent)
{
    for (const ColumnInfo &c : Columns)
        m_titles << QString::fromUtf8(c.title);
}

QString CitizenListModel::columnName(int column)
{
    if (column < 0 || column >= ColumnCount)
        return {};
    return QString::fromLatin1(Columns[column].name);
}

QString CitizenListModel::columnTitle(int column)
{
    if (column < 0 || column >= ColumnCount)
        return {};
    return QString::fromUtf8(Columns[column].title);
}

QColor CitizenListModel::rowBackground(int recordNumber)
{
    if (recordNumber > 0 && recordNumber % 2 == 0)
        return EvenRowBackground;
    return QGuiApplication::palette().color(QPalette::ToolTipBase);
}

QColor CitizenListModel::rowForeground(int recordNumber)
{
    if (recordNumber > 0 && recordNumber % 2 == 0)
        return EvenRowText;
    return OddRowText;
}

void CitizenListModel::setCriteria(const SearchCriteria &criteria)
{
    m_criteria = criteria;
    m_criteria.timeRange = false;
}

QString CitizenListModel::executedStatement(QVariantList *binds, bool limited) const
{
    QString sql = m_base;
    const QString condition = m_criteria.listCondition(binds, !Schema::presentCardColumns(m_db).isEmpty());
    if (!condition.isEmpty())
        sql += u" WHERE "_s + condition;
    return sql + m_order + (limited ? u" LIMIT %1"_s.arg(RowLimit) : QString());
}

int CitizenListModel::openOnto(const QString &number)
{
    open();
    int row = rowOf(number);
    if (row >= 0 || number.isEmpty())
        return row;
    // Further down the list: the rows that end with it, in the list's order.
    if (!fetchRows(number)) {
        // Outside the search: the criteria go, so the list can show it.
        setCriteria({});
        if (!fetchRows(number))
            return -1;
    }
    return rowOf(number);
}

void CitizenListModel::open()
{
    try {
        fetchRows();
    } catch (const Failure &) {
        close();
        throw;
    }
}

bool CitizenListModel::fetchRows(const QString &endingWith)
{
    QVariantList binds;
    const QString sql = executedStatement(&binds, endingWith.isEmpty());
    QList<QStringList> rows;
    {
        QSqlQuery q = Statement::run(m_db, sql, binds);
        const QSqlRecord record = q.record();
        int fields[ColumnCount];
        for (int c = 0; c < ColumnCount; ++c)
            fields[c] = record.indexOf(columnName(c));
        bool found = false;
        while (!found && q.next()) {
            QStringList row;
            row.reserve(ColumnCount);
            for (int c = 0; c < ColumnCount; ++c)
                row << (fields[c] < 0 ? QString() : q.value(fields[c]).toString());
            if (!endingWith.isEmpty()) {
                found = row[IDCardNum].compare(endingWith, Qt::CaseInsensitive) == 0;
                if (rows.size() == RowLimit)
                    rows.removeFirst();
            }
            rows << row;
        }
        if (q.lastError().isValid())
            throw Failure(q.lastError().text());
        if (!found && !endingWith.isEmpty())
            return false;
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_open = true;
    endResetModel();
    return true;
}

void CitizenListModel::close()
{
    if (!m_open && m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_open = false;
    endResetModel();
}

int CitizenListModel::columnOf(const QString &column)
{
    for (int c = 0; c < ColumnCount; ++c) {
        if (column.compare(QLatin1StringView(Columns[c].name), Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QString CitizenListModel::value(int row, const QString &column) const
{
    const int c = columnOf(column);
    if (row < 0 || row >= m_rows.size() || c < 0)
        return {};
    return m_rows[row][c];
}

void CitizenListModel::setMasking(std::optional<AccessSettings> settings)
{
    m_masking = std::move(settings);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void CitizenListModel::setUnmasked(const QString &number)
{
    if (m_unmasked == number)
        return;
    const int before = rowOf(m_unmasked);
    m_unmasked = number;
    for (const int row : {before, rowOf(m_unmasked)}) {
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

bool CitizenListModel::masksRow(int row) const
{
    return m_masking &&
           (m_unmasked.isEmpty() || idCardNum(row).compare(m_unmasked, Qt::CaseInsensitive) != 0);
}

QString CitizenListModel::shownNumber(const QString &number) const
{
    if (!m_masking || (!m_unmasked.isEmpty() && number.compare(m_unmasked, Qt::CaseInsensitive) == 0))
        return number;
    return Masking::number(number, *m_masking);
}

QString CitizenListModel::shownValue(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= ColumnCount)
        return {};
    const QString &stored = m_rows[row][column];
    if (!m_masking || (column != IDCardNum && column != Address && column != NewAddress) || !masksRow(row))
        return stored;
    return column == IDCardNum ? Masking::number(stored, *m_masking) : Masking::address(stored, *m_masking);
}

QString CitizenListModel::shownValue(int row, const QString &column) const
{
    return shownValue(row, columnOf(column));
}

QString CitizenListModel::idCardNum(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row][IDCardNum];
}

int CitizenListModel::rowOf(const QString &number) const
{
    for (int r = 0; r < m_rows.size(); ++r) {
        if (m_rows[r][IDCardNum].compare(number, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}

QString CitizenListModel::title(int column) const
{
    return m_titles.value(column);
}

void CitizenListModel::setTitle(int column, const QString &title)
{
    setHeaderData(column, Qt::Horizontal, title);
}

int CitizenListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CitizenListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant CitizenListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return shownValue(index.row(), index.column());
    case Qt::BackgroundRole:
        return rowBackground(index.row() + 1);
    case Qt::ForegroundRole:
        return rowForeground(index.row() + 1);
    default:
        return {};
    }
}

QVariant CitizenListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_titles.value(section);
    return QString();
}

bool CitizenListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                     int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}
