// tesselkorn: turns a black-and-white BMP into a C header that declares the
// picture as a PROGMEM byte array for AVR firmware.
#pragma once

#include "bmpheader.h"
#include "headertext.h"
#include "input.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

// The message for an outcome, with the path verbatim; empty for converted
// and interrupted, which stop without one.
std::string message(Outcome outcome, std::string_view path);

// Converts one input onto out: the header text, or the message for path.
// With its size given the input is read by position and checked complete
// before anything is written; without, it is a stream read once from its
// start, whose rows are held until all have arrived.
Outcome convertinput(std::streambuf &input, std::optional<std::uint64_t> size,
                     std::string_view path, std::ostream &out);

// Opens the file named by path and converts it onto out.
Outcome loadswbmp(const std::filesystem::path &path, std::ostream &out);

// The path as messages show it: its bytes as given on POSIX systems; on
// Windows, where names are UTF-16, in UTF-8.
std::string shownpath(const std::filesystem::path &path);

// The process exit status after a conversion: 0 when the header text was
// written completely, 1 after a message, a failed read or a failed write.
int exitstatus(Outcome outcome, bool written);

// The usage text for a wrong argument count, and its exit status.
extern const char *const usagetext;
constexpr int usagestatus = -2;
