// The header text: the bmppic declaration written from the picture's rows.
#pragma once

#include "bmpheader.h"

#include <ostream>

// Hands the writer the stored bytes of the picture's rows, by position.
class RowSource {
  public:
    virtual ~RowSource() = default;

    // Stored bytes of output row `row` (0 is the top) from byte `start` on:
    // at least one and at most `count`, or none when the input fails.
    virtual ByteView fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) = 0;
};

// Writes the declaration of a picture that inspectheader accepted. False
// when the rows failed midway: the text then stops where it is.
bool writeheader(const Picture &picture, RowSource &rows, std::ostream &out);
