// tesselon run as a user runs it: bitmaps written by the test, standard
// output compared byte for byte, and the exit status.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const std::string usage = "\n\nTESSELON 0.01\n"
                          "-------------\n\n"
                          "Dateikonverter: \n"
                          "   Konvertiert eine s/w BMP-Datei in ein AVR kompatibles Headerfile.\n"
                          "   Hierfuer wird ein Array im Header generiert. Die Ausgabe des \n"
                          "   Headerfiles geschieht auf dem Standard-Output. Soll eine Datei\n"
                          "   geschrieben werden, so kann diese mittels Pipe Funktion in eine\n"
                          "   Datei umgeleitet werden.\n"
                          "   Syntax:   tesselkorn BMP-Dateiname\n"
                          "\nBeispiel:  tesselon mybmp.bmp > myheader.h\n\n";

// Converts pixels written in the given layout and expects their header.
void expectconverts(const Pixels &pixels, const BmpLayout &layout) {
    Scratch scratch;
    const auto file = scratch.write("pic.bmp", encodebmp(pixels, layout));
    const RunResult result = runtesselon(quoted(file));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expectedheader(pixels) + "\n");
    EXPECT_EQ(result.err, "");
}

} // namespace

TEST(Conversion, WorkedExampleTenByTwo) {
    Scratch scratch;
    const auto file = scratch.write("pic.bmp", encodebmp(tenbytwo(), {}));
    const RunResult result = runtesselon(quoted(file));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "static const unsigned char bmppic [] PROGMEM = {\n"
                          "  0x0A, 0x02,\n"
                          "  0xC0, 0x80, \n"
                          "  0x00, 0x00 };\n"
                          "\n"
                          "  \n");
}

TEST(Conversion, ColourTableIsNotConsulted) {
    // Whichever colour stands first, its pixels become 1-bits.
    for (bool whitefirst : {false, true}) {
        BmpLayout layout;
        layout.whitefirst = whitefirst;
        expectconverts(uniformpixels(10, 2, 0), layout);
        expectconverts(randompixels(21, 5, 7), layout);
    }
}

TEST(Conversion, UniformPicturesAndWidthMask) {
    // Index 0 everywhere: 0xFF but for the bits beyond the width.
    Scratch scratch;
    const auto file = scratch.write("black.bmp", encodebmp(uniformpixels(10, 3, 0), {}));
    EXPECT_NE(runtesselon(quoted(file)).out.find("  0xFF, 0xC0, \n  0xFF, 0xC0 };"),
              std::string::npos);
    expectconverts(uniformpixels(33, 4, 1), {});
}

struct GeometryCase {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t headersize;
    bool topdown;
    std::uint8_t fill;
};

void PrintTo(const GeometryCase &c, std::ostream *out) {
    *out << c.width << "x" << c.height << " header " << c.headersize
         << (c.topdown ? " top-down" : "") << " fill " << int{c.fill};
}

class Geometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, MatchesThePixels) {
    const GeometryCase c = GetParam();
    BmpLayout layout;
    layout.headersize = c.headersize;
    layout.topdown = c.topdown;
    layout.fill = c.fill;
    layout.gap = c.headersize > 40 ? 17 : 0; // a pixel offset that is no multiple of 4
    expectconverts(randompixels(c.width, c.height, c.width * 31 + c.height), layout);
}

// Widths around byte and word boundaries, heights 1 and more, every header
// kind, both row orders, and fill bits clear and set.
INSTANTIATE_TEST_SUITE_P(
    WidthsHeadersAndFill, Geometry,
    ::testing::Values(GeometryCase{1, 1, 40, false, 0x00}, GeometryCase{1, 5, 40, false, 0xFF},
                      GeometryCase{7, 2, 40, false, 0xFF}, GeometryCase{8, 3, 40, false, 0xFF},
                      GeometryCase{9, 3, 40, false, 0xAA}, GeometryCase{31, 2, 40, false, 0xFF},
                      GeometryCase{32, 4, 40, false, 0xFF}, GeometryCase{33, 3, 40, false, 0xFF},
                      GeometryCase{63, 2, 40, false, 0x55}, GeometryCase{64, 2, 40, false, 0xFF},
                      GeometryCase{65, 2, 40, false, 0xFF}, GeometryCase{128, 64, 40, false, 0x00},
                      GeometryCase{84, 48, 40, false, 0xFF}, GeometryCase{10, 2, 12, false, 0xFF},
                      GeometryCase{33, 7, 12, false, 0xFF}, GeometryCase{300, 3, 12, false, 0x00},
                      GeometryCase{17, 4, 108, false, 0xFF}, GeometryCase{17, 4, 124, false, 0xFF},
                      GeometryCase{1, 1, 40, true, 0xFF}, GeometryCase{33, 5, 40, true, 0xFF},
                      GeometryCase{40, 6, 124, true, 0x00},
                      // Beyond the old limits: rows wider than 2040 pixels and
                      // stored rows of more than 32767 bytes.
                      GeometryCase{2041, 2, 40, false, 0xFF}, GeometryCase{4100, 3, 40, true, 0xFF},
                      GeometryCase{800, 400, 40, false, 0xFF},
                      // The last row ends exactly where an output block is full.
                      GeometryCase{1584, 111, 40, false, 0xFF}));

struct RefusalCase {
    const char *name;
    void (*spoil)(std::vector<std::uint8_t> &bmp);
    std::string (*message)(const std::string &path);
};

void PrintTo(const RefusalCase &c, std::ostream *out) {
    *out << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, PrintsOneMessageAndFails) {
    const RefusalCase c = GetParam();
    auto bmp = encodebmp(randompixels(20, 3, 5), {});
    c.spoil(bmp);
    Scratch scratch;
    const auto file = scratch.write("pic.bmp", bmp);
    const RunResult result = runtesselon(quoted(file));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, c.message(file));
    EXPECT_EQ(result.err, "");
    // A pipe is read once, asking no more bytes than each field needs.
    const RunResult piped = runtesselon("/dev/stdin", throughpipe(file));
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.out, c.message("/dev/stdin"));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, Refusal,
    ::testing::Values(
        RefusalCase{"NoSignature", [](auto &b) { b[0] = 'P'; }, notbitmap},
        RefusalCase{"Os2ArraySignature", [](auto &b) { b[1] = 'A'; }, notbitmap}, // "BA"
        RefusalCase{"OnlyAnotherSignature",
                    [](auto &b) {
                        b = {'P', 'K'};
                    },
                    notbitmap},
        RefusalCase{"HeaderSize0", [](auto &b) { put32(b, 14, 0); }, notbitmap},
        RefusalCase{"HeaderSize8", [](auto &b) { put32(b, 14, 8); }, notbitmap},
        RefusalCase{"HeaderSize20", [](auto &b) { put32(b, 14, 20); }, notbitmap},
        RefusalCase{"HeaderSize20EndsAfterIt", [](auto &b) { put32(b, 14, 20), b.resize(18); },
                    notbitmap},
        RefusalCase{"HeaderSize39", [](auto &b) { put32(b, 14, 39); }, notbitmap},
        RefusalCase{"NoBits", [](auto &b) { put16(b, 28, 0); }, notbitmap},
        RefusalCase{"TwentyFourBits", [](auto &b) { put16(b, 28, 24); }, notbitmap},
        RefusalCase{"RunLengthCompressed", [](auto &b) { put32(b, 30, 1); }, notbitmap},
        RefusalCase{"NegativeWidth", [](auto &b) { put32(b, 18, 0xFFFFFFEC); }, notbitmap},
        RefusalCase{"ZeroWidth", [](auto &b) { put32(b, 18, 0); }, empty},
        RefusalCase{"ZeroHeight", [](auto &b) { put32(b, 22, 0); }, empty},
        RefusalCase{"EmptyFile", [](auto &b) { b.clear(); }, truncated},
        RefusalCase{"CutInHeader", [](auto &b) { b.resize(25); }, truncated},
        RefusalCase{"CutBeforeLastPixelByte", [](auto &b) { b.resize(b.size() - 2); }, truncated},
        RefusalCase{"PixelOffsetBeyondEnd", [](auto &b) { put32(b, 10, 0xFFFFFFF0); }, truncated},
        RefusalCase{"HugeDimensions",
                    [](auto &b) { put32(b, 18, 1u << 30), put32(b, 22, 1u << 30); }, truncated}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Conversion, WordFillAfterLastRowMayBeMissing) {
    const Pixels pixels = randompixels(20, 3, 5); // 3 bytes a row, stride 4
    auto bmp = encodebmp(pixels, {});
    bmp.pop_back();
    Scratch scratch;
    const RunResult result = runtesselon(quoted(scratch.write("pic.bmp", bmp)));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expectedheader(pixels) + "\n");
}

TEST(CommandLine, WrongArgumentCountPrintsUsage) {
    Scratch scratch;
    const auto file = quoted(scratch.write("pic.bmp", encodebmp(randompixels(8, 8, 1), {})));
    for (const std::string &arguments : {std::string(), file + " " + file, file + " x y"}) {
        const RunResult result = runtesselon(arguments);
        EXPECT_EQ(result.status, 254) << arguments; // -2
        EXPECT_EQ(result.out, usage) << arguments;
        EXPECT_EQ(result.err, "");
    }
}

TEST(CommandLine, PathsThatAreNoReadableFile) {
    Scratch scratch;
    for (const std::string &path :
         {scratch.path("missing.bmp"), scratch.path(""), scratch.path("100%n %s.bmp")}) {
        const RunResult result = runtesselon(quoted(path));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, notfound(path)); // the path verbatim, never a format
        EXPECT_EQ(result.err, "");
    }
}

TEST(CommandLine, FilesThatOnlyOthersMayWriteOrRead) {
    const auto unprivileged = asunprivileged();
    if (!unprivileged)
        GTEST_SKIP() << "running as root without setpriv: cannot test as an ordinary user";
    Scratch scratch;
    const Pixels pixels = randompixels(12, 4, 9);
    const auto readonly = scratch.write("readonly.bmp", encodebmp(pixels, {}));
    const auto unreadable = scratch.write("unreadable.bmp", encodebmp(pixels, {}));
    chmod(readonly.c_str(), 0444);
    chmod(unreadable.c_str(), 0000);
    // A copy of the program that an ordinary user may run wherever the build lies.
    const auto program = scratch.path("tesselon");
    ASSERT_EQ(shell("cp " + quoted(TESSELON_PATH) + " " + quoted(program)), 0);

    const RunResult converted = runtesselon(quoted(readonly), *unprivileged, buildprogram(program));
    EXPECT_EQ(converted.status, 0);
    EXPECT_EQ(converted.out, expectedheader(pixels) + "\n");

    const RunResult refused = runtesselon(quoted(unreadable), *unprivileged, buildprogram(program));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, notfound(unreadable));
}

TEST(CommandLine, PipeConvertsLikeTheFile) {
    Scratch scratch;
    const Pixels pixels = randompixels(300, 260, 11); // more than one read block
    auto bmp = encodebmp(pixels, {});
    const auto file = scratch.write("pic.bmp", bmp);
    const RunResult piped = runtesselon("/dev/stdin", throughpipe(file));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, expectedheader(pixels) + "\n");

    bmp.resize(bmp.size() - 5);
    const auto cut = scratch.write("cut.bmp", bmp);
    const RunResult pipedcut = runtesselon("/dev/stdin", throughpipe(cut));
    EXPECT_EQ(pipedcut.status, 1);
    EXPECT_EQ(pipedcut.out, truncated("/dev/stdin"));
}

TEST(CommandLine, FailedWriteIsNoSuccess) {
    Scratch scratch;
    const auto file = scratch.write("pic.bmp", encodebmp(randompixels(64, 64, 2), {}));
    EXPECT_EQ(shell(buildprogram() + " " + quoted(file) + " >/dev/full"), 1);
}
