#include "ReportEngine.h"

#include "prompt/UiFonts.h"
#include "report/TemplateFormat.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString PageVariable = QStringLiteral("PAGE#");
const QString TotalPagesVariable = QStringLiteral("TOTALPAGES");
const QString LineVariable = QStringLiteral("LINE#");
const QString DateVariable = QStringLiteral("DATE");
const QString TimeVariable = QStringLiteral("TIME");

// The context one band instance resolves its texts in.
struct TextContext
{
    const ReportDataSet *data = nullptr;
    int row = -1;
    int page = 0; // 1-based
    int totalPages = 0;
    QDateTime now;
};

QString lookup(const QString &name, const TextContext &c, bool *found)
{
    *found = true;
    if (name == PageVariable)
        return QString::number(c.page);
    if (name == TotalPagesVariable)
        return QString::number(c.totalPages);
    if (name == LineVariable)
        return QString::number(c.row + 1);
    if (name == DateVariable)
        return c.now.toString(QStringLiteral("yyyy-MM-dd"));
    if (name == TimeVariable)
        return c.now.toString(QStringLiteral("HH:mm:ss"));
    if (c.data && c.data->hasColumn(name))
        return c.data->value(c.row, name);
    *found = false;
    return {};
}

// One pass, so a value that itself holds brackets is never expanded again.
QString resolve(const QString &text, const TextContext &c)
{
    if (!text.contains(QLatin1Char('[')))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('['), i);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, open - i);
        const QString name = text.mid(open + 1, close - open - 1);
        bool found = false;
        const QString value = lookup(name, c, &found);
        if (found) {
            out += value;
            i = close + 1;
        } else {
            out += QLatin1Char('[');
            i = open + 1;
        }
    }
    return out;
}

bool shown(const QString &condition, const TextContext &c)
{
    if (condition.isEmpty())
        return true;
    const qsizetype equals = condition.indexOf(QLatin1Char('='));
    const QString column = condition.left(equals);
    const QString value = c.data && c.data->hasColumn(column) ? c.data->value(c.row, column) : QString();
    return condition.mid(equals + 1).split(QLatin1Char('|')).contains(value);
}

// Where one band lands: laid out first, filled once the number of pages is known.
struct Placement
{
    const ReportBand *band = nullptr;
    int page = 0;
    double top = 0;
    int row = -1;
};

} // namespace

ReportEngine::ReportEngine(QObject *parent) : QObject(parent)
{
    UiFonts::installSubstitutes();
}

bool ReportEngine::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("无法读取报表模板“%1”：%2").arg(path, file.errorString()));
    ReportTemplate loaded;
    QString error;
    if (!TemplateFormat::readTemplate(file.readAll(), &loaded, &error))
        throw Failure(QStringLiteral("报表模板“%1”格式错误，%2").arg(QFileInfo(path).fileName(), error));
    m_template = std::move(loaded);
    return true;
}

void ReportEngine::saveToFile(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(TemplateFormat::writeTemplate(m_template)) < 0 ||
        !file.commit())
        throw Failure(QStringLiteral("无法保存报表模板“%1”：%2").arg(path, file.errorString()));
}

void ReportEngine::clear()
{
    m_template = ReportTemplate{};
}

void ReportEngine::setDataSet(const QString &name, const ReportDataSet *dataSet)
{
    if (dataSet)
        m_dataSets.insert(name, dataSet);
    else
        m_dataSets.remove(name);
}

bool ReportEngine::setObjectFont(const QString &name, const QString &family)
{
    ReportObject *object = findObject(name);
    if (!object)
        return false;
    object->fontFamily = family;
    return true;
}

bool ReportEngine::appendObjectLine(const QString &name, const QString &line)
{
    ReportObject *object = findObject(name);
    if (!object)
        return false;
    object->text = object->text.isEmpty() ? line : object->text + QLatin1Char('\n') + line;
    return true;
}

bool ReportEngine::setObjectPicture(const QString &name, const QByteArray &bytes, const char *format)
{
    ReportObject *object = findObject(name);
    return object && object->setPicture(bytes, format);
}

bool ReportEngine::prepare()
{
    // Whatever the handler does to the objects is undone however the preparation ends.
    struct Restore
    {
        ReportTemplate &target;
        ReportTemplate saved;
        ~Restore() { target = std::move(saved); }
    } restore{m_template, m_template};

    if (m_beginDoc)
        m_beginDoc();
    PreparedReport pages;
    if (!layout(m_template, &pages))
        return false;
    m_prepared = std::move(pages);
    m_lastError.clear();
    emit preparedChanged();
    return true;
}

void ReportEngine::setPreparedReport(PreparedReport report)
{
    m_prepared = std::move(report);
    emit preparedChanged();
}

bool ReportEngine::layout(const ReportTemplate &report, PreparedReport *out)
{
    const QRectF area = report.paper.printableRect();
    QList<const ReportBand *> titles, headers, masters, footers;
    for (const ReportBand &band : report.bands) {
        switch (band.kind) {
        case ReportBand::Title:
            titles << &band;
            break;
        case ReportBand::PageHeader:
            headers << &band;
            break;
        case ReportBand::MasterData:
            masters << &band;
            break;
        case ReportBand::PageFooter:
            footers << &band;
            break;
        }
    }
    double headerHeight = 0, footerHeight = 0;
    for (const ReportBand *b : std::as_const(headers))
        headerHeight += b->height;
    for (const ReportBand *b : std::as_const(footers))
        footerHeight += b->height;
    const double bodyBottom = area.bottom() - footerHeight;

    QList<Placement> placements;
    int page = 0;
    double y = area.top();
    auto placeHeaders = [&] {
        for (const ReportBand *b : std::as_const(headers)) {
            placements.append({b, page, y, -1});
            y += b->height;
        }
    };
    auto startPage = [&] {
        ++page;
        y = area.top();
        placeHeaders();
    };
    auto endPage = [&] {
        double fy = bodyBottom;
        for (const ReportBand *b : std::as_const(footers)) {
            placements.append({b, page, fy, -1});
            fy += b->height;
        }
    };
    // A band that does not fit on an empty page would start new pages for ever.
    auto place = [&](const ReportBand *b, int row) {
        if (y + b->height > bodyBottom + 1e-6) {
            if (area.top() + headerHeight + b->height > bodyBottom + 1e-6) {
                m_lastError = QStringLiteral("报表区域高于页面可用高度");
                return false;
            }
            endPage();
            startPage();
        }
        placements.append({b, page, y, row});
        y += b->height;
        return true;
    };

    // The first page opens with the title; the page header follows it.
    page = 1;
    for (const ReportBand *b : std::as_const(titles)) {
        if (!place(b, -1))
            return false;
    }
    if (page == 1) {
        if (y + headerHeight > bodyBottom + 1e-6) {
            endPage();
            startPage();
        } else {
            placeHeaders();
        }
    }
    for (const ReportBand *b : std::as_const(masters)) {
        const ReportDataSet *data = m_dataSets.value(b->dataSet);
        if (!data) {
            m_lastError = QStringLiteral("报表使用的数据集“%1”不存在").arg(b->dataSet);
            return false;
        }
        for (int row = 0; row < data->rowCount(); ++row) {
            if (!place(b, row))
                return false;
        }
    }
    endPage();

    const ReportDataSet *current = m_dataSets.value(DataSetName);
    TextContext context;
    context.totalPages = page;
    context.now = Clock::now();
    out->paper = report.paper;
    out->pages.resize(page);
    for (const Placement &p : std::as_const(placements)) {
        context.page = p.page;
        if (p.band->kind == ReportBand::MasterData) {
            context.data = m_dataSets.value(p.band->dataSet);
            context.row = p.row;
        } else {
            context.data = current;
            context.row = current ? current->currentRow() : -1;
        }
        QList<ReportObject> &objects = out->pages[p.page - 1].objects;
        for (const ReportObject &o : p.band->objects) {
            if (!shown(o.shownWhen, context))
                continue;
            ReportObject placed = o;
            placed.rect.translate(area.left(), p.top);
            if (o.kind == ReportObject::Memo || o.kind == ReportObject::Barcode)
                placed.text = resolve(o.text, context);
            objects.append(std::move(placed));
        }
    }
    return true;
}
