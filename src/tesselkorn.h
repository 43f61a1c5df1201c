// tesselkorn: turns a black-and-white BMP into a C header that declares the
// picture as a PROGMEM byte array for AVR firmware.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Read-only view of the bytes of one input.
struct ByteView {
    const std::uint8_t *data;
    std::size_t size;
};

// How one conversion ended.
enum class Outcome {
    converted, // the header text was written
    notfound,  // the path names no readable file
    notbitmap, // not an uncompressed 1-bit BMP
    truncated, // the input ends before a byte the output needs
    empty,     // width or height is 0
};

// Where the pixels lie and how the output rows are shaped. All sizes are
// 64-bit: with 32-bit header fields nothing here can overflow.
struct Picture {
    std::uint64_t width;       // pixels per row
    std::uint64_t height;      // rows, always positive
    bool topdown;              // rows stored top first (negative height field)
    std::uint64_t pixeloffset; // file offset of the first stored row
    std::uint64_t stride;      // bytes per stored row, a multiple of 4
    std::uint64_t rowbytes;    // output bytes per row, eight pixels a byte
};

struct Inspection {
    Outcome outcome;
    Picture picture;      // meaningful only when outcome is converted
    std::uint64_t needed; // input length the conversion reads; when truncated,
                          // the length that would let it go on
};

// Composes four bytes least significant first.
std::uint32_t fgetint32(const std::uint8_t *bytes);

// The little-endian 32-bit (or 16-bit) field at offset, or nothing when the
// input ends before it.
std::optional<std::uint32_t> fread32(ByteView input, std::uint64_t offset);
std::optional<std::uint16_t> fread16(ByteView input, std::uint64_t offset);

// Reads the headers and checks that the input is a complete, non-empty,
// uncompressed 1-bit bitmap.
Inspection inspectbitmap(ByteView input);

// Writes the header text of a picture that inspectbitmap accepted.
void writeheader(const Picture &picture, ByteView input, std::ostream &out);

// The message for an outcome other than converted, with the path verbatim.
std::string message(Outcome outcome, std::string_view path);

// Converts the bytes of one input: the header text or the message for path.
Outcome convertbitmap(ByteView input, std::string_view path, std::ostream &out);

// The whole input named by path, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> readinput(const char *path);

// Reads the file named by path and converts it onto out.
Outcome loadswbmp(const char *path, std::ostream &out);

// The process exit status after a conversion: 0 when the header text was
// written completely, 1 after a message or a failed write.
int exitstatus(Outcome outcome, bool written);

// The usage text for a wrong argument count, and its exit status.
extern const char *const usagetext;
constexpr int usagestatus = -2;
