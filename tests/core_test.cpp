// The conversion core called directly: field readers, header arithmetic at
// the extremes, and text produced without a process.
#include "bitmaps.h"
#include "tesselkorn.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

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
    const Inspection inspection = inspectbitmap(view(bmp));
    EXPECT_EQ(inspection.outcome, Outcome::truncated);
    // 62 + (2^30 - 1) * 2^27 + 2^27, computed without overflow.
    EXPECT_EQ(inspection.needed, 62 + (std::uint64_t{1} << 57));
}

TEST(Inspection, LargestFieldsDoNotOverflow) {
    // Width 2^31 - 1 and height -2^31 (top-down) at a pixel offset near 2^32.
    const auto bmp = header(0x7FFFFFFF, 0x80000000, 0xFFFFFFFF);
    const Inspection inspection = inspectbitmap(view(bmp));
    EXPECT_EQ(inspection.outcome, Outcome::truncated);
    const std::uint64_t stride = std::uint64_t{1} << 28, rowbytes = std::uint64_t{1} << 28;
    EXPECT_EQ(inspection.needed,
              0xFFFFFFFFull + ((std::uint64_t{1} << 31) - 1) * stride + rowbytes);
}

TEST(Convert, RowsLongerThanTheOutputBlock) {
    // 25000 bytes a row make 150000 characters: the text is handed on mid-row.
    const Pixels pixels = randompixels(200000, 2, 4);
    const auto bmp = encodebmp(pixels, {});
    std::ostringstream out;
    EXPECT_EQ(convertbitmap(view(bmp), "wide.bmp", out), Outcome::converted);
    EXPECT_EQ(out.str(), expectedheader(pixels));
}

TEST(Convert, MessageCarriesThePathVerbatim) {
    const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    std::ostringstream out;
    EXPECT_EQ(convertbitmap(view(text), "%s%n\\x.bmp", out), Outcome::notbitmap);
    EXPECT_EQ(out.str(), "\n\nDatei %s%n\\x.bmp ist keine unkomprimierte s/w BMP-Datei ... \n\n");
}
