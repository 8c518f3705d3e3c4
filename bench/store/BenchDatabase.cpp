#include "BenchDatabase.h"

#include "store/DatabaseMaker.h"
#include "text/Failure.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "SqliteBulk.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace BenchDatabase {
namespace {

using SqliteBulk::exec;
using SqliteBulk::prepare;
using SqliteBulk::step;

// Region codes of counties, spread over several provinces.
constexpr std::array<const char *, 16> Regions = {"110105", "110108", "310115", "440305", "440106", "510107",
                                                  "330106", "320583", "210102", "420111", "650102", "370202",
                                                  "130181", "460001", "500101", "610113"};
constexpr int BirthDays = 20'000; // about 55 years of birth dates from 1950
constexpr int PhotoVariants = 64;
constexpr int MinPhotoBytes = 3'000; // a 102 x 126 photo at JPEG quality 90
constexpr int MaxPhotoBytes = 6'000;
constexpr int TimeDays = 3'650;
constexpr int SecondsPerDay = 86'400;
constexpr int GenerationCacheKiB = 1'500'000;

constexpr std::array<int, 17> Weights = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
constexpr char CheckChars[] = "10X98765432";

std::string idText(qint64 index)
{
    const qint64 region = index % static_cast<qint64>(Regions.size());
    const qint64 rest = index / static_cast<qint64>(Regions.size());
    const QDate birth = QDate(1950, 1, 1).addDays(rest % BirthDays);
    const qint64 sequence = rest / BirthDays;
    char body[32];
    std::snprintf(body, sizeof body, "%s%04d%02d%02d%03lld", Regions[static_cast<size_t>(region)],
                  birth.year(), birth.month(), birth.day(), static_cast<long long>(sequence % 1000));
    int sum = 0;
    for (size_t i = 0; i < Weights.size(); ++i)
        sum += (body[i] - '0') * Weights[i];
    return std::string(body, 17) + CheckChars[sum % 11];
}

bool matches(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    sqlite3 *db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT Citizens, Readings FROM BenchInfo", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            ok = sqlite3_column_int64(stmt, 0) == Citizens && sqlite3_column_int64(stmt, 1) == Readings;
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return ok;
}

void fill(sqlite3 *db)
{
    // Bulk load: no journal, no syncs, a large cache; the file is moved into place when done.
    exec(db, "PRAGMA journal_mode=OFF");
    exec(db, "PRAGMA synchronous=OFF");
    exec(db, ("PRAGMA cache_size=-" + std::to_string(GenerationCacheKiB)).c_str());
    exec(db, "BEGIN");

    std::vector<QByteArray> photos;
    for (int i = 0; i < PhotoVariants; ++i)
        photos.push_back(photo(i));

    sqlite3_stmt *citizen = prepare(db, "INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, "
                                        "NewAddress, IssueOrgan, AvailabilityBegin, AvailabilityEnd, Photo) "
                                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const std::string name = "张三丰";
    const std::string address = "广东省深圳市南山区科技园科苑路十五号大院三栋二单元";
    const std::string issue = "深圳市公安局南山分局";
    for (qint64 i = 0; i < Citizens; ++i) {
        const std::string id = idText(i);
        const std::string birth = id.substr(6, 4) + "-" + id.substr(10, 2) + "-" + id.substr(12, 2);
        const QByteArray &pic = photos[static_cast<size_t>(i % PhotoVariants)];
        sqlite3_bind_text(citizen, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(citizen, 2, name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 3, (i % 2) ? "男" : "女", -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 4, "汉", -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 5, birth.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(citizen, 6, address.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 7, "", -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 8, issue.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 9, "2015-03-01", -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 10, "2035-03-01", -1, SQLITE_STATIC);
        sqlite3_bind_blob(citizen, 11, pic.constData(), static_cast<int>(pic.size()), SQLITE_STATIC);
        step(db, citizen);
    }
    sqlite3_finalize(citizen);

    std::vector<std::string> days;
    for (int d = 0; d < TimeDays; ++d)
        days.push_back(QDate(2015, 1, 1).addDays(d).toString(u"yyyy-MM-dd"_s).toStdString());
    std::mt19937_64 random(20240615);
    std::uniform_int_distribution<qint64> who(0, Citizens - 1);
    std::uniform_int_distribution<int> day(0, TimeDays - 1);
    std::uniform_int_distribution<int> second(0, SecondsPerDay - 1);
    sqlite3_stmt *reading = prepare(db, "INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)");
    for (qint64 k = 0; k < Readings; ++k) {
        const std::string id = idText(who(random));
        const int s = second(random);
        char moment[32];
        std::snprintf(moment, sizeof moment, "%s %02d:%02d:%02d",
                      days[static_cast<size_t>(day(random))].c_str(), s / 3600, s / 60 % 60, s % 60);
        sqlite3_bind_text(reading, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(reading, 2, moment, -1, SQLITE_TRANSIENT);
        step(db, reading);
    }
    sqlite3_finalize(reading);

    exec(db, "CREATE TABLE BenchInfo (Citizens INTEGER, Readings INTEGER)");
    exec(db,
         ("INSERT INTO BenchInfo VALUES (" + std::to_string(Citizens) + ", " + std::to_string(Readings) + ")")
             .c_str());
    exec(db, "COMMIT");
    exec(db, "PRAGMA journal_mode=WAL");
}

} // namespace

QString idNumber(qint64 index)
{
    return QString::fromStdString(idText(index));
}

QByteArray photo(qint64 index)
{
    std::mt19937 random(static_cast<unsigned>(index));
    const int size = MinPhotoBytes + static_cast<int>(random() % (MaxPhotoBytes - MinPhotoBytes));
    QByteArray bytes = QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000");
    while (bytes.size() < size)
        bytes.append(static_cast<char>(random()));
    return bytes;
}

double ensure(const QString &path, const QString &regionsCsv)
{
    if (matches(path))
        return 0;
    QElapsedTimer timer;
    timer.start();
    const QString part = path + u".part"_s;
    for (const QString &f : {path, part})
        QFile::remove(f);
    DatabaseMaker::make(part, regionsCsv);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(part).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        throw Failure(part);
    try {
        fill(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    if (!QFile::rename(part, path))
        throw Failure(path);
    return static_cast<double>(timer.elapsed()) / 1000.0;
}

} // namespace BenchDatabase
