// Hostile input: every cut of a valid file, header fields with their high
// bits set, absurd dimensions and huge or far-placed pictures. Each gives a
// correct header or exactly one message with status 1, and memory follows
// the rows a conversion must hold, not the file.
#include "bitmaps.h"
#include "bmpheader.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    layout.gap = 5; // cuts between the colour table and the pixels too
    const Pixels pixels = randompixels(33, 4, 8); // 5 bytes a row, stride 8
    const auto whole = encodebmp(pixels, layout);
    const std::size_t needed = whole.size() - 3; // the last row's word fill may be missing
    Scratch scratch;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const auto file = scratch.write("cut.bmp", {whole.begin(), whole.begin() + length});
        // The same cut as a file, read by position, and through a pipe, read once.
        for (const auto &[path, prefix] :
             {std::pair(file, std::string()),
              std::pair(std::string("/dev/stdin"), throughpipe(file))}) {
            const RunResult result = runtesselon(quoted(path), prefix);
            if (length >= needed) {
                EXPECT_EQ(result.status, 0) << length << " " << path;
                EXPECT_EQ(result.out, expectedheader(pixels) + "\n") << length << " " << path;
            } else {
                EXPECT_EQ(result.status, 1) << length << " " << path;
                EXPECT_EQ(result.out, truncated(path)) << length << " " << path;
            }
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

// A bitmap of several hundred MB whose rows are a hole in the file: every
// pixel has colour index 0. A negative height stores them top-down.
std::string writesparse(const Scratch &scratch, const std::string &name, std::int32_t height) {
    const std::uint32_t width = 16384, stride = width / 8;
    auto bmp = encodebmp(uniformpixels(32, 1, 0), {});
    bmp.resize(fgetint32(bmp.data() + 10));
    put32(bmp, 18, width);
    put32(bmp, 22, static_cast<std::uint32_t>(height));
    const auto file = scratch.write(name, bmp);
    std::filesystem::resize_file(file, bmp.size() + std::uint64_t{stride} * std::abs(height));
    return file;
}

TEST(Memory, FilesCostTheSameWhateverTheirSizeOrOffset) {
    Scratch scratch;
    const Peak small = peakof(scratch.write("small.bmp", encodebmp(randompixels(16, 16, 1), {})));
    ASSERT_EQ(small.status, 0);
    ASSERT_GT(small.kib, 0);
    const Pixels pixels = randompixels(16, 16, 2);
    const auto far = scratch.writeat("far.bmp", encodebmp(pixels, {}), 0xF0000000);
    for (const std::string &file : {writesparse(scratch, "bottomup.bmp", 140000),
                                    writesparse(scratch, "topdown.bmp", -140000), far,
                                    scratch.write("absurd.bmp", absurdbitmap())}) {
        const Peak peak = peakof(quoted(file));
        EXPECT_EQ(peak.status, file.find("absurd") == std::string::npos ? 0 : 1) << file;
        EXPECT_LE(peak.kib, small.kib + 4096) << file;
    }
    EXPECT_EQ(runtesselon(quoted(far)).out, expectedheader(pixels) + "\n");
}

TEST(Memory, PipesHoldOnlyTheRowsThatArrived) {
    Scratch scratch;
    const auto piped = [&](const std::string &file) {
        return peakof("/dev/stdin", throughpipe(file));
    };
    const long small =
        piped(scratch.write("small.bmp", encodebmp(randompixels(16, 16, 1), {}))).kib;
    ASSERT_GT(small, 0);
    const auto absurd = scratch.write("absurd.bmp", absurdbitmap());
    EXPECT_LE(piped(absurd).kib, small + 1024);
    EXPECT_EQ(runtesselon("/dev/stdin", throughpipe(absurd)).out, truncated("/dev/stdin"));

    // The measurement sees memory that is used: the 8 MB of a bottom-up
    // picture's rows are held until the last (its top row) has arrived.
    const Peak large =
        piped(scratch.write("large.bmp", encodebmp(uniformpixels(8000, 8000, 1), {})));
    EXPECT_EQ(large.status, 0);
    EXPECT_GE(large.kib, small + 7 * 1024);
    EXPECT_LE(large.kib, small + 8 * 1024 + 2048);
}

TEST(Memory, PipeBeyondMemoryIsTooLarge) {
#ifdef TESSELON_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    Scratch scratch;
    const auto file = writesparse(scratch, "large.bmp", 140000);
    const RunResult result =
        runtesselon("/dev/stdin", throughpipe(file), limitedtesselon(96 * 1024));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, toolarge("/dev/stdin"));
    EXPECT_EQ(result.err, "");
}
