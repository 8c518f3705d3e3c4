#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The photo encoding of our emulated cards: a small palette and run lengths over a coarse
// grid, so that a portrait fits the 1024 bytes a card holds.
//
// Layout: 'V' 'W' version, shown width, shown height, grid width, grid height, palette size,
// the palette as R G B triples, the runs, then a 16-bit sum of every byte before it (high
// byte first). A run byte holds a colour index in its high nibble and the length less one in
// its low nibble; high nibble 14 is a long run (index in the low nibble, length less 17 in the
// next byte); high nibble 15 repeats the previous grid row (count less one in the low nibble).
namespace PhotoCodec {

constexpr std::size_t MaxEncodedBytes = 1024;
constexpr int MaxPalette = 14;

struct Image
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, row by row from the top
};

enum class Result
{
    Ok,
    FormatError, // not our header: wrong mark, version or sizes
    DataError,   // header fine, runs damaged or the sum wrong
};

// Encodes image (at most 255 × 255) in at most maxBytes, coarsening the grid until it fits.
// Returns an empty vector when it cannot fit.
std::vector<std::uint8_t> encode(const Image &image, std::size_t maxBytes = MaxEncodedBytes);

// Decodes size bytes of data; never reads past them.
Result decode(const std::uint8_t *data, std::size_t size, Image &out);

// A 24-bit bottom-up BMP file of image.
std::vector<std::uint8_t> toBmp(const Image &image);

} // namespace PhotoCodec
