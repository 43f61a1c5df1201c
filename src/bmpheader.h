// The BMP headers: reading their fields, checking that they describe a
// complete, non-empty, uncompressed 1-bit picture, and where its rows lie.
#pragma once

#include "outcome.h"

#include <optional>

// Every field the conversion reads lies in the input's first bytes.
constexpr std::uint64_t headerlength = 34;

// Where the pixels lie and how the output rows are shaped. All sizes are
// 64-bit: with 32-bit header fields nothing here can overflow.
struct Picture {
    std::uint64_t width;       // pixels per row
    std::uint64_t height;      // rows, always positive
    bool topdown;              // rows stored top first (negative height field)
    std::uint64_t pixeloffset; // file offset of the first stored row
    std::uint64_t stride;      // bytes per stored row, a multiple of 4
    std::uint64_t rowbytes;    // output bytes per row, eight pixels a byte
    std::uint64_t end;         // one past the last byte the output is made from

    // Position in file order of output row `row` (0 is the top).
    std::uint64_t storedrow(std::uint64_t row) const { return topdown ? row : height - 1 - row; }
    // File offset of output row `row`.
    std::uint64_t rowoffset(std::uint64_t row) const {
        return pixeloffset + storedrow(row) * stride;
    }
};

struct Inspection {
    Outcome outcome;
    Picture picture;      // meaningful only when outcome is converted
    std::uint64_t needed; // when truncated, the input length that would let it go on
};

// Composes four bytes least significant first.
std::uint32_t fgetint32(const std::uint8_t *bytes);

// The little-endian 32-bit (or 16-bit) field at offset, or nothing when the
// bytes end before it.
std::optional<std::uint32_t> fread32(ByteView bytes, std::uint64_t offset);
std::optional<std::uint16_t> fread16(ByteView bytes, std::uint64_t offset);

// Judges the headers from an input's first bytes. A field beyond them gives
// truncated with the length that holds it; picture.end is not checked.
Inspection inspectheader(ByteView head);

// Judges an input of `size` bytes whose first bytes are head (all of them,
// or at least headerlength): also truncated when the rows end beyond size.
Inspection inspectbitmap(ByteView head, std::uint64_t size);
