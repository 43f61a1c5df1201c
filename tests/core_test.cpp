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

class Convert : public ::testing::TestWithParam<std::tuple<std::uint32_t, std::uint32_t, bool>> {};

TEST_P(Convert, SameTextFromFileAndStream) {
    const auto [width, height, topdown] = GetParam();
    const Pixels pixels = randompixels(width, height, width + height);
    BmpLayout layout;
    layout.topdown = topdown;
    const auto bmp = encodebmp(pixels, layout);
    for (const std::optional<std::uint64_t> size :
         {std::optional<std::uint64_t>(bmp.size()), std::optional<std::uint64_t>()}) {
        const Converted converted = convert(bmp, size);
        EXPECT_EQ(converted.outcome, Outcome::converted);
        EXPECT_EQ(converted.text, expectedheader(pixels)) << (size ? "file" : "stream");
    }
}

// Rows of 25000 bytes make 150000 characters, more than one output block;
// rows longer than a read block or a held chunk (1 MiB) come in pieces; and
// pictures larger than a read block are read in several, rows straddling
// their edges.
INSTANTIATE_TEST_SUITE_P(Pieces, Convert,
                         ::testing::Values(std::make_tuple(200000u, 2u, false),
                                           std::make_tuple(8400000u, 2u, false),
                                           std::make_tuple(8400000u, 1u, true),
                                           std::make_tuple(2100u, 4100u, false),
                                           std::make_tuple(2100u, 4100u, true)));

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

TEST(Names, Utf16ShownAsUtf8) {
    EXPECT_EQ(utf8fromutf16(u"fehlt_\u00F6.bmp"), "fehlt_\xC3\xB6.bmp");
    EXPECT_EQ(utf8fromutf16(u"\u30ED\u30B4 1"), "\xE3\x83\xAD\xE3\x82\xB4 1");
    EXPECT_EQ(utf8fromutf16(u"\U0001F600"), "\xF0\x9F\x98\x80"); // a surrogate pair
    // Lone surrogates, which Windows names may hold, have no UTF-8 form.
    EXPECT_EQ(utf8fromutf16(std::u16string{0xD83D, u'a', 0xDE00}), "\xEF\xBF\xBD"
                                                                   "a\xEF\xBF\xBD");
}
