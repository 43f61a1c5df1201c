// Test pictures: pixel grids, their BMP encodings and the header text
// expected for them, worked out from the pixels alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Colour indices, one per pixel, top row first.
struct Pixels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> index; // 0 or 1

    std::uint8_t at(std::uint32_t x, std::uint32_t y) const {
        return index[std::size_t{y} * width + x];
    }
};

Pixels randompixels(std::uint32_t width, std::uint32_t height, std::uint32_t seed);
Pixels uniformpixels(std::uint32_t width, std::uint32_t height, std::uint8_t colourindex);

struct BmpLayout {
    std::uint32_t headersize = 40; // 12 (OS/2), 40, 108 (V4) or 124 (V5)
    bool topdown = false;          // negative height, rows stored top first
    bool whitefirst = false;       // colour table order
    std::uint8_t fill = 0x00;      // bits beyond the width and word fill
    std::uint32_t gap = 0;         // extra bytes between colour table and pixels
    std::uint16_t bitcount = 1;
    std::uint32_t compression = 0;
};

std::vector<std::uint8_t> encodebmp(const Pixels &pixels, const BmpLayout &layout = {});

// The example picture of the README's format notes: 10 x 2, pixels 0, 1
// and 8 of the top row have colour index 0, all others index 1.
Pixels tenbytwo();

// The bytes of the array for the pixels: width, height, then the rows.
std::vector<std::uint8_t> expectedbytes(const Pixels &pixels);

// The header text for the pixels, as tesselon prints it without the final line end.
std::string expectedheader(const Pixels &pixels);

// Little-endian stores into an encoded bitmap.
void put16(std::vector<std::uint8_t> &bytes, std::size_t offset, std::uint16_t value);
void put32(std::vector<std::uint8_t> &bytes, std::size_t offset, std::uint32_t value);
