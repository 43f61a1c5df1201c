// Getting an input's bytes: opening it read-only, reading a file by
// position in bounded blocks, and holding the rows a stream delivers.
#pragma once

#include "bmpheader.h"
#include "rowsource.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <streambuf>
#include <vector>

struct OpenInput {
    std::unique_ptr<std::filebuf> file;
    std::optional<std::uint64_t> size; // length of a regular file or block device;
                                       // nothing for pipes and character devices
};

// Opens the input read-only: the input is never written, so files the user
// may not write convert too. Nothing when path names no readable file.
std::optional<OpenInput> openinput(const std::filesystem::path &path);

// The first bytes of an input that can be read at any position, as many as
// the headers take; nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> readhead(std::streambuf &input, std::uint64_t size);

// Reads a stream's headers, taking no more bytes than they ask; the bytes
// taken are left in head. notfound when the stream fails.
Inspection readstreamheader(std::streambuf &input, std::vector<std::uint8_t> &head);

// The rows of an input that can be read at any position, fetched in blocks
// of bounded size: memory does not grow with the picture or its offset.
class FileRows : public RowSource {
  public:
    FileRows(std::streambuf &input, const Picture &picture);
    ByteView fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) override;

  private:
    bool load(std::uint64_t from, std::uint64_t to);

    std::streambuf &input_;
    Picture picture_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockstart_ = 0; // input offset of block_[0]
};

// The rows of a stream, held as they arrive: a bottom-up picture's first
// output row is the last to arrive. Only the output bytes of each row are
// kept, in chunks allocated as the bytes come.
class HeldRows : public RowSource {
  public:
    // Takes the rows of picture from a stream whose first bytes, head, were
    // read already: converted once all arrived, truncated when the stream
    // ends first, notfound when it fails. Throws std::bad_alloc when the
    // rows need more memory than can be had.
    Outcome hold(std::streambuf &input, const Picture &picture, ByteView head);
    ByteView fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) override;

  private:
    Picture picture_{};
    std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
};
