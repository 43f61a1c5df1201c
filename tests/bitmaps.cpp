#include "bitmaps.h"

#include <cstdio>
#include <random>

Pixels randompixels(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    Pixels pixels{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
    std::mt19937 random(seed);
    for (auto &index : pixels.index)
        index = static_cast<std::uint8_t>(random() & 1);
    return pixels;
}

Pixels uniformpixels(std::uint32_t width, std::uint32_t height, std::uint8_t colourindex) {
    return {width, height, std::vector<std::uint8_t>(std::size_t{width} * height, colourindex)};
}

void put16(std::vector<std::uint8_t> &bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t> &bytes, std::size_t offset, std::uint32_t value) {
    put16(bytes, offset, static_cast<std::uint16_t>(value));
    put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

namespace {

// One stored row: pixels packed most significant bit first, the bits beyond
// the width and the word fill set from layout.fill.
std::vector<std::uint8_t> storedrow(const Pixels &pixels, std::uint32_t y, std::uint8_t fill) {
    const std::size_t stride = (std::size_t{pixels.width} + 31) / 32 * 4;
    std::vector<std::uint8_t> row(stride, fill);
    for (std::uint32_t x = 0; x < pixels.width; ++x) {
        const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
        auto &byte = row[x / 8];
        if (x % 8 == 0)
            byte = fill &
                   static_cast<std::uint8_t>(0xFF >> std::min<std::uint32_t>(8, pixels.width - x));
        if (pixels.at(x, y))
            byte |= bit;
        else
            byte &= static_cast<std::uint8_t>(~bit);
    }
    return row;
}

} // namespace

std::vector<std::uint8_t> encodebmp(const Pixels &pixels, const BmpLayout &layout) {
    const bool core = layout.headersize == 12;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t tablestart = 14 + layout.headersize;
    const std::size_t pixeloffset = tablestart + 2 * entry + layout.gap;
    std::vector<std::uint8_t> bytes(pixeloffset, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 10, static_cast<std::uint32_t>(pixeloffset));
    put32(bytes, 14, layout.headersize);
    if (core) {
        put16(bytes, 18, static_cast<std::uint16_t>(pixels.width));
        put16(bytes, 20, static_cast<std::uint16_t>(pixels.height));
        put16(bytes, 22, 1);
        put16(bytes, 24, layout.bitcount);
    } else {
        put32(bytes, 18, pixels.width);
        const auto height = static_cast<std::int32_t>(pixels.height);
        put32(bytes, 22, static_cast<std::uint32_t>(layout.topdown ? -height : height));
        put16(bytes, 26, 1);
        put16(bytes, 28, layout.bitcount);
        put32(bytes, 30, layout.compression);
        put32(bytes, 46, 2); // colours used
    }
    // Colour table: black and white, in the order asked for.
    const std::uint8_t first = layout.whitefirst ? 0xFF : 0x00;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        bytes[tablestart + channel] = first;
        bytes[tablestart + entry + channel] = static_cast<std::uint8_t>(~first);
    }
    for (std::uint32_t row = 0; row < pixels.height; ++row) {
        const std::uint32_t y = layout.topdown ? row : pixels.height - 1 - row;
        const auto stored = storedrow(pixels, y, layout.fill);
        bytes.insert(bytes.end(), stored.begin(), stored.end());
    }
    put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    return bytes;
}

Pixels tenbytwo() {
    Pixels pixels = uniformpixels(10, 2, 1);
    pixels.index[0] = pixels.index[1] = pixels.index[8] = 0;
    return pixels;
}

std::vector<std::uint8_t> expectedbytes(const Pixels &pixels) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(pixels.width),
                                    static_cast<std::uint8_t>(pixels.height)};
    const std::uint32_t bytesperrow = (pixels.width + 7) / 8;
    for (std::uint32_t y = 0; y < pixels.height; ++y) {
        for (std::uint32_t i = 0; i < bytesperrow; ++i) {
            unsigned value = 0;
            for (std::uint32_t x = 8 * i; x < 8 * i + 8 && x < pixels.width; ++x)
                if (pixels.at(x, y) == 0)
                    value |= 0x80u >> (x % 8);
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    return bytes;
}

std::string expectedheader(const Pixels &pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "  0x%.2X, 0x%.2X,\n  ", pixels.width, pixels.height);
    std::string header = std::string("static const unsigned char bmppic [] PROGMEM = {\n") + text;
    const std::vector<std::uint8_t> bytes = expectedbytes(pixels);
    const std::size_t bytesperrow = (pixels.width + 7) / 8;
    for (std::size_t i = 2; i < bytes.size(); ++i) {
        std::snprintf(text, sizeof text, i + 1 == bytes.size() ? "0x%.2X };\n" : "0x%.2X, ",
                      bytes[i]);
        header += text;
        if ((i - 2) % bytesperrow == bytesperrow - 1)
            header += "\n  ";
    }
    return header;
}
