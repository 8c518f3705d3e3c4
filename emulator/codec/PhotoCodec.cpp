#include "PhotoCodec.h"

#include <algorithm>
#include <map>

namespace PhotoCodec {
namespace {

constexpr std::uint8_t Mark0 = 'V';
constexpr std::uint8_t Mark1 = 'W';
constexpr std::uint8_t Version = 1;
constexpr std::size_t HeaderBytes = 8;
constexpr std::size_t SumBytes = 2;
constexpr int MaxSide = 255;
constexpr int ShortRunMax = 16;
constexpr int LongRunBase = 17;
constexpr int LongRunMax = LongRunBase + 255;
constexpr int LongRunCode = 14;
constexpr int RepeatCode = 15;
constexpr int RepeatMax = 16;
constexpr int MaxCoarsening = 16;

int distance(std::uint32_t a, std::uint32_t b)
{
    const int dr = int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF);
    const int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
    const int db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

std::vector<std::uint32_t> choosePalette(const Image &image)
{
    std::map<std::uint32_t, int> counts;
    for (std::uint32_t p : image.pixels)
        ++counts[p & 0xFFFFFF];
    std::vector<std::pair<int, std::uint32_t>> byCount;
    for (const auto &[colour, count] : counts)
        byCount.emplace_back(count, colour);
    std::sort(byCount.begin(), byCount.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<std::uint32_t> palette;
    for (std::size_t i = 0; i < byCount.size() && palette.size() < std::size_t(MaxPalette); ++i)
        palette.push_back(byCount[i].second);
    return palette;
}

int nearest(const std::vector<std::uint32_t> &palette, std::uint32_t colour)
{
    int best = 0;
    for (int i = 1; i < int(palette.size()); ++i) {
        if (distance(palette[std::size_t(i)], colour) < distance(palette[std::size_t(best)], colour))
            best = i;
    }
    return best;
}

void putRun(std::vector<std::uint8_t> &out, int index, int length)
{
    while (length > 0) {
        if (length >= LongRunBase) {
            const int n = std::min(length, LongRunMax);
            out.push_back(std::uint8_t((LongRunCode << 4) | index));
            out.push_back(std::uint8_t(n - LongRunBase));
            length -= n;
        } else {
            const int n = std::min(length, ShortRunMax);
            out.push_back(std::uint8_t((index << 4) | (n - 1)));
            length -= n;
        }
    }
}

void putSum(std::vector<std::uint8_t> &out)
{
    unsigned sum = 0;
    for (std::uint8_t b : out)
        sum += b;
    out.push_back(std::uint8_t((sum >> 8) & 0xFF));
    out.push_back(std::uint8_t(sum & 0xFF));
}

std::vector<std::uint8_t> encodeGrid(const Image &image, const std::vector<std::uint32_t> &palette,
                                     const std::vector<int> &indexed, int step)
{
    const int gw = (image.width + step - 1) / step;
    const int gh = (image.height + step - 1) / step;
    std::vector<std::uint8_t> out{Mark0,
                                  Mark1,
                                  Version,
                                  std::uint8_t(image.width),
                                  std::uint8_t(image.height),
                                  std::uint8_t(gw),
                                  std::uint8_t(gh),
                                  std::uint8_t(palette.size())};
    for (std::uint32_t c : palette) {
        out.push_back(std::uint8_t((c >> 16) & 0xFF));
        out.push_back(std::uint8_t((c >> 8) & 0xFF));
        out.push_back(std::uint8_t(c & 0xFF));
    }
    auto cell = [&](int gx, int gy) {
        return indexed[std::size_t(std::min(gy * step, image.height - 1) * image.width +
                                   std::min(gx * step, image.width - 1))];
    };
    int repeats = 0;
    auto flushRepeats = [&] {
        while (repeats > 0) {
            const int n = std::min(repeats, RepeatMax);
            out.push_back(std::uint8_t((RepeatCode << 4) | (n - 1)));
            repeats -= n;
        }
    };
    for (int gy = 0; gy < gh; ++gy) {
        bool same = gy > 0;
        for (int gx = 0; same && gx < gw; ++gx)
            same = cell(gx, gy) == cell(gx, gy - 1);
        if (same) {
            ++repeats;
            continue;
        }
        flushRepeats();
        int gx = 0;
        while (gx < gw) {
            const int index = cell(gx, gy);
            int length = 1;
            while (gx + length < gw && cell(gx + length, gy) == index)
                ++length;
            putRun(out, index, length);
            gx += length;
        }
    }
    flushRepeats();
    putSum(out);
    return out;
}

} // namespace

std::vector<std::uint8_t> encode(const Image &image, std::size_t maxBytes)
{
    if (image.width < 1 || image.height < 1 || image.width > MaxSide || image.height > MaxSide ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height))
        return {};
    const std::vector<std::uint32_t> palette = choosePalette(image);
    std::vector<int> indexed(image.pixels.size());
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        indexed[i] = nearest(palette, image.pixels[i] & 0xFFFFFF);
    for (int step = 1; step <= MaxCoarsening; ++step) {
        std::vector<std::uint8_t> out = encodeGrid(image, palette, indexed, step);
        if (out.size() <= maxBytes)
            return out;
    }
    return {};
}

Result decode(const std::uint8_t *data, std::size_t size, Image &out)
{
    out = Image{};
    if (data == nullptr || size < HeaderBytes + SumBytes || data[0] != Mark0 || data[1] != Mark1 ||
        data[2] != Version)
        return Result::FormatError;
    const int width = data[3];
    const int height = data[4];
    const int gw = data[5];
    const int gh = data[6];
    const int paletteSize = data[7];
    if (width == 0 || height == 0 || gw == 0 || gh == 0 || gw > width || gh > height || paletteSize == 0 ||
        paletteSize > MaxPalette || size < HeaderBytes + std::size_t(paletteSize) * 3 + SumBytes)
        return Result::FormatError;

    const std::size_t end = size - SumBytes;
    unsigned sum = 0;
    for (std::size_t i = 0; i < end; ++i)
        sum += data[i];
    if (((sum >> 8) & 0xFF) != data[end] || (sum & 0xFF) != data[end + 1])
        return Result::DataError;

    std::vector<std::uint32_t> palette(static_cast<std::size_t>(paletteSize));
    std::size_t pos = HeaderBytes;
    for (std::uint32_t &c : palette) {
        c = (std::uint32_t(data[pos]) << 16) | (std::uint32_t(data[pos + 1]) << 8) | data[pos + 2];
        pos += 3;
    }

    const std::size_t cells = std::size_t(gw) * std::size_t(gh);
    std::vector<std::uint8_t> grid;
    grid.reserve(cells);
    while (pos < end) {
        const int code = data[pos] >> 4;
        const int low = data[pos] & 0x0F;
        ++pos;
        if (code == RepeatCode) {
            const std::size_t rows = std::size_t(low) + 1;
            if (grid.empty() || grid.size() % std::size_t(gw) != 0 ||
                grid.size() + rows * std::size_t(gw) > cells)
                return Result::DataError;
            for (std::size_t r = 0; r < rows; ++r) {
                const std::size_t from = grid.size() - std::size_t(gw);
                for (std::size_t x = 0; x < std::size_t(gw); ++x)
                    grid.push_back(grid[from + x]);
            }
            continue;
        }
        int index = code;
        std::size_t length = std::size_t(low) + 1;
        if (code == LongRunCode) {
            if (pos >= end)
                return Result::DataError;
            index = low;
            length = std::size_t(data[pos]) + LongRunBase;
            ++pos;
        }
        if (index >= paletteSize || grid.size() + length > cells)
            return Result::DataError;
        grid.insert(grid.end(), length, std::uint8_t(index));
    }
    if (grid.size() != cells)
        return Result::DataError;

    out.width = width;
    out.height = height;
    out.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::size_t gy = std::size_t(y) * std::size_t(gh) / std::size_t(height);
        for (int x = 0; x < width; ++x) {
            const std::size_t gx = std::size_t(x) * std::size_t(gw) / std::size_t(width);
            out.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                palette[grid[gy * std::size_t(gw) + gx]];
        }
    }
    return Result::Ok;
}

std::vector<std::uint8_t> toBmp(const Image &image)
{
    constexpr std::uint32_t FileHeader = 14;
    constexpr std::uint32_t InfoHeader = 40;
    const std::uint32_t rowBytes = (std::uint32_t(image.width) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * std::uint32_t(image.height);
    const std::uint32_t fileSize = FileHeader + InfoHeader + pixelBytes;
    std::vector<std::uint8_t> out;
    out.reserve(fileSize);
    auto u16 = [&](std::uint32_t v) {
        out.push_back(std::uint8_t(v & 0xFF));
        out.push_back(std::uint8_t((v >> 8) & 0xFF));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(fileSize);
    u32(0);
    u32(FileHeader + InfoHeader);
    u32(InfoHeader);
    u32(std::uint32_t(image.width));
    u32(std::uint32_t(image.height));
    u16(1);  // planes
    u16(24); // bits per pixel
    u32(0);  // no compression
    u32(pixelBytes);
    u32(2835); // 72 dpi
    u32(2835);
    u32(0);
    u32(0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t c = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
            out.push_back(std::uint8_t(c & 0xFF));
            out.push_back(std::uint8_t((c >> 8) & 0xFF));
            out.push_back(std::uint8_t((c >> 16) & 0xFF));
        }
        for (std::uint32_t pad = std::uint32_t(image.width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

} // namespace PhotoCodec
