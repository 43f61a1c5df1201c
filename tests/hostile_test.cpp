// Hostile input: every cut of a valid file, header fields with their high
// bits set, and absurd dimensions. Each gives a correct header or exactly
// one message with status 1, and absurd headers cost no memory.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

namespace {

class CutFile : public ::testing::TestWithParam<std::uint32_t> {};

struct FieldCase {
    const char *name;
    std::size_t offset;
    std::uint32_t value;
    std::string (*message)(const std::string &path); // nullptr: converts
    std::uint32_t rows = 5;                          // rows converted, counted from the bottom
};

void PrintTo(const FieldCase &c, std::ostream *out) {
    *out << c.name;
}

class HighBits : public ::testing::TestWithParam<FieldCase> {};

// A bitmap whose header claims 2^30 x 2^30 pixels in 100 bytes.
std::vector<std::uint8_t> absurdbitmap() {
    auto bmp = encodebmp(randompixels(20, 3, 1), {});
    bmp.resize(100);
    put32(bmp, 18, 1u << 30);
    put32(bmp, 22, 1u << 30);
    return bmp;
}

} // namespace

TEST_P(CutFile, EveryLengthGivesTheHeaderOrOneMessage) {
    BmpLayout layout;
    layout.headersize = GetParam();
    const Pixels pixels = randompixels(33, 4, 8); // 5 bytes a row, stride 8
    const auto whole = encodebmp(pixels, layout);
    const std::size_t needed = whole.size() - 3; // the last row's word fill may be missing
    Scratch scratch;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const auto file = scratch.write("cut.bmp", {whole.begin(), whole.begin() + length});
        const RunResult result = runtesselon(quoted(file));
        if (length >= needed) {
            EXPECT_EQ(result.status, 0) << length;
            EXPECT_EQ(result.out, expectedheader(pixels) + "\n") << length;
        } else {
            EXPECT_EQ(result.status, 1) << length;
            EXPECT_EQ(result.out, truncated(file)) << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HeaderKinds, CutFile, ::testing::Values(12u, 40u, 124u));

TEST_P(HighBits, CorrectHeaderOrOneMessage) {
    const FieldCase c = GetParam();
    const Pixels pixels = randompixels(20, 5, 6);
    auto bmp = encodebmp(pixels, {});
    put32(bmp, c.offset, c.value);
    Scratch scratch;
    const auto file = scratch.write("pic.bmp", bmp);
    const RunResult result = runtesselon(quoted(file));
    if (c.message) {
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, c.message(file));
        return;
    }
    // The rows kept are the bottom ones, the first stored; a negative
    // height reads them in file order.
    Pixels kept{pixels.width, c.rows, {}};
    for (std::uint32_t y = pixels.height; y-- > pixels.height - c.rows;)
        kept.index.insert(kept.index.end(), pixels.index.begin() + y * pixels.width,
                          pixels.index.begin() + (y + 1) * pixels.width);
    if (c.rows == pixels.height)
        kept = pixels;
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expectedheader(kept) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Fields, HighBits,
    ::testing::Values(FieldCase{"PixelOffsetTopBit", 10, 0x80000000, truncated},
                      FieldCase{"PixelOffsetAllOnes", 10, 0xFFFFFFFF, truncated},
                      FieldCase{"PixelOffsetNear4GiB", 10, 0xFFFFFFFC, truncated},
                      FieldCase{"HeaderSizeTopBit", 14, 0x80000028, nullptr},
                      FieldCase{"HeaderSizeAllOnes", 14, 0xFFFFFFFF, nullptr},
                      FieldCase{"WidthTopBit", 18, 0x80000000, notbitmap},
                      FieldCase{"WidthAllOnes", 18, 0xFFFFFFFF, notbitmap},
                      FieldCase{"WidthLargestPositive", 18, 0x7FFFFFFF, truncated},
                      FieldCase{"HeightTopBit", 22, 0x80000000, truncated},
                      FieldCase{"HeightLargestPositive", 22, 0x7FFFFFFF, truncated},
                      FieldCase{"HeightMinusOne", 22, 0xFFFFFFFF, nullptr, 1},
                      FieldCase{"BitCountTopBit", 28, 0x00008001, notbitmap},
                      FieldCase{"CompressionTopBit", 30, 0x80000000, notbitmap},
                      // Width x height overflows 32 bits; stride x height is
                      // computed in 64 bits and far exceeds the file.
                      FieldCase{"Dimensions2To20Each", 18, 1u << 20, truncated}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AbsurdHeader, LargestOs2DimensionsAreTruncated) {
    BmpLayout os2;
    os2.headersize = 12;
    auto bmp = encodebmp(randompixels(8, 2, 1), os2);
    put16(bmp, 18, 0xFFFF);
    put16(bmp, 20, 0xFFFF);
    Scratch scratch;
    const auto file = scratch.write("os2.bmp", bmp);
    const RunResult result = runtesselon(quoted(file));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, truncated(file));
}

TEST(AbsurdHeader, CostsNoMemoryFromFileOrPipe) {
    Scratch scratch;
    const long baseline =
        peakkib(quoted(scratch.write("small.bmp", encodebmp(randompixels(8, 8, 1), {}))));
    ASSERT_GT(baseline, 0);
    const auto absurd = quoted(scratch.write("absurd.bmp", absurdbitmap()));
    const long fromfile = peakkib(absurd);
    const long frompipe = peakkib("/dev/stdin", "cat " + absurd + " | ");
    EXPECT_LE(fromfile, baseline + 1024);
    EXPECT_LE(frompipe, baseline + 1024);
    EXPECT_EQ(runtesselon("/dev/stdin", "cat " + absurd + " | ").out, truncated("/dev/stdin"));

    // The measurement sees memory that is used: an 8 MB picture is held once.
    const long large =
        peakkib(scratch.write("large.bmp", encodebmp(uniformpixels(8000, 8000, 1), {})));
    EXPECT_GE(large, baseline + 7 * 1024);
    EXPECT_LE(large, baseline + 8 * 1024 + 2048);
}
