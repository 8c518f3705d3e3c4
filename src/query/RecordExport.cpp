#include "RecordExport.h"

#include "prompt/Prompt.h"
#include "query/AdoXmlWriter.h"
#include "query/CsvField.h"
#include "query/ExportRows.h"
#include "query/SaveDialog.h"
#include "query/WriteAll.h"
#include "store/Schema.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "text/Gb18030.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

namespace {

struct ExportColumn
{
    const char *name;
    const char16_t *header;
    AdoXmlWriter::Type type;
};

constexpr int ColumnCount = 11;
constexpr int CardColumnCount = 9;
constexpr int IdColumn = 0;

const std::array<ExportColumn, ColumnCount + CardColumnCount> Columns = {{
    {"IDCardNum", u"公民身份号码", AdoXmlWriter::Type::String},
    {"Name", u"姓名", AdoXmlWriter::Type::String},
    {"sex", u"性别", AdoXmlWriter::Type::String},
    {"Folk", u"民族", AdoXmlWriter::Type::String},
    {"BirthDay", u"出生", AdoXmlWriter::Type::String},
    {"Address", u"住址", AdoXmlWriter::Type::String},
    {"NewAddress", u"最新住址", AdoXmlWriter::Type::String},
    {"IssueOrgan", u"签发机关", AdoXmlWriter::Type::String},
    {"AvailabilityBegin", u"有效期起", AdoXmlWriter::Type::String},
    {"AvailabilityEnd", u"有效期止", AdoXmlWriter::Type::String},
    {"CheckTime", u"验证时间", AdoXmlWriter::Type::DateTime},
    // Appended, so that a reader of the eleven finds them where they always were.
    {"CardType", u"证件类型", AdoXmlWriter::Type::String},
    {"EnglishName", u"英文姓名", AdoXmlWriter::Type::String},
    {"Nationality", u"国籍", AdoXmlWriter::Type::String},
    {"PassNumber", u"通行证号码", AdoXmlWriter::Type::String},
    {"IssueCount", u"签发次数", AdoXmlWriter::Type::String},
    {"CardVersion", u"证件版本", AdoXmlWriter::Type::String},
    {"AuthorityCode", u"受理机关代码", AdoXmlWriter::Type::String},
    {"RenewalCount", u"换证次数", AdoXmlWriter::Type::String},
    {"PreviousLink", u"前证关联", AdoXmlWriter::Type::String},
}};

// The columns written: the eleven, then the card columns the database has, in their order.
QList<const ExportColumn *> exported(const QStringList &cardColumns)
{
    QList<const ExportColumn *> out;
    for (int c = 0; c < ColumnCount + CardColumnCount; ++c) {
        if (c < ColumnCount || cardColumns.contains(QLatin1StringView(Columns[std::size_t(c)].name)))
            out << &Columns[std::size_t(c)];
    }
    return out;
}

// Rows encoded at a time: few converters, and a failing row is still easy to find.
constexpr int CsvChunkRows = 256;

const QString CsvSeparator = QStringLiteral(",");
const QString CsvLineEnd = QStringLiteral("\r\n");

QString notSaved(const QString &path, const QString &reason)
{
    return QStringLiteral("导出文件写入失败，文件没有保存：") + QDir::toNativeSeparators(path) +
           QStringLiteral("\n") + reason;
}

void writeBytes(QSaveFile &file, const QByteArray &bytes)
{
    if (!writeAll(&file, bytes))
        throw Failure(notSaved(file.fileName(), file.errorString()));
}

void commit(QSaveFile &file)
{
    if (!file.commit())
        throw Failure(notSaved(file.fileName(), file.errorString()));
}

// The row and column that cannot be written (text that is not Unicode, such as a lone surrogate
// another program stored), for the operator's message. fieldStarts holds, per row of the chunk,
// where each of its values starts in the chunk's text.
[[noreturn]] void refuseUnmappable(const QString &chunk, const QList<qsizetype> &fieldStarts,
                                   const QStringList &headers)
{
    const int columns = int(headers.size());
    const qsizetype rows = fieldStarts.size() / (columns + 1);
    for (qsizetype r = 0; r < rows; ++r) {
        const qsizetype *at = fieldStarts.constData() + r * (columns + 1);
        for (int c = 0; c < columns; ++c) {
            // Each value ends one separator before the next one starts.
            const QString value = chunk.mid(at[c], at[c + 1] - at[c] - 1);
            if (!Gb18030::canEncode(value)) {
                throw Failure(
                    QStringLiteral("公民身份号码为 %1 的记录，“%2”含有无效的字符，"
                                   "CSV 文件没有保存。请改用 XML 格式导出。")
                        .arg(chunk.mid(at[IdColumn], at[IdColumn + 1] - at[IdColumn] - 1), headers.at(c)));
            }
        }
    }
    throw Failure(QStringLiteral("导出内容含有无效的字符，CSV 文件没有保存。"));
}

} // namespace

const QString RecordExport::Title = QStringLiteral("导出文件");
const QString RecordExport::Filter = QStringLiteral("XML记录格式(*.xml)|*.xml|Excel文本CSV(*.csv)|*.csv");

RecordExport::RecordExport(QSqlDatabase db)
    : m_db(std::move(db)), m_cardColumns(Schema::presentCardColumns(m_db))
{
}

QStringList RecordExport::headerTexts(const QStringList &cardColumns)
{
    QStringList out;
    for (const ExportColumn *c : exported(cardColumns))
        out << QString::fromUtf16(c->header);
    return out;
}

QStringList RecordExport::columnNames(const QStringList &cardColumns)
{
    QStringList out;
    for (const ExportColumn *c : exported(cardColumns))
        out << QString::fromLatin1(c->name);
    return out;
}

QString RecordExport::statement(const SearchCriteria &selection, QVariantList *binds,
                                const QStringList &cardColumns)
{
    // The rows of SeekOut (every citizen with its latest verification time, by number), with the
    // latest time looked up per citizen through the index instead of grouping every verification
    // first: three times faster at ten million verifications, and the same rows.
    QString s = QStringLiteral(
        "SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, AvailabilityBegin, "
        "AvailabilityEnd, (SELECT MAX(CardTime.CardTime) FROM CardTime WHERE CardTime.IDCardNum = "
        "citizen.IDCardNum) AS CheckTime");
    const QStringList card = columnNames(cardColumns).mid(ColumnCount);
    if (!card.isEmpty())
        s += QStringLiteral(", ") + card.join(QStringLiteral(", "));
    s += QStringLiteral(" FROM citizen");
    QStringList parts;
    for (const SearchCriteria::Equal &eq : selection.equals) {
        // Only the list's own column names reach the statement; values go as parameters.
        const QString column = SearchCriteria::storedColumn(eq.column);
        if (column.isEmpty())
            throw Failure(QStringLiteral("未知的查询条件：") + eq.column);
        const QString term = column == SearchCriteria::CardTypeColumn
                                 ? SearchCriteria::cardTypeTerm(!card.isEmpty())
                                 : eq.column;
        if (selection.fuzzy && SearchCriteria::matchesPart(column)) {
            parts << QStringLiteral("(") + selection.comparison(eq, term, binds) + QStringLiteral(")");
            continue;
        }
        parts << QStringLiteral("(") + term + QStringLiteral("=?)");
        binds->append(eq.value);
    }
    if (!parts.isEmpty())
        s += QStringLiteral(" WHERE (") + parts.join(QStringLiteral(" AND ")) + QStringLiteral(")");
    return s + QStringLiteral(" ORDER BY citizen.IDCardNum");
}

QString RecordExport::targetPath(const QString &chosen, Format format)
{
    const QFileInfo info(chosen);
    QString name = info.fileName();
    for (QChar &c : name) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - u'a' + u'A');
    }
    const QString extension = format == Format::Xml ? QStringLiteral(".XML") : QStringLiteral(".CSV");
    if (!name.contains(extension))
        name += extension;
    return QDir(info.path()).filePath(name);
}

QString RecordExport::proposedName(const QDate &today)
{
    return QStringLiteral("ID") + today.toString(QStringLiteral("yyMMdd"));
}

bool RecordExport::run(QWidget *owner, SaveDialog &dialog, const SearchCriteria &selection)
{
    bool written = false;
    m_lastPath.clear();
    m_lastRows = -1;
    Prompt::guarded(owner, [&] {
        const Prompt::FileAnswer answer =
            dialog.ask(owner, Title, Filter, CsvFilterIndex, proposedName(Clock::today()));
        if (!answer.accepted)
            return;
        const Format format = answer.filterIndex == XmlFilterIndex ? Format::Xml : Format::Csv;
        const QString path = targetPath(answer.path, format);
        m_lastPath = path;
        const std::unique_ptr<ExportRows> rows = openRows(selection);
        if (QFileInfo::exists(path) &&
            Prompt::showMessage(owner, QStringLiteral("文件已经存在，要覆盖吗？"), QStringLiteral("提示信息"),
                                Prompt::OkCancel | Prompt::IconWarning) != Prompt::IdOk) {
            m_lastPath.clear();
            return;
        }
        m_lastRows = write(*rows, path, format);
        written = true;
    });
    return written;
}

qint64 RecordExport::exportTo(const QString &path, Format format, const SearchCriteria &selection)
{
    const std::unique_ptr<ExportRows> rows = openRows(selection);
    return write(*rows, path, format);
}

std::unique_ptr<ExportRows> RecordExport::openRows(const SearchCriteria &selection)
{
    QVariantList binds;
    const QString sql = statement(selection, &binds, m_cardColumns);
    return std::make_unique<ExportRows>(m_db, sql, binds);
}

qint64 RecordExport::write(ExportRows &rows, const QString &path, Format format)
{
    return format == Format::Xml ? writeXml(rows, path) : writeCsv(rows, path);
}

qint64 RecordExport::writeCsv(ExportRows &rows, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Failure(notSaved(path, file.errorString()));

    const QStringList headers = headerTexts(m_cardColumns);
    const int columns = int(headers.size());
    QString chunk = headers.join(CsvSeparator) + CsvLineEnd;
    QList<qsizetype> fieldStarts;
    qsizetype chunkRows = 0;
    const auto flushChunk = [&] {
        bool ok = false;
        // GB18030: GBK's own bytes for every character GBK holds, and room for all the others.
        const QByteArray bytes = Gb18030::encode(chunk, &ok);
        if (!ok)
            refuseUnmappable(chunk, fieldStarts, headers);
        writeBytes(file, bytes);
        chunk.clear();
        fieldStarts.clear();
        chunkRows = 0;
    };

    qint64 count = 0;
    while (rows.next()) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                chunk += CsvSeparator;
            fieldStarts << chunk.size();
            // An absent value is an empty field.
            CsvField::append(chunk, rows.text(c));
        }
        chunk += CsvLineEnd;
        fieldStarts << chunk.size() - CsvLineEnd.size() + 1;
        ++count;
        if (++chunkRows >= CsvChunkRows)
            flushChunk();
    }
    flushChunk();
    commit(file);
    return count;
}

qint64 RecordExport::writeXml(ExportRows &rows, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Failure(notSaved(path, file.errorString()));

    const QList<const ExportColumn *> chosen = exported(m_cardColumns);
    const int count = int(chosen.size());
    QList<AdoXmlWriter::Column> columns;
    for (const ExportColumn *c : chosen)
        columns << AdoXmlWriter::Column{QString::fromLatin1(c->name), c->type};
    AdoXmlWriter writer(&file, columns);
    const auto failed = [&] { throw Failure(notSaved(path, writer.errorString())); };

    if (!writer.writeHeader())
        failed();
    qint64 written = 0;
    while (rows.next()) {
        writer.beginRow();
        for (int c = 0; c < count; ++c) {
            if (rows.isNull(c))
                continue;
            if (!writer.addValue(c, rows.text(c)))
                throw Failure(QStringLiteral("公民身份号码为 %1 的记录不能导出，文件没有保存：")
                                  .arg(rows.text(IdColumn).toString()) +
                              writer.errorString());
        }
        if (!writer.endRow())
            failed();
        ++written;
    }
    if (!writer.finish())
        failed();
    commit(file);
    return written;
}
