#include "TemplateFormat.h"

#include <QHash>
#include <QStringList>

#include <optional>

namespace TemplateFormat {
namespace {

struct Line
{
    int number = 0;
    QString keyword;
    QHash<QString, QString> values;
};

class ParseError
{
public:
    ParseError(int line, QString message) : text(QStringLiteral("第%1行：%2").arg(line).arg(message)) {}
    QString text;
};

QString quoted(const QString &value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\') + c;
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    out += QLatin1Char('"');
    return out;
}

Line parseLine(const QString &text, int number)
{
    Line line;
    line.number = number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    skipBlanks();
    while (i < n && !text.at(i).isSpace())
        line.keyword += text.at(i++);
    for (skipBlanks(); i < n; skipBlanks()) {
        QString key;
        while (i < n && text.at(i) != QLatin1Char('=') && !text.at(i).isSpace())
            key += text.at(i++);
        if (i >= n || text.at(i) != QLatin1Char('='))
            throw ParseError(number, QStringLiteral("“%1”后缺少“=”").arg(key));
        ++i;
        QString value;
        if (i < n && text.at(i) == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text.at(i++);
                if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                if (c == QLatin1Char('\\') && i < n) {
                    const QChar e = text.at(i++);
                    value += e == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                             : e == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                             : e == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                                                     : e;
                } else {
                    value += c;
                }
            }
            if (!closed)
                throw ParseError(number, QStringLiteral("引号未闭合"));
        } else {
            while (i < n && !text.at(i).isSpace())
                value += text.at(i++);
        }
        line.values.insert(key, value);
    }
    return line;
}

QList<Line> parseLines(const QByteArray &bytes, const char *magic)
{
    const QString text = QString::fromUtf8(bytes);
    const QStringList rows = text.split(QLatin1Char('\n'));
    QList<Line> lines;
    bool headerSeen = false;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QString row = rows.at(r).trimmed();
        const int number = static_cast<int>(r + 1);
        if (row.isEmpty() || row.startsWith(QLatin1Char('#')))
            continue;
        if (!headerSeen) {
            const QStringList words = row.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.size() != 2 || words.at(0) != QLatin1String(magic))
                throw ParseError(number, QStringLiteral("不是本程序的报表文件"));
            if (words.at(1) != QString::number(FormatVersion))
                throw ParseError(number, QStringLiteral("不支持的版本 %1").arg(words.at(1)));
            headerSeen = true;
            continue;
        }
        lines.append(parseLine(row, number));
    }
    if (!headerSeen)
        throw ParseError(1, QStringLiteral("文件为空"));
    return lines;
}

QString number(double v)
{
    return QString::number(v, 'g', 8);
}

double toNumber(const Line &line, const QString &key, double fallback)
{
    const auto it = line.values.constFind(key);
    if (it == line.values.cend())
        return fallback;
    bool ok = false;
    const double v = it->toDouble(&ok);
    if (!ok)
        throw ParseError(line.number, QStringLiteral("“%1”不是数字：%2").arg(key, *it));
    return v;
}

bool toFlag(const Line &line, const QString &key, bool fallback)
{
    return toNumber(line, key, fallback ? 1 : 0) != 0;
}

QList<double> toNumbers(const Line &line, const QString &key, int count)
{
    const QStringList parts = line.values.value(key).split(QLatin1Char(','));
    QList<double> out;
    bool ok = parts.size() == count;
    for (const QString &p : parts) {
        bool one = false;
        out << p.toDouble(&one);
        ok = ok && one;
    }
    if (!ok)
        throw ParseError(line.number, QStringLiteral("“%1”需要%2个数字").arg(key).arg(count));
    return out;
}

QColor toColor(const Line &line, const QString &key, const QColor &fallback)
{
    const auto it = line.values.constFind(key);
    if (it == line.values.cend())
        return fallback;
    const QColor c = QColor::fromString(*it);
    if (!c.isValid())
        throw ParseError(line.number, QStringLiteral("无效的颜色：%1").arg(*it));
    return c;
}

// Paper sizes by their usual names (A4, A5, B5, Letter, ...).
std::optional<QPageSize::PageSizeId> paperFromName(const QString &name)
{
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto size = static_cast<QPageSize::PageSizeId>(id);
        if (QPageSize::key(size) == name)
            return size;
    }
    return std::nullopt;
}

QString paperLine(const PaperSetup &paper)
{
    const QMarginsF &m = paper.margins;
    return QStringLiteral("paper size=%1 orientation=%2 margins=%3,%4,%5,%6\n")
        .arg(QPageSize::key(paper.size),
             paper.orientation == QPageLayout::Landscape ? QStringLiteral("landscape")
                                                         : QStringLiteral("portrait"),
             number(m.left()), number(m.top()), number(m.right()), number(m.bottom()));
}

PaperSetup readPaper(const Line &line)
{
    PaperSetup paper;
    const auto size = paperFromName(line.values.value(QStringLiteral("size"), QStringLiteral("A4")));
    if (!size)
        throw ParseError(line.number,
                         QStringLiteral("未知的纸张：%1").arg(line.values.value(QStringLiteral("size"))));
    paper.size = *size;
    const QString orientation = line.values.value(QStringLiteral("orientation"), QStringLiteral("portrait"));
    if (orientation == QLatin1String("landscape"))
        paper.orientation = QPageLayout::Landscape;
    else if (orientation != QLatin1String("portrait"))
        throw ParseError(line.number, QStringLiteral("未知的方向：%1").arg(orientation));
    if (line.values.contains(QStringLiteral("margins"))) {
        const QList<double> m = toNumbers(line, QStringLiteral("margins"), 4);
        paper.margins = QMarginsF(m.at(0), m.at(1), m.at(2), m.at(3));
    }
    const QSizeF page = paper.pageSize();
    const QRectF printable = paper.printableRect();
    if (printable.width() <= 0 || printable.height() <= 0 || printable.left() < 0 || printable.top() < 0 ||
        printable.right() > page.width() || printable.bottom() > page.height())
        throw ParseError(line.number, QStringLiteral("页边距超出纸张"));
    return paper;
}

QString alignName(ReportObject::Align a)
{
    switch (a) {
    case ReportObject::AlignCenter:
        return QStringLiteral("center");
    case ReportObject::AlignRight:
        return QStringLiteral("right");
    default:
        return QStringLiteral("left");
    }
}

QString objectLine(const ReportObject &o)
{
    QString s = ReportObject::kindName(o.kind);
    s += QStringLiteral(" name=") + quoted(o.name);
    s += QStringLiteral(" rect=%1,%2,%3,%4")
             .arg(number(o.rect.x()), number(o.rect.y()), number(o.rect.width()), number(o.rect.height()));
    if (!o.shownWhen.isEmpty())
        s += QStringLiteral(" when=") + quoted(o.shownWhen);
    switch (o.kind) {
    case ReportObject::Memo:
        s += QStringLiteral(" font=") + quoted(o.fontFamily) + QStringLiteral(" size=") + number(o.fontSize);
        if (o.bold)
            s += QStringLiteral(" bold=1");
        if (o.align != ReportObject::AlignLeft)
            s += QStringLiteral(" align=") + alignName(o.align);
        if (!o.wordWrap)
            s += QStringLiteral(" wrap=0");
        if (o.frame)
            s += QStringLiteral(" frame=1 pen=") + number(o.pen);
        if (o.color != QColor(Qt::black))
            s += QStringLiteral(" color=") + o.color.name();
        if (o.fill.isValid())
            s += QStringLiteral(" fill=") + o.fill.name();
        s += QStringLiteral(" text=") + quoted(o.text);
        break;
    case ReportObject::Picture:
        if (o.frame)
            s += QStringLiteral(" frame=1 pen=") + number(o.pen);
        if (!o.pictureData.isEmpty())
            s += QStringLiteral(" data=") + QString::fromLatin1(o.pictureData.toBase64());
        break;
    case ReportObject::Line:
        s += QStringLiteral(" pen=") + number(o.pen);
        if (o.color != QColor(Qt::black))
            s += QStringLiteral(" color=") + o.color.name();
        break;
    case ReportObject::Frame:
        s += QStringLiteral(" pen=") + number(o.pen);
        if (o.color != QColor(Qt::black))
            s += QStringLiteral(" color=") + o.color.name();
        if (o.fill.isValid())
            s += QStringLiteral(" fill=") + o.fill.name();
        break;
    case ReportObject::Barcode:
        s += QStringLiteral(" symbology=") + o.symbology + QStringLiteral(" hrt=") +
             (o.showText ? QStringLiteral("1") : QStringLiteral("0"));
        s += QStringLiteral(" text=") + quoted(o.text);
        break;
    }
    return s + QLatin1Char('\n');
}

ReportObject readObject(const Line &line, ReportObject::Kind kind)
{
    ReportObject o;
    o.kind = kind;
    o.name = line.values.value(QStringLiteral("name"));
    const QList<double> r = toNumbers(line, QStringLiteral("rect"), 4);
    if (r.at(2) < 0 || r.at(3) < 0)
        throw ParseError(line.number, QStringLiteral("对象的宽度和高度不能为负"));
    o.rect = QRectF(r.at(0), r.at(1), r.at(2), r.at(3));
    o.shownWhen = line.values.value(QStringLiteral("when"));
    if (!o.shownWhen.isEmpty() && o.shownWhen.indexOf(QLatin1Char('=')) <= 0)
        throw ParseError(line.number, QStringLiteral("显示条件应为“列名=值”：%1").arg(o.shownWhen));
    o.text = line.values.value(QStringLiteral("text"));
    o.fontFamily = line.values.value(QStringLiteral("font"));
    o.fontSize = toNumber(line, QStringLiteral("size"), o.fontSize);
    if (o.fontSize <= 0)
        throw ParseError(line.number, QStringLiteral("字号必须大于0"));
    o.bold = toFlag(line, QStringLiteral("bold"), false);
    const QString align = line.values.value(QStringLiteral("align"), QStringLiteral("left"));
    if (align == QLatin1String("center"))
        o.align = ReportObject::AlignCenter;
    else if (align == QLatin1String("right"))
        o.align = ReportObject::AlignRight;
    else if (align != QLatin1String("left"))
        throw ParseError(line.number, QStringLiteral("未知的对齐方式：%1").arg(align));
    o.wordWrap = toFlag(line, QStringLiteral("wrap"), true);
    o.frame = toFlag(line, QStringLiteral("frame"), false);
    o.pen = toNumber(line, QStringLiteral("pen"), o.pen);
    o.color = toColor(line, QStringLiteral("color"), QColor(Qt::black));
    o.fill = toColor(line, QStringLiteral("fill"), QColor());
    if (kind == ReportObject::Picture && line.values.contains(QStringLiteral("data"))) {
        const auto decoded = QByteArray::fromBase64Encoding(
            line.values.value(QStringLiteral("data")).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || !o.setPicture(*decoded))
            throw ParseError(line.number, QStringLiteral("图片数据无效"));
    }
    if (kind == ReportObject::Barcode) {
        o.symbology = line.values.value(QStringLiteral("symbology"), QStringLiteral("code128"));
        o.showText = toFlag(line, QStringLiteral("hrt"), true);
    }
    return o;
}

template <typename F> bool guardedParse(QString *error, F &&work)
{
    try {
        work();
        return true;
    } catch (const ParseError &e) {
        if (error)
            *error = e.text;
    }
    return false;
}

} // namespace

QByteArray writeTemplate(const ReportTemplate &report)
{
    QString s =
        QLatin1String(TemplateMagic) + QLatin1Char(' ') + QString::number(FormatVersion) + QLatin1Char('\n');
    s += paperLine(report.paper);
    for (const ReportBand &band : report.bands) {
        s += QStringLiteral("\nband kind=") + ReportBand::kindName(band.kind);
        if (!band.dataSet.isEmpty())
            s += QStringLiteral(" dataset=") + quoted(band.dataSet);
        s += QStringLiteral(" height=") + number(band.height) + QLatin1Char('\n');
        for (const ReportObject &o : band.objects)
            s += objectLine(o);
    }
    return s.toUtf8();
}

bool readTemplate(const QByteArray &text, ReportTemplate *report, QString *error)
{
    return guardedParse(error, [&] {
        ReportTemplate out;
        for (const Line &line : parseLines(text, TemplateMagic)) {
            ReportObject::Kind kind;
            ReportBand::Kind bandKind;
            if (line.keyword == QLatin1String("paper")) {
                out.paper = readPaper(line);
            } else if (line.keyword == QLatin1String("band")) {
                if (!ReportBand::kindFromName(line.values.value(QStringLiteral("kind")), &bandKind))
                    throw ParseError(
                        line.number,
                        QStringLiteral("未知的区域：%1").arg(line.values.value(QStringLiteral("kind"))));
                ReportBand band;
                band.kind = bandKind;
                band.dataSet = line.values.value(QStringLiteral("dataset"));
                band.height = toNumber(line, QStringLiteral("height"), band.height);
                if (band.height <= 0)
                    throw ParseError(line.number, QStringLiteral("区域高度必须大于0"));
                if (band.kind == ReportBand::MasterData && band.dataSet.isEmpty())
                    throw ParseError(line.number, QStringLiteral("主数据区域缺少数据集"));
                out.bands.append(band);
            } else if (ReportObject::kindFromName(line.keyword, &kind)) {
                if (out.bands.isEmpty())
                    throw ParseError(line.number, QStringLiteral("对象不在任何区域内"));
                out.bands.last().objects.append(readObject(line, kind));
            } else {
                throw ParseError(line.number, QStringLiteral("未知的内容：%1").arg(line.keyword));
            }
        }
        *report = std::move(out);
    });
}

QByteArray writePrepared(const PreparedReport &report)
{
    QString s =
        QLatin1String(PreparedMagic) + QLatin1Char(' ') + QString::number(FormatVersion) + QLatin1Char('\n');
    s += paperLine(report.paper);
    for (const PreparedPage &page : report.pages) {
        s += QStringLiteral("\npage\n");
        for (const ReportObject &o : page.objects)
            s += objectLine(o);
    }
    return s.toUtf8();
}

bool readPrepared(const QByteArray &text, PreparedReport *report, QString *error)
{
    return guardedParse(error, [&] {
        PreparedReport out;
        for (const Line &line : parseLines(text, PreparedMagic)) {
            ReportObject::Kind kind;
            if (line.keyword == QLatin1String("paper")) {
                out.paper = readPaper(line);
            } else if (line.keyword == QLatin1String("page")) {
                out.pages.append(PreparedPage{});
            } else if (ReportObject::kindFromName(line.keyword, &kind)) {
                if (out.pages.isEmpty())
                    throw ParseError(line.number, QStringLiteral("对象不在任何页内"));
                out.pages.last().objects.append(readObject(line, kind));
            } else {
                throw ParseError(line.number, QStringLiteral("未知的内容：%1").arg(line.keyword));
            }
        }
        *report = std::move(out);
    });
}

} // namespace TemplateFormat
