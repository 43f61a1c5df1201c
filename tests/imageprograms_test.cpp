// Bitmaps from real image programs: a PBM written by the test is turned into
// BMPs by netpbm, ImageMagick, GraphicsMagick, Pillow and GIMP, and tesselon
// must give the bytes
// that the PBM's pixels and the colour of the file's first colour-table
// entry call for.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

// PBM: 1 is black. The pixels here are PBM bits, not colour indices.
std::vector<std::uint8_t> encodepbm(const Pixels &black) {
    const std::string head =
        "P4\n" + std::to_string(black.width) + " " + std::to_string(black.height) + "\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    const std::uint32_t rowbytes = (black.width + 7) / 8;
    for (std::uint32_t y = 0; y < black.height; ++y) {
        std::vector<std::uint8_t> row(rowbytes, 0);
        for (std::uint32_t x = 0; x < black.width; ++x)
            if (black.at(x, y))
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

// The first of the candidates that the shell finds.
std::optional<std::string> firstinstalled(std::initializer_list<std::string> candidates,
                                          const std::string &probe = "") {
    for (const auto &candidate : candidates)
        if (installed(candidate) &&
            (probe.empty() || shell(candidate + probe + " >/dev/null 2>&1") == 0))
            return candidate;
    return std::nullopt;
}

// Debian's own names first: elsewhere on the path "convert" may be a wrapper.
std::optional<std::string> imagemagick() {
    return firstinstalled({"convert-im6.q16", "convert-im6", "magick", "convert"});
}

std::optional<std::string> pillow() {
    return firstinstalled({"/usr/bin/python3", "python3"}, " -c 'import PIL'");
}

enum class Tool { netpbm, imagemagick, graphicsmagick, pillow, gimp };

struct Program {
    const char *name;
    Tool tool;
    const char *command;           // {in}, {out}, {map}; {tool} stands for the tool
    std::uint32_t headersize = 40; // of the bitmap it writes: 12, 40 or at least 108
    bool negates = false;          // the program inverts the pixels
};

void PrintTo(const Program &program, std::ostream *out) {
    *out << program.name;
}

// The command with its placeholders filled, or nothing when the tool is missing.
std::optional<std::string> commandfor(const Program &program, const Scratch &scratch,
                                      std::string &reason) {
    std::optional<std::string> tool;
    switch (program.tool) {
    case Tool::netpbm:
        tool = firstinstalled({"ppmtobmp"});
        reason = "netpbm is not installed";
        break;
    case Tool::imagemagick:
        tool = imagemagick();
        reason = "ImageMagick is not installed";
        break;
    case Tool::graphicsmagick:
        tool = firstinstalled({"gm"});
        reason = "GraphicsMagick (graphicsmagick) is not installed";
        break;
    case Tool::pillow:
        tool = pillow();
        reason = "Python with Pillow (python3-pil) is not installed";
        break;
    case Tool::gimp:
        tool = firstinstalled({"gimp-console"});
        reason = "GIMP (gimp) is not installed";
        break;
    }
    if (!tool)
        return std::nullopt;
    std::string command = program.command;
    const std::pair<std::string, std::string> fills[] = {{"{in}", quoted(scratch.path("in.pbm"))},
                                                         {"{out}", quoted(scratch.path("out.bmp"))},
                                                         {"{map}", quoted(scratch.path("map.ppm"))},
                                                         {"{tool}", *tool}};
    for (const auto &[mark, text] : fills)
        for (std::size_t at; (at = command.find(mark)) != std::string::npos;)
            command.replace(at, mark.size(), text);
    return command;
}

const Program programs[] = {
    {"NetpbmWindows", Tool::netpbm, "ppmtobmp {in} >{out}"},
    {"NetpbmOs2", Tool::netpbm, "ppmtobmp -os2 {in} >{out}", 12},
    // A colour map file sets the table order: white first.
    {"NetpbmWhiteFirst", Tool::netpbm, "ppmtoppm <{in} | ppmtobmp -mapfile={map} >{out}"},
    {"ImageMagickBmp3", Tool::imagemagick, "{tool} {in} -type bilevel BMP3:{out}"},
    {"ImageMagickBmp5", Tool::imagemagick, "{tool} {in} -type bilevel BMP:{out}", 108},
    {"ImageMagickNegated", Tool::imagemagick, "{tool} {in} -negate -type bilevel BMP3:{out}", 40,
     true},
    {"GraphicsMagick", Tool::graphicsmagick, "{tool} convert {in} BMP3:{out}"},
    {"Pillow", Tool::pillow,
     "{tool} -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])' "
     "{in} "
     "{out}"},
};

// GIMP in batch mode, all sizes in one run because each start takes seconds:
// Script-Fu loads each PBM, makes it indexed with the 1-bit mono palette
// and saves it as BMP.
const Program gimp{"Gimp", Tool::gimp, "{tool}", 124};
const char gimpscript[] =
    "(define (tobmp in out)"
    "  (let ((image (car (gimp-file-load RUN-NONINTERACTIVE in in))))"
    "    (if (= (car (gimp-image-base-type image)) INDEXED) (gimp-image-convert-rgb image))"
    "    (gimp-image-convert-indexed image CONVERT-DITHER-NONE CONVERT-PALETTE-MONO 2 FALSE FALSE"
    "     \"\")"
    "    (file-bmp-save RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image))"
    "     out out)"
    "    (gimp-image-delete image)))";

const Program truecolour[] = {
    {"Netpbm", Tool::netpbm, "ppmtobmp -bpp=24 {in} >{out}"},
    {"ImageMagick", Tool::imagemagick, "{tool} {in} -type truecolor BMP3:{out}"},
    {"Pillow", Tool::pillow,
     "{tool} -c 'import sys; from PIL import Image; "
     "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.argv[2])' "
     "{in} {out}"},
};

struct Size {
    std::uint32_t width;
    std::uint32_t height;
};

void PrintTo(const Size &size, std::ostream *out) {
    *out << size.width << "x" << size.height;
}

// Writes the PBM and the colour map, runs the program; the BMP's bytes.
std::vector<std::uint8_t> makebmp(const std::string &command, const Pixels &black,
                                  const Scratch &scratch) {
    scratch.write("in.pbm", encodepbm(black));
    const std::string map = "P3\n2 1\n255\n255 255 255 0 0 0\n";
    scratch.write("map.ppm", std::vector<std::uint8_t>(map.begin(), map.end()));
    EXPECT_EQ(shell(command + " 2>/dev/null"), 0) << command;
    const std::string bmp = readfile(scratch.path("out.bmp"));
    return std::vector<std::uint8_t>(bmp.begin(), bmp.end());
}

// Sizes of the pictures every program converts.
const Size sizes[] = {{1, 1}, {10, 2}, {33, 7}, {84, 48}, {130, 5}};

// The black pixels of the test picture of a size.
Pixels picturefor(const Size &size) {
    return randompixels(size.width, size.height, size.width * 7 + size.height);
}

// Checks the header kind and colour table of a program's BMP of the black
// pixels, and that tesselon gives the bytes the first table colour calls for.
void expectconverts(const Program &program, const Pixels &black, const std::string &path) {
    const std::string text = readfile(path);
    const std::vector<std::uint8_t> bmp(text.begin(), text.end());
    ASSERT_GE(bmp.size(), 26u) << path;

    const std::uint32_t headersize = bmp[14] | bmp[15] << 8;
    if (program.headersize >= 108) {
        EXPECT_GE(headersize, program.headersize);
    } else {
        EXPECT_EQ(headersize, program.headersize);
    }
    // The first colour-table entry follows the headers: blue, green, red.
    const std::size_t table = 14 + headersize;
    ASSERT_GT(bmp.size(), table + 2);
    const bool firstblack = bmp[table] == 0 && bmp[table + 1] == 0 && bmp[table + 2] == 0;
    const bool firstwhite = bmp[table] == 0xFF && bmp[table + 1] == 0xFF && bmp[table + 2] == 0xFF;
    ASSERT_TRUE(firstblack || firstwhite);
    if (std::string(program.name) == "NetpbmWhiteFirst") {
        ASSERT_TRUE(firstwhite) << "the colour map file puts white first";
    }

    // Colour index 0 is the first entry's colour.
    Pixels indices = black;
    for (auto &index : indices.index) {
        const bool isblack = (index == 1) != program.negates;
        index = isblack == firstblack ? 0 : 1;
    }
    const RunResult result = runtesselon(quoted(path));
    EXPECT_EQ(result.status, 0) << path;
    EXPECT_EQ(result.out, expectedheader(indices) + "\n") << path;
}

class FromImageProgram : public ::testing::TestWithParam<std::tuple<Program, Size>> {};

} // namespace

TEST_P(FromImageProgram, OneBitsForTheFirstTableColour) {
    const auto &[program, size] = GetParam();
    Scratch scratch;
    std::string reason;
    const auto command = commandfor(program, scratch, reason);
    if (!command)
        GTEST_SKIP() << reason;
    const Pixels black = picturefor(size);
    makebmp(*command, black, scratch);
    expectconverts(program, black, scratch.path("out.bmp"));
}

TEST(FromGimp, OneBitsForTheFirstTableColour) {
    Scratch scratch;
    std::string reason;
    const auto tool = commandfor(gimp, scratch, reason);
    if (!tool)
        GTEST_SKIP() << reason;
    std::string calls;
    for (const Size &size : sizes) {
        const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
        scratch.write(name + ".pbm", encodepbm(picturefor(size)));
        calls += "(tobmp \"" + scratch.path(name + ".pbm") + "\" \"" + scratch.path(name + ".bmp") +
                 "\")";
    }
    // GIMP keeps its settings under HOME: a fresh one, in the scratch folder.
    const std::string command =
        "cd " + quoted(scratch.path("")) + " && HOME=" + quoted(scratch.path("")) + " " + *tool +
        " -i -d -f -b " + quoted("(begin " + std::string(gimpscript) + calls + ")") +
        " -b '(gimp-quit 0)' >/dev/null 2>&1";
    ASSERT_EQ(shell(command), 0) << command;
    for (const Size &size : sizes)
        expectconverts(
            gimp, picturefor(size),
            scratch.path(std::to_string(size.width) + "x" + std::to_string(size.height) + ".bmp"));
}

INSTANTIATE_TEST_SUITE_P(Programs, FromImageProgram,
                         ::testing::Combine(::testing::ValuesIn(programs),
                                            ::testing::ValuesIn(sizes)),
                         [](const auto &info) {
                             const Size size = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(size.width) + "x" + std::to_string(size.height);
                         });

class TrueColour : public ::testing::TestWithParam<Program> {};

TEST_P(TrueColour, IsRefused) {
    Scratch scratch;
    std::string reason;
    const auto command = commandfor(GetParam(), scratch, reason);
    if (!command)
        GTEST_SKIP() << reason;
    makebmp(*command, randompixels(12, 5, 3), scratch);
    const RunResult result = runtesselon(quoted(scratch.path("out.bmp")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, notbitmap(scratch.path("out.bmp")));
}

INSTANTIATE_TEST_SUITE_P(Programs, TrueColour, ::testing::ValuesIn(truecolour),
                         [](const auto &info) { return std::string(info.param.name); });
