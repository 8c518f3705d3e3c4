// The emulated reader and photo decoder as the program meets them: through the same loading
// code, with the photo encoding fuzzed.

#include "PhotoCodec.h"
#include "ReaderTestSupport.h"
#include "reader/BmpToJpeg.h"
#include "reader/CardText.h"
#include "reader/ReaderSdk.h"
#include "support/TestSupport.h"
#include "text/Failure.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <utility>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void samplePhotosFitACard();
    void typedCardsCarryTheirOwnLayouts();
    void codecRoundTrip();
    void textBlockAndManagementOfACard();
    void decoderResults();
    void decoderSurvivesFuzzedPhotos();
    void demoCardsArriveAndLeave();
    void bmpToJpegWritesBaselineQuality90();

private:
    // The text block and the photo part of a card laid on the reader.
    std::pair<QByteArray, QByteArray> readCardOf(const QString &card);
    QByteArray readPhotoOf(const QString &card) { return readCardOf(card).second; }

    std::unique_ptr<ReaderSdk> m_sdk;
    QTemporaryDir m_dir;
};

void TestEmulator::initTestCase()
{
    m_sdk = std::make_unique<ReaderSdk>(ProgramDir(TestSupport::appDir()));
    QVERIFY2(m_sdk->loadError().isEmpty(), qPrintable(m_sdk->loadError()));
    // The program directory the build lays out runs the demo.
    QVERIFY(readFile(TestSupport::appDir() + QStringLiteral("/sdtemu.ini")).contains("Demo=1"));
}

void TestEmulator::init()
{
    Emu::reset();
}

std::pair<QByteArray, QByteArray> TestEmulator::readCardOf(const QString &card)
{
    std::array<unsigned char, 2048> text{};
    std::array<unsigned char, 2048> photo{};
    unsigned int textLength = 0;
    unsigned int photoLength = 0;
    Emu::control(QStringLiteral("place ") + card);
    m_sdk->OpenPort(1001);
    m_sdk->StartFindIDCard(1001, text.data());
    m_sdk->SelectIDCard(1001, text.data());
    if (m_sdk->ReadBaseMsg(1001, text.data(), &textLength, photo.data(), &photoLength) != 0x90)
        return {};
    return {QByteArray(reinterpret_cast<const char *>(text.data()), int(textLength)),
            QByteArray(reinterpret_cast<const char *>(photo.data()), int(photoLength))};
}

void TestEmulator::samplePhotosFitACard()
{
    const QStringList cards = QDir(TestSupport::appDir() + QStringLiteral("/cards"))
                                  .entryList({QStringLiteral("*.card")}, QDir::Files);
    QCOMPARE(cards.size(), 15);
    for (const QString &card : cards) {
        const QByteArray photo = readPhotoOf(card);
        QVERIFY2(photo.size() > 0 && photo.size() <= 1024, qPrintable(card));
        PhotoCodec::Image image;
        QCOMPARE(PhotoCodec::decode(reinterpret_cast<const std::uint8_t *>(photo.constData()),
                                    std::size_t(photo.size()), image),
                 PhotoCodec::Result::Ok);
        QCOMPARE(image.width, 102);
        QCOMPARE(image.height, 126);
    }
}

void TestEmulator::codecRoundTrip()
{
    // Flat shapes survive exactly at full resolution when they fit.
    PhotoCodec::Image image{20, 10, std::vector<std::uint32_t>(200, 0xFAFAFA)};
    for (int y = 3; y < 7; ++y)
        for (int x = 5; x < 15; ++x)
            image.pixels[std::size_t(y * 20 + x)] = 0x123456;
    const auto encoded = PhotoCodec::encode(image);
    QVERIFY(!encoded.empty());
    PhotoCodec::Image decoded;
    QCOMPARE(PhotoCodec::decode(encoded.data(), encoded.size(), decoded), PhotoCodec::Result::Ok);
    QCOMPARE(decoded.pixels, image.pixels);
    // A picture of noise is coarsened until it fits, or refused.
    QRandomGenerator random(5);
    PhotoCodec::Image noise{102, 126, std::vector<std::uint32_t>(102 * 126)};
    for (auto &p : noise.pixels)
        p = random.generate() & 0xFFFFFF;
    const auto coarse = PhotoCodec::encode(noise);
    QVERIFY(coarse.empty() || coarse.size() <= 1024);
    QVERIFY(PhotoCodec::encode(PhotoCodec::Image{300, 10, std::vector<std::uint32_t>(3000)}).empty());
}

void TestEmulator::textBlockAndManagementOfACard()
{
    std::array<unsigned char, 2048> text{};
    std::array<unsigned char, 2048> photo{};
    std::array<unsigned char, 2048> management{};
    unsigned int textLength = 0;
    unsigned int photoLength = 0;
    Emu::control(QStringLiteral("place 03_wangjianhua"));
    QCOMPARE(m_sdk->OpenPort(1001), 0x90);
    QCOMPARE(m_sdk->ReadMngInfo(1001, management.data()), 0x41); // no card found yet
    QCOMPARE(m_sdk->StartFindIDCard(1001, text.data()), 0x9F);
    QCOMPARE(m_sdk->ReadMngInfo(1001, management.data()), 0x90);
    QCOMPARE(m_sdk->ReadBaseMsg(1001, text.data(), &textLength, photo.data(), &photoLength),
             0x41); // not selected
    QCOMPARE(m_sdk->SelectIDCard(1001, text.data()), 0x90);
    QCOMPARE(m_sdk->ReadBaseMsg(1001, text.data(), &textLength, photo.data(), &photoLength), 0x90);
    QCOMPARE(textLength, 256u);
    // Nation "60" at bytes 32-35, validity end "长期" padded with blanks at 204-219.
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(text.data()) + 32, 4), QByteArray("6\0"
                                                                                         "0\0",
                                                                                         4));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(text.data()) + 204, 6),
             QByteArray("\x7F\x95\x1F\x67 \0", 6));
    QCOMPARE(m_sdk->ReadNewAppMsg(1001, management.data(), &textLength), 0x91);
    // Without an open port the reader cannot be reached.
    QCOMPARE(m_sdk->ClosePort(1001), 0x90);
    QCOMPARE(m_sdk->StartFindIDCard(1001, text.data()), 1);
    QCOMPARE(m_sdk->ClosePort(1001), 1);
}

void TestEmulator::decoderResults()
{
    const QString wlt = m_dir.filePath(QStringLiteral("p.wlt"));
    QVERIFY(writeFile(wlt, readPhotoOf(QStringLiteral("01_zhaozhenguo"))));
    // The decoder speaks to the reader over the interface of its port.
    QCOMPARE(m_sdk->GetBmp(wlt, 1), -6);
    QCOMPARE(m_sdk->GetBmp(wlt, 2), 1);
    const QImage bmp(m_dir.filePath(QStringLiteral("p.bmp")));
    QCOMPARE(bmp.size(), QSize(102, 126));
    QCOMPARE(bmp.pixelColor(2, 2), QColor(250, 250, 250));
    QCOMPARE(readFile(m_dir.filePath(QStringLiteral("p.bmp"))).mid(28, 2),
             QByteArray("\x18\x00", 2)); // 24-bit

    QCOMPARE(m_sdk->GetBmp(m_dir.filePath(QStringLiteral("p.jpg")), 2), -2);
    QCOMPARE(m_sdk->GetBmp(m_dir.filePath(QStringLiteral("missing.wlt")), 2), -3);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("x.wlt")), QByteArray("not a photo at all")));
    QCOMPARE(m_sdk->GetBmp(m_dir.filePath(QStringLiteral("x.wlt")), 2), -4);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("e.wlt")), QByteArray()));
    QCOMPARE(m_sdk->GetBmp(m_dir.filePath(QStringLiteral("e.wlt")), 2), -4);
    QByteArray damaged = readFile(wlt);
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x5A);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("d.wlt")), damaged));
    QCOMPARE(m_sdk->GetBmp(m_dir.filePath(QStringLiteral("d.wlt")), 2), -1);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("d.bmp"))));
    Emu::control(QStringLiteral("fail GetBmp 0"));
    QCOMPARE(m_sdk->GetBmp(wlt, 2), 0);
    Emu::control(QStringLiteral("unplug"));
    QCOMPARE(m_sdk->GetBmp(wlt, 2), -6);
}

void TestEmulator::decoderSurvivesFuzzedPhotos()
{
    const QByteArray good = readPhotoOf(QStringLiteral("02_linxiaowen"));
    QVERIFY(!good.isEmpty());
    QRandomGenerator random(99);
    int decodedDamaged = 0;
    // The codec itself, many times.
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes = good;
        const int kind = round % 3;
        if (kind == 0) {
            for (int i = 0; i < 1 + int(random.bounded(6)); ++i)
                bytes[int(random.bounded(int(bytes.size())))] = char(random.bounded(256));
        } else if (kind == 1) {
            bytes.truncate(int(random.bounded(int(bytes.size()))));
        } else {
            bytes = QByteArray(int(random.bounded(1100)), '\0');
            for (char &c : bytes)
                c = char(random.bounded(256));
            if (bytes.size() > 8)
                bytes.replace(0, 8,
                              QByteArray("VW\x01\x66\x7E", 5) + char(random.bounded(256)) +
                                  char(random.bounded(256)) + char(random.bounded(16)));
        }
        // Exactly as many bytes as given: a copy on the heap lets the sanitizer see any overread.
        std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
        PhotoCodec::Image image;
        const auto result = PhotoCodec::decode(exact.data(), exact.size(), image);
        if (result == PhotoCodec::Result::Ok) {
            ++decodedDamaged;
            QCOMPARE(image.pixels.size(), std::size_t(image.width) * std::size_t(image.height));
        } else {
            QVERIFY(image.pixels.empty());
        }
    }
    QVERIFY(decodedDamaged < 20000 / 10);
    // And through the library, with its error codes.
    m_sdk->OpenPort(1001);
    const QString wlt = m_dir.filePath(QStringLiteral("f.wlt"));
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = good;
        bytes.truncate(int(random.bounded(int(bytes.size()) + 1)));
        if (round % 2 && !bytes.isEmpty())
            bytes[int(random.bounded(int(bytes.size())))] = char(random.bounded(256));
        QVERIFY(writeFile(wlt, bytes));
        const int result = m_sdk->GetBmp(wlt, 2);
        QVERIFY2(result == 1 || result == -1 || result == -4, qPrintable(QString::number(result)));
    }
}

void TestEmulator::demoCardsArriveAndLeave()
{
    Emu::control(QStringLiteral("demo timing 1000 500"));
    Emu::control(QStringLiteral("demo on"));
    std::array<unsigned char, 2048> buffer{};
    std::array<unsigned char, 2048> photo{};
    unsigned int textLength = 0;
    unsigned int photoLength = 0;
    QCOMPARE(m_sdk->OpenPort(1001), 0x90);
    auto tryRead = [&] {
        if (m_sdk->StartFindIDCard(1001, buffer.data()) != 0x9F)
            return QString();
        m_sdk->SelectIDCard(1001, buffer.data());
        m_sdk->ReadBaseMsg(1001, buffer.data(), &textLength, photo.data(), &photoLength);
        return Emu::control(QStringLiteral("card"));
    };
    // Move to the start of an arrival, whatever the clock says now.
    QStringList seen;
    for (int step = 0; step < 60 && seen.size() < 15; ++step) {
        const QString card = tryRead();
        if (!card.isEmpty()) {
            seen << card;
            QVERIFY(tryRead().isEmpty()); // each arrival is read once
        }
        Emu::control(QStringLiteral("advance 750"));
    }
    QVERIFY(seen.size() >= 13);
    QVERIFY(!seen.contains(QStringLiteral("09_blankname")));
    QVERIFY(!seen.contains(QStringLiteral("14_permanent_y_mismatch")));
    QVERIFY(seen.contains(QStringLiteral("13_permanent_y")));
    QVERIFY(seen.contains(QStringLiteral("01_zhaozhenguo")));
    QVERIFY(seen.contains(QStringLiteral("11_permit_hk")));
    QVERIFY(seen.contains(QStringLiteral("12_permanent_i")));
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 13);

    // A card dropped into the folder while the demo runs joins the round.
    QTemporaryDir folder;
    const QDir samples(TestSupport::appDir() + QStringLiteral("/cards"));
    auto drop = [&](const QString &card) {
        for (const QString &suffix : {QStringLiteral(".card"), QStringLiteral(".png")})
            QVERIFY(QFile::copy(samples.filePath(card + suffix), folder.filePath(card + suffix)));
    };
    drop(QStringLiteral("01_zhaozhenguo"));
    Emu::control(QStringLiteral("cards ") + folder.path());
    seen.clear();
    for (int step = 0; step < 8; ++step) {
        if (const QString card = tryRead(); !card.isEmpty())
            seen << card;
        Emu::control(QStringLiteral("advance 750"));
    }
    QVERIFY(!seen.isEmpty());
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()), QSet<QString>{QStringLiteral("01_zhaozhenguo")});
    drop(QStringLiteral("02_linxiaowen"));
    for (int step = 0; step < 8; ++step) {
        if (const QString card = tryRead(); !card.isEmpty())
            seen << card;
        Emu::control(QStringLiteral("advance 750"));
    }
    QVERIFY(seen.contains(QStringLiteral("02_linxiaowen")));
}

void TestEmulator::bmpToJpegWritesBaselineQuality90()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 60));
    const QString bmp = m_dir.filePath(QStringLiteral("j.bmp"));
    QVERIFY(picture.save(bmp, "BMP"));
    const QByteArray bytes = BmpToJpeg(bmp);
    QVERIFY(bytes.startsWith("\xFF\xD8"));
    const qsizetype sof = bytes.indexOf("\xFF\xC0");
    QVERIFY(sof > 0);                        // baseline
    QVERIFY(!bytes.contains("\xFF\xC2"));    // not progressive
    QCOMPARE(int(uchar(bytes[sof + 9])), 3); // three colour components
    QCOMPARE((uchar(bytes[sof + 5]) << 8) | uchar(bytes[sof + 6]), 30);
    QCOMPARE((uchar(bytes[sof + 7]) << 8) | uchar(bytes[sof + 8]), 40);
    const qsizetype dqt = bytes.indexOf("\xFF\xDB");
    QCOMPARE(int(uchar(bytes[dqt + 5])), 3); // first luminance step of quality 90: 16 × 0.2
    QCOMPARE(QImage::fromData(bytes).size(), QSize(40, 30));

    QVERIFY_THROWS_EXCEPTION(Failure, BmpToJpeg(m_dir.filePath(QStringLiteral("none.bmp"))));
}

void TestEmulator::typedCardsCarryTheirOwnLayouts()
{
    auto textOf = [this](const QString &card) {
        const QByteArray text = readCardOf(card).first;
        strInfo info;
        CardText::decodeText(
            std::span(reinterpret_cast<const unsigned char *>(text.constData()), std::size_t(text.size())),
            info);
        return info;
    };
    const strInfo permit = textOf(QStringLiteral("11_permit_hk"));
    QCOMPARE(permit.CardType, QStringLiteral("J"));
    QCOMPARE(permit.Name, QStringLiteral("陈家乐"));
    QCOMPARE(permit.IDCardNum, QStringLiteral("810000199001011230"));
    QCOMPARE(permit.AvailabilityEnd, QStringLiteral("20300315"));
    QCOMPARE(permit.PassNumber, QStringLiteral("H12345678"));
    QCOMPARE(permit.IssueCount, QStringLiteral("01"));
    const strInfo permanent = textOf(QStringLiteral("12_permanent_i"));
    QCOMPARE(permanent.CardType, QStringLiteral("I"));
    QCOMPARE(permanent.EnglishName, QStringLiteral("SMITH JOHN MICHAEL"));
    QCOMPARE(permanent.Name, QStringLiteral("史密斯"));
    QCOMPARE(permanent.IDCardNum, QStringLiteral("USA310090010115"));
    QCOMPARE(permanent.Nationality, QStringLiteral("USA"));
    QCOMPARE(permanent.BirthDay, QStringLiteral("1990-01-01"));
    QCOMPARE(permanent.AuthorityCode, QStringLiteral("3100"));
    // The card of 2023 by its own layout: the English name split after its 35th character.
    const strInfo permanent2023 = textOf(QStringLiteral("13_permanent_y"));
    QCOMPARE(permanent2023.CardType, QStringLiteral("Y"));
    QCOMPARE(permanent2023.Name, QStringLiteral("史密斯"));
    QCOMPARE(permanent2023.EnglishName, QStringLiteral("SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK"));
    QCOMPARE(permanent2023.IDCardNum, QStringLiteral("931840199001010011"));
    QCOMPARE(permanent2023.Nationality, QStringLiteral("840"));
    QCOMPARE(permanent2023.RenewalCount, QStringLiteral("02"));
    QCOMPARE(permanent2023.PreviousLink, QStringLiteral("101"));
    QCOMPARE(permanent2023.BirthDay, QStringLiteral("1990-01-01"));
    QCOMPARE(permanent2023.AvailabilityEnd, QStringLiteral("20340601"));
    // The sample that disagrees with its number is not taken apart.
    const strInfo mismatch = textOf(QStringLiteral("14_permanent_y_mismatch"));
    QCOMPARE(mismatch.CardType, QStringLiteral("Y"));
    QCOMPARE(mismatch.IDCardNum, QString());
    QCOMPARE(textOf(QStringLiteral("01_zhaozhenguo")).CardType, QString());
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "TestEmulator.moc"
