// How one conversion ended; shared by the header check, the input reading
// and the command line.
#pragma once

#include <cstddef>
#include <cstdint>

enum class Outcome {
    converted,   // the header text was written
    notfound,    // the path names no readable file
    notbitmap,   // not an uncompressed 1-bit BMP
    truncated,   // the input ends before a byte the output needs
    empty,       // width or height is 0
    toolarge,    // a stream's rows need more memory than can be had
    interrupted, // the input failed while the rows were being written
};

// Read-only view of bytes of one input.
struct ByteView {
    const std::uint8_t *data;
    std::size_t size;
};
