// What the writer reads rows through: the stored bytes of the picture's
// rows by position, from a file or from rows held from a stream.
#pragma once

#include "outcome.h"

#include <cstdint>

class RowSource {
  public:
    virtual ~RowSource() = default;

    // Stored bytes of output row `row` (0 is the top) from byte `start` on:
    // at least one and at most `count`, or none when the input fails.
    virtual ByteView fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) = 0;
};
