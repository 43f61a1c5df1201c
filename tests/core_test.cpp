// The conversion core called directly: field readers, header arithmetic at
// the extremes, and text produced without a process from bytes in memory,
// read by position and as a stream.
#include "bitmaps.h"
#include "tesselkorn.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <tuple>

namespace {

ByteView view(const std::vector<std::uint8_t> &bytes) {
    return {bytes.data(), bytes.size()};
}

std::vector<std::uint8_t> header(std::uint32_t width, std::uint32_t height, std::uint32_t offset) {
    auto bmp = encodebmp(uniformpixels(1, 1, 0), {});
    bmp.resize(62);
    put32(bmp, 10, offset);
    put32(bmp, 18, width);
    put32(bmp, 22, height);
    return bmp;
}

struct Converted {
    Outcome outcome;
    std::string text;
};

// Converts bytes held in memory: read by position as a file of `size`
// bytes, or as a stream when size is nothing.
Converted convert(const std::vector<std::uint8_t> &bytes, std::optional<std::uint64_t> size,
                  std::string_view path = "pic.bmp") {
    std::stringbuf input(std::string(bytes.begin(), bytes.end()), std::ios_base::in);
    std::ostringstream out;
    const Outcome outcome = convertinput(input, size, path, out);
    return {outcome, out.str()};
}

} // namespace

TEST(FieldReaders, LittleEndianAndBoundsChecked) {
    const std::vector<std::uint8_t> bytes{0x78, 0x56, 0x34, 0x12, 0xFF};
    EXPECT_EQ(fgetint32(bytes.data()), 0x12345678u);
    EXPECT_EQ(fread32(view(bytes), 1), 0xFF123456u);
    EXPECT_EQ(fread32(view(bytes), 2), std::nullopt);
    EXPECT_EQ(fread16(view(bytes), 3), 0xFF12u);
    EXPECT_EQ(fread16(view(bytes), 4), std::nullopt);
    EXPECT_EQ(fread32(view(bytes), std::numeric_limits<std::uint64_t>::max() - 1), std::nullopt);
}

TEST(Inspection, AbsurdHeaderInSmallFileIsTruncated) {
    const auto bmp = header(1u << 30, 1u << 30, 62);
    const Inspection inspection = inspectbitmap(view(bmp), bmp.size());
    EXPECT_EQ(inspection.outcome, Outcome::truncated);
    // 62 + (2^30 - 1) * 2^27 + 2^27, computed without overflow.
    EXPECT_EQ(inspection.needed, 62 + (std::uint64_t{1} << 57));
}

TEST(Inspection, LargestFieldsDoNotOverflow) {
    // Width 2^31 - 1 and height -2^31 (top-down) at a pixel offset near 2^32.
    const auto bmp = header(0x7FFFFFFF, 0x80000000, 0xFFFFFFFF);
    const Inspection inspection = inspectbitmap(view(bmp), bmp.size());
    EXPECT_EQ(inspection.outcome, Outcome::truncated);
    const std::uint64_t stride = std::uint64_t{1} << 28, rowbytes = std::uint64_t{1} << 28;
    EXPECT_EQ(inspection.needed,
              0xFFFFFFFFull + ((std::uint64_t{1} << 31) - 1) * stride + rowbytes);
}

struct ConvertCase {
    std::uint32_t width;
    std::uint32_t height;
    bool topdown;
    std::uint32_t pixeloffset = 0; // when set: rows moved there, or, inside the
                                   // headers, the field alone pointing back
};

class Convert : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(Convert, SameTextFromFileAndStream) {
    const ConvertCase c = GetParam();
    const Pixels pixels = randompixels(c.width, c.height, c.width + c.height);
    BmpLayout layout;
    layout.topdown = c.topdown;
    auto bmp = encodebmp(pixels, layout);
    const std::uint32_t rowsat = fgetint32(bmp.data() + 10);
    if (c.pixeloffset > rowsat) {
        const std::vector<std::uint8_t> rows(bmp.begin() + rowsat, bmp.end());
        bmp.resize(c.pixeloffset);
        bmp.insert(bmp.end(), rows.begin(), rows.end());
    }
    if (c.pixeloffset)
        put32(bmp, 10, c.pixeloffset);
    const Converted file = convert(bmp, bmp.size()), stream = convert(bmp, std::nullopt);
    EXPECT_EQ(file.outcome, Outcome::converted);
    EXPECT_EQ(stream.outcome, Outcome::converted);
    EXPECT_EQ(stream.text, file.text);
    if (c.pixeloffset < rowsat) // rows made of the headers' own bytes
        EXPECT_EQ(file.text.rfind("static const unsigned char bmppic [] PROGMEM = {\n", 0), 0u);
    else
        EXPECT_EQ(file.text, expectedheader(pixels));
}

// Rows of 25000 bytes make 150000 characters, more than one output block;
// rows longer than a read block or a held chunk (1 MiB) come in pieces;
// pictures larger than a read block are read in several, rows straddling
// their edges; a stream passes a far gap in several pieces, takes rows that
// lie within its headers from the bytes already read, and rows of one byte.
INSTANTIATE_TEST_SUITE_P(
    Pieces, Convert,
    ::testing::Values(ConvertCase{200000u, 2u, false}, ConvertCase{8400000u, 2u, false},
                      ConvertCase{8400000u, 1u, true}, ConvertCase{2100u, 4100u, false},
                      ConvertCase{2100u, 4100u, true}, ConvertCase{20u, 3u, true, 0x20000},
                      ConvertCase{20u, 3u, false, 14}, ConvertCase{300u, 2u, true, 30},
                      ConvertCase{7u, 5u, false}));

TEST(ConvertFailure, InputThatShrinksWhileRowsAreWrittenStopsWithoutMessage) {
    // The size taken at the start promises more than the reads deliver,
    // which end after the first read block of this top-down picture.
    const Pixels pixels = randompixels(8000, 2100, 3);
    BmpLayout topdown;
    topdown.topdown = true;
    auto bmp = encodebmp(pixels, topdown);
    const std::uint64_t size = bmp.size();
    bmp.resize(bmp.size() * 3 / 4);
    const Converted converted = convert(bmp, size);
    EXPECT_EQ(converted.outcome, Outcome::interrupted);
    EXPECT_GT(converted.text.size(), 1000u);
    EXPECT_EQ(expectedheader(pixels).compare(0, converted.text.size(), converted.text), 0);
    EXPECT_EQ(exitstatus(converted.outcome, true), 1);
}

// A stream whose reads fail, as a file stream reports an I/O error, once
// `good` bytes have been read.
class FailingInput : public std::stringbuf {
  public:
    FailingInput(const std::vector<std::uint8_t> &bytes, std::streamsize good)
        : std::stringbuf(std::string(bytes.begin(), bytes.end()), std::ios_base::in), good_(good) {}

  protected:
    std::streamsize xsgetn(char *into, std::streamsize count) override {
        if (count > good_)
            throw std::ios_base::failure("read error");
        good_ -= count;
        return std::stringbuf::xsgetn(into, count);
    }

  private:
    std::streamsize good_;
};

TEST(ConvertFailure, UnreadableInputIsNotFound) {
    const auto bmp = encodebmp(randompixels(20, 3, 5), {});
    // A stream failing in its headers, or while its rows are held.
    for (const std::streamsize good : {std::streamsize{10}, std::streamsize{70}}) {
        FailingInput input(bmp, good);
        std::ostringstream out;
        EXPECT_EQ(convertinput(input, std::nullopt, "pic.bmp", out), Outcome::notfound) << good;
        EXPECT_EQ(out.str(), message(Outcome::notfound, "pic.bmp")) << good;
    }
    // A file whose headers cannot all be read although its size says so.
    const Converted headless = convert({'B', 'M'}, 100);
    EXPECT_EQ(headless.outcome, Outcome::notfound);
    EXPECT_EQ(headless.text, message(Outcome::notfound, "pic.bmp"));
}

TEST(ConvertFailure, MessageCarriesThePathVerbatim) {
    const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    for (const auto size :
         {std::optional<std::uint64_t>(text.size()), std::optional<std::uint64_t>()}) {
        const Converted converted = convert(text, size, "%s%n\\x.bmp");
        EXPECT_EQ(converted.outcome, Outcome::notbitmap);
        EXPECT_EQ(converted.text,
                  "\n\nDatei %s%n\\x.bmp ist keine unkomprimierte s/w BMP-Datei ... \n\n");
    }
}
