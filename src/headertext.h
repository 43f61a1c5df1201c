// The header text: the bmppic declaration written from the picture's rows.
#pragma once

#include "bmpheader.h"
#include "rowsource.h"

#include <ostream>

// Writes the declaration of a picture that inspectheader accepted. False
// when the rows failed midway: the text then stops where it is.
bool writeheader(const Picture &picture, RowSource &rows, std::ostream &out);
