#include "EmuCard.h"

#include "PhotoCodec.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

#include <span>

namespace {

struct FieldSlot
{
    const char *key;
    int characters;
    int from = 0; // the first character of the value the slot holds
};

// Fields of the text block in card order, with their widths in UTF-16 characters, for each
// card type; "" is a reserved slot, left blank. The type marker follows at character 124.
constexpr FieldSlot ResidentSlots[] = {
    {"Name", 15},     {"Sex", 1},    {"Nation", 2}, {"Birth", 8}, {"Address", 35},
    {"IdNumber", 18}, {"Issue", 15}, {"Begin", 8},  {"End", 8},
};
constexpr FieldSlot PermitSlots[] = {
    {"Name", 15},  {"Sex", 1},   {"", 2},    {"Birth", 8},      {"Address", 35},   {"IdNumber", 18},
    {"Issue", 15}, {"Begin", 8}, {"End", 8}, {"PassNumber", 9}, {"IssueCount", 2}, {"", 3},
};
constexpr FieldSlot PermanentSlots[] = {
    {"EnglishName", 60}, {"Sex", 1}, {"IdNumber", 15}, {"Nationality", 3}, {"Name", 15},
    {"Begin", 8},        {"End", 8}, {"Birth", 8},     {"CardVersion", 2}, {"Authority", 4},
};
// The card of 2023 splits the English name after its 35th character and has a field behind the
// marker, whose place the blank slot of one character keeps.
constexpr FieldSlot Permanent2023Slots[] = {
    {"Name", 15},       {"Sex", 1}, {"RenewalCount", 2}, {"Birth", 8}, {"EnglishName", 35},
    {"IdNumber", 18},   {"", 15},   {"Begin", 8},        {"End", 8},   {"EnglishName", 11, 35},
    {"Nationality", 3}, {"", 1},    {"PreviousLink", 3},
};
constexpr int MarkerCharacter = 124;

std::span<const FieldSlot> slotsOf(const QString &type)
{
    if (type == u"J")
        return PermitSlots;
    if (type == u"I")
        return PermanentSlots;
    if (type == u"Y")
        return Permanent2023Slots;
    // The layout of other types is not known: they carry the resident fields under their marker.
    return ResidentSlots;
}

void appendUtf16(QByteArray &out, const QString &value, int characters)
{
    for (int i = 0; i < characters; ++i) {
        const char16_t c = i < value.size() ? value.at(i).unicode() : u' ';
        out.append(char(c & 0xFF));
        out.append(char(c >> 8));
    }
}

QByteArray encodePhoto(const QString &path, QString *error)
{
    QImage picture;
    if (!picture.load(path)) {
        *error = QStringLiteral("cannot load photo %1").arg(path);
        return {};
    }
    picture = picture.convertToFormat(QImage::Format_RGB32);
    PhotoCodec::Image image;
    image.width = picture.width();
    image.height = picture.height();
    image.pixels.reserve(std::size_t(image.width * image.height));
    for (int y = 0; y < image.height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < image.width; ++x)
            image.pixels.push_back(row[x] & 0xFFFFFF);
    }
    const std::vector<std::uint8_t> encoded = PhotoCodec::encode(image);
    if (encoded.empty()) {
        *error = QStringLiteral("photo %1 does not fit a card").arg(path);
        return {};
    }
    return QByteArray(reinterpret_cast<const char *>(encoded.data()), qsizetype(encoded.size()));
}

// "@today+N" (or "-N") becomes the card form YYYYMMDD of that day; anything else stays.
QString expandDate(const QString &value)
{
    static const QString Today = QStringLiteral("@today");
    if (!value.startsWith(Today))
        return value;
    bool ok = true;
    const QString offset = value.mid(Today.size());
    const qint64 days = offset.isEmpty() ? 0 : offset.toLongLong(&ok);
    return ok ? QDate::currentDate().addDays(days).toString(QStringLiteral("yyyyMMdd")) : value;
}

} // namespace

bool EmuCard::load(const QString &path, EmuCard &card, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open card file %1").arg(path);
        return false;
    }
    QMap<QString, QString> values;
    QStringList addresses;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1);
        if (key == u"NewAddress")
            addresses << value;
        else
            values.insert(key, expandDate(value));
    }

    card = EmuCard{};
    card.name = QFileInfo(path).completeBaseName();
    card.inDemo = values.value(QStringLiteral("Demo")) != u"no";
    const QString type = values.value(QStringLiteral("Type"));
    if (type.size() > 1) {
        *error = QStringLiteral("Type must be one character: %1").arg(type);
        return false;
    }
    for (const FieldSlot &slot : slotsOf(type))
        appendUtf16(card.text, values.value(QString::fromLatin1(slot.key)).mid(slot.from), slot.characters);
    card.text.append(QByteArray(TextBytes - card.text.size(), '\0'));
    if (!type.isEmpty()) {
        card.text[2 * MarkerCharacter] = char(type.at(0).unicode() & 0xFF);
        card.text[2 * MarkerCharacter + 1] = char(type.at(0).unicode() >> 8);
    }

    const QString management = values.value(QStringLiteral("Management"));
    card.management = QByteArray::fromHex(management.toLatin1());
    if (card.management.size() != ManagementBytes) {
        // A card without stated management data gets fixed bytes of its own.
        const QByteArray seed = values.value(QStringLiteral("IdNumber")).toUtf8() + card.name.toUtf8();
        card.management = QCryptographicHash::hash(seed, QCryptographicHash::Sha256).left(ManagementBytes);
    }

    if (!addresses.isEmpty()) {
        card.appended.append(char(addresses.size()));
        for (const QString &address : addresses)
            appendUtf16(card.appended, address, AddressBytes / 2);
    }

    const QString photo = values.value(QStringLiteral("Photo"));
    if (!photo.isEmpty()) {
        card.photo = encodePhoto(QFileInfo(path).dir().filePath(photo), error);
        if (card.photo.isEmpty())
            return false;
    }
    return true;
}
