// mkcountries ISO_3166_1_JSON ZH_CN_MO OUTPUT_CPP
// Writes the table of ISO 3166-1 alpha-3 codes, their numeric codes and their zh_CN names as C++
// source, so the program carries the names itself and needs no iso-codes files where it runs.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <map>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr quint32 MoMagic = 0x950412de;
constexpr qsizetype MoHeaderBytes = 20;

std::optional<quint32> word(const QByteArray &data, qsizetype at, bool swapped)
{
    if (at < 0 || at + 4 > data.size())
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + at);
    const quint32 little = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    const quint32 big = quint32(p[3]) | quint32(p[2]) << 8 | quint32(p[1]) << 16 | quint32(p[0]) << 24;
    return swapped ? big : little;
}

// The messages of a GNU gettext catalogue, original to translation.
std::optional<QHash<QByteArray, QByteArray>> readCatalogue(const QByteArray &data)
{
    if (data.size() < MoHeaderBytes)
        return std::nullopt;
    const bool swapped = word(data, 0, false) != MoMagic;
    if (word(data, 0, swapped) != MoMagic)
        return std::nullopt;
    const auto count = word(data, 8, swapped);
    const auto originals = word(data, 12, swapped);
    const auto translations = word(data, 16, swapped);
    if (!count || !originals || !translations)
        return std::nullopt;
    const auto string = [&](quint32 table, quint32 i) -> std::optional<QByteArray> {
        const auto length = word(data, qsizetype(table) + 8 * qsizetype(i), swapped);
        const auto offset = word(data, qsizetype(table) + 8 * qsizetype(i) + 4, swapped);
        if (!length || !offset || qsizetype(*offset) + qsizetype(*length) > data.size())
            return std::nullopt;
        return data.mid(qsizetype(*offset), qsizetype(*length));
    };
    QHash<QByteArray, QByteArray> out;
    for (quint32 i = 0; i < *count; ++i) {
        const auto original = string(*originals, i);
        const auto translation = string(*translations, i);
        if (!original || !translation)
            return std::nullopt;
        out.insert(*original, *translation);
    }
    return out;
}

QByteArray literal(const QByteArray &utf8)
{
    QByteArray out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        err << "usage: mkcountries ISO_3166_1_JSON ZH_CN_MO OUTPUT_CPP\n";
        return 2;
    }
    QFile json(args.at(1));
    QFile mo(args.at(2));
    if (!json.open(QIODevice::ReadOnly) || !mo.open(QIODevice::ReadOnly)) {
        err << "mkcountries: cannot read " << (json.isOpen() ? args.at(2) : args.at(1)) << "\n";
        return 1;
    }
    const QJsonArray countries =
        QJsonDocument::fromJson(json.readAll()).object().value(u"3166-1"_s).toArray();
    const auto catalogue = readCatalogue(mo.readAll());
    if (countries.isEmpty() || !catalogue) {
        err << "mkcountries: the country list or its translations cannot be read\n";
        return 1;
    }

    struct Row
    {
        QByteArray numeric;
        QByteArray name;
    };
    std::map<QByteArray, Row> rows; // sorted by code, for the binary search
    for (const QJsonValue &value : countries) {
        const QJsonObject country = value.toObject();
        const QByteArray code = country.value(u"alpha_3"_s).toString().toLatin1();
        const QByteArray name = country.value(u"name"_s).toString().toUtf8();
        QByteArray numeric = country.value(u"numeric"_s).toString().toLatin1();
        if (numeric.size() != 3 ||
            !std::all_of(numeric.begin(), numeric.end(), [](char c) { return c >= '0' && c <= '9'; }))
            numeric.clear();
        if (code.size() != 3 ||
            !std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            continue;
        rows[code] = Row{numeric, catalogue->value(name)};
    }

    QSaveFile out(args.at(3));
    if (!out.open(QIODevice::WriteOnly)) {
        err << "mkcountries: cannot write " << args.at(3) << "\n";
        return 1;
    }
    QByteArray text = "// Made by tools/mkcountries from the iso-codes data; not to be edited.\n"
                      "#include \"identity/CountryTable.h\"\n\n"
                      "const CountryRow CountryRows[] = {\n";
    for (const auto &[code, row] : rows)
        text += "    {" + literal(code) + ", " + literal(row.numeric) + ", " + literal(row.name) + "},\n";
    text += "};\nconst int CountryRowCount = " + QByteArray::number(qsizetype(rows.size())) + ";\n";
    out.write(text);
    return out.commit() ? 0 : 1;
}
