// Bitmaps from real image programs: a PBM written by the test is turned into
// BMPs by netpbm, ImageMagick, GraphicsMagick, Pillow and GIMP, and tesselon
// must give the bytes
// that the PBM's pixels and the colour of the file's first colour-table
// entry call for.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <bitset>
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
    bool blackfirst = false;       // its colour table must list black first
    bool pngonly = false;          // a drawing recipe that takes PNG files only
};

void PrintTo(const Program &program, std::ostream *out) {
    *out << program.name;
}

// The command with its placeholders filled, or nothing when the tool is missing.
std::optional<std::string> commandfor(const Program &program, const Scratch &scratch,
                                      std::string &reason, const std::string &in = "in.pbm") {
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
    const std::pair<std::string, std::string> fills[] = {{"{in}", quoted(scratch.path(in))},
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

// GIMP in batch mode, all pictures in one run because each start takes
// seconds: Script-Fu loads each picture, puts it on white (transparency),
// makes it 8-bit (16-bit PNGs), then indexed with the 1-bit mono palette
// without dithering, and saves it as BMP. The guide gives the same script.
const Program gimp{"Gimp", Tool::gimp, "{tool}", 124, false, true};
const char gimpscript[] =
    "(define (tobmp in out)"
    "  (let ((image (car (gimp-file-load RUN-NONINTERACTIVE in in))))"
    "    (gimp-context-set-background '(255 255 255))"
    "    (gimp-image-flatten image)"
    "    (if (not (= (car (gimp-image-get-precision image)) PRECISION-U8-GAMMA))"
    "        (gimp-image-convert-precision image PRECISION-U8-GAMMA))"
    "    (if (= (car (gimp-image-base-type image)) INDEXED) (gimp-image-convert-rgb image))"
    "    (gimp-image-convert-indexed image CONVERT-DITHER-NONE CONVERT-PALETTE-MONO 2 FALSE FALSE"
    "     \"\")"
    "    (file-bmp-save RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image))"
    "     out out)"
    "    (gimp-image-delete image)))";

// The guide's recipes for drawings: on white, thresholded at 50 %, black
// first; one lights the light pixels instead.
const Program recipes[] = {
    {"ImageMagick", Tool::imagemagick,
     "{tool} {in} -background white -alpha remove -threshold 50% -type bilevel BMP3:{out}", 40,
     false, true},
    {"ImageMagickLightPixels", Tool::imagemagick,
     "{tool} {in} -background white -alpha remove -threshold 50% -negate -type bilevel "
     "BMP3:{out}",
     40, true, true},
    {"GraphicsMagick", Tool::graphicsmagick,
     "{tool} convert {in} -background white -extent 0x0 +matte -threshold 50% BMP3:{out}", 40,
     false, true},
    {"Pillow", Tool::pillow,
     "{tool} -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
     "im = im.convert(\"I\").point(lambda v: v / 257).convert(\"L\") "
     "if im.mode.startswith(\"I\") else im; "
     "page = Image.new(\"RGBA\", im.size, \"white\"); page.alpha_composite(im.convert(\"RGBA\")); "
     "page.convert(\"L\").convert(\"1\", dither=Image.Dither.NONE).save(sys.argv[2])' {in} {out}",
     40, false, true},
    {"Netpbm", Tool::netpbm,
     "pngtopam -mix -background=white {in} | ppmtopgm | pamthreshold -simple -threshold=0.5 | "
     "ppmtobmp >{out}",
     40, false, true, true},
};

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
    if (program.blackfirst) {
        ASSERT_TRUE(firstblack) << "the recipe must put black first";
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

// Drawings as users have them, made by ImageMagick from pixels the test
// chooses, each dark (ink: black, and lit) or light, none near 50 %: an 8-
// and a 16-bit grey PNG, an RGBA PNG whose transparent pixels are dark (and
// must come out white), and a colour JPEG of 8 x 8 blocks.
enum class Drawing { grey8, grey16, transparent, colourjpeg };
const Drawing drawings[] = {Drawing::grey8, Drawing::grey16, Drawing::transparent,
                            Drawing::colourjpeg};
const std::uint32_t drawingwidth = 48, drawingheight = 24;

const char *drawingname(Drawing drawing) {
    switch (drawing) {
    case Drawing::grey8:
        return "Grey8";
    case Drawing::grey16:
        return "Grey16";
    case Drawing::transparent:
        return "Transparent";
    case Drawing::colourjpeg:
        break;
    }
    return "ColourJpeg";
}

std::string drawingfile(Drawing drawing) {
    return drawing == Drawing::colourjpeg ? "drawing.jpg" : "drawing.png";
}

bool transparentat(std::uint32_t x, std::uint32_t y) {
    return (x + y) % 3 == 0;
}

// Dark where the drawing was drawn (before transparency).
Pixels strokes(Drawing drawing) {
    if (drawing != Drawing::colourjpeg)
        return randompixels(drawingwidth, drawingheight, 17);
    const Pixels blocks = randompixels(drawingwidth / 8, drawingheight / 8, 21);
    Pixels dark{drawingwidth, drawingheight, {}};
    for (std::uint32_t y = 0; y < drawingheight; ++y)
        for (std::uint32_t x = 0; x < drawingwidth; ++x)
            dark.index.push_back(blocks.at(x / 8, y / 8));
    return dark;
}

// The black pixels a recipe must give: the strokes, less the transparent pixels.
Pixels inkof(Drawing drawing) {
    Pixels ink = strokes(drawing);
    if (drawing == Drawing::transparent)
        for (std::uint32_t y = 0; y < drawingheight; ++y)
            for (std::uint32_t x = 0; x < drawingwidth; ++x)
                if (transparentat(x, y))
                    ink.index[std::size_t{y} * drawingwidth + x] = 0;
    return ink;
}

// Writes the drawing in a netpbm format and has ImageMagick make the PNG or
// JPEG of it; false without ImageMagick.
bool writedrawing(Drawing drawing, const Scratch &scratch, const std::string &prefix = "") {
    const auto magick = imagemagick();
    if (!magick)
        return false;
    const Pixels dark = strokes(drawing);
    const auto grey = [](std::uint32_t x, std::uint32_t y, bool isdark) {
        return static_cast<std::uint8_t>(isdark ? (x * 13 + y * 7) % 91
                                                : 165 + (x * 17 + y * 5) % 91);
    };
    const std::string size = std::to_string(drawingwidth) + " " + std::to_string(drawingheight);
    std::string text = drawing == Drawing::transparent
                           ? "P7\nWIDTH " + std::to_string(drawingwidth) + "\nHEIGHT " +
                                 std::to_string(drawingheight) +
                                 "\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n"
                       : drawing == Drawing::colourjpeg ? "P6\n" + size + "\n255\n"
                       : drawing == Drawing::grey16     ? "P5\n" + size + "\n65535\n"
                                                        : "P5\n" + size + "\n255\n";
    const std::uint8_t inks[][3] = {{120, 0, 0}, {0, 60, 0}, {0, 0, 160}, {60, 60, 60}};
    const std::uint8_t papers[][3] = {
        {255, 230, 120}, {200, 255, 200}, {180, 220, 255}, {240, 240, 240}};
    for (std::uint32_t y = 0; y < drawingheight; ++y)
        for (std::uint32_t x = 0; x < drawingwidth; ++x) {
            const bool clear = drawing == Drawing::transparent && transparentat(x, y);
            const bool isdark = dark.at(x, y) == 1 || clear;
            const std::uint8_t value = grey(x, y, isdark);
            switch (drawing) {
            case Drawing::grey8:
                text += static_cast<char>(value);
                break;
            case Drawing::grey16: // low bytes that 8 bits cannot hold
                text += static_cast<char>(value), text += static_cast<char>(x % 7 + 1);
                break;
            case Drawing::transparent:
                text += static_cast<char>(value), text += static_cast<char>(clear ? 0 : 255);
                break;
            case Drawing::colourjpeg: {
                const std::uint8_t *colour = (isdark ? inks : papers)[(x / 8 + y / 8) % 4];
                text.append(reinterpret_cast<const char *>(colour), 3);
                break;
            }
            }
        }
    const std::string source =
        scratch.write("drawing.pnm", std::vector<std::uint8_t>(text.begin(), text.end()));
    const char *target = drawing == Drawing::colourjpeg ? " -quality 95 JPEG:"
                         : drawing == Drawing::grey16
                             ? " -define png:bit-depth=16 -define png:color-type=0 PNG:"
                         : drawing == Drawing::transparent ? " PNG32:"
                                                           : " PNG:";
    return shell(*magick + " " + quoted(source) + target +
                 quoted(scratch.path(prefix + drawingfile(drawing)))) == 0;
}

class FromDrawing : public ::testing::TestWithParam<std::tuple<Program, Drawing>> {};

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

TEST_P(FromDrawing, ThresholdedBlackFirst) {
    const auto &[recipe, drawing] = GetParam();
    if (recipe.pngonly && drawing == Drawing::colourjpeg)
        GTEST_SKIP() << "the recipe takes PNG files";
    Scratch scratch;
    std::string reason;
    const auto command = commandfor(recipe, scratch, reason, drawingfile(drawing));
    if (!command)
        GTEST_SKIP() << reason;
    if (!writedrawing(drawing, scratch))
        GTEST_SKIP() << "ImageMagick, which makes the drawings, is not installed";
    ASSERT_EQ(shell(*command + " 2>/dev/null"), 0) << *command;
    expectconverts(recipe, inkof(drawing), scratch.path("out.bmp"));
}

// A photo dithered on purpose: a grey ramp from black on the left to white
// on the right comes out mostly lit at the left and mostly dark at the right.
TEST(FromDrawing, DitheredOnPurpose) {
    const auto magick = imagemagick();
    if (!magick)
        GTEST_SKIP() << "ImageMagick is not installed";
    Scratch scratch;
    const std::string ramp = scratch.path("ramp.png");
    ASSERT_EQ(shell(*magick + " -size 16x64 gradient:white-black -rotate 90 " + quoted(ramp)), 0);
    const std::string bmp = scratch.path("out.bmp");
    ASSERT_EQ(shell(*magick + " " + quoted(ramp) +
                    " -colorspace Gray -ordered-dither o8x8 -type bilevel BMP3:" + quoted(bmp)),
              0);
    const std::string file = readfile(bmp);
    ASSERT_GT(file.size(), 60u);
    EXPECT_EQ(file.substr(54, 3), std::string(3, '\0')) << "black first";
    const RunResult run = runtesselon(quoted(bmp));
    ASSERT_EQ(run.status, 0);
    // 64 pixels a row: 8 bytes; count the lit pixels in the first and last two.
    std::vector<unsigned> bytes;
    for (std::size_t at = run.out.find("0x"); at != std::string::npos;
         at = run.out.find("0x", at + 2))
        bytes.push_back(static_cast<unsigned>(std::stoul(run.out.substr(at + 2, 2), nullptr, 16)));
    ASSERT_EQ(bytes.size(), 2u + 16 * 8);
    std::size_t left = 0, right = 0;
    for (std::size_t row = 0; row < 16; ++row)
        for (std::size_t byte = 0; byte < 2; ++byte) {
            left += std::bitset<8>(bytes[2 + row * 8 + byte]).count();
            right += std::bitset<8>(bytes[2 + row * 8 + 6 + byte]).count();
        }
    EXPECT_GT(left, 16u * 16 * 3 / 4) << "a quarter of the pixels, mostly lit";
    EXPECT_LT(right, 16u * 16 / 4) << "a quarter of the pixels, mostly dark";
}

// The library's font and the animation examples' bitmaps are what their
// scripts make: examples/font.py draws the font, examples/sheets.sh runs the
// sheets guide's commands on animated GIFs.
TEST(ExampleBitmaps, AreWhatTheirScriptsMake) {
    const auto magick = imagemagick();
    if (!magick || !firstinstalled({"montage-im6.q16", "montage"}) || !installed("python3"))
        GTEST_SKIP() << "ImageMagick or python3 is not installed";
    Scratch scratch;
    const std::string examples = std::string(TESSELON_SOURCE_DIR) + "/examples/";
    ASSERT_EQ(shell("bash " + quoted(examples + "sheets.sh") + " " + quoted(scratch.path("")) +
                    " 2>" + quoted(scratch.path("sheets.log")) + " && python3 " +
                    quoted(examples + "font.py") + " " + quoted(scratch.path("font6x7.bmp")) + " " +
                    quoted(scratch.path("font6x7latin1.bmp"))),
              0)
        << readfile(scratch.path("sheets.log"));
    for (const char *bitmap :
         {"spinner.bmp", "ball0.bmp", "ball1.bmp", "ball2.bmp", "ball3.bmp", "font6x7.bmp",
          "font6x7latin1.bmp"})
        EXPECT_EQ(readfile(scratch.path(bitmap)), readfile(examples + bitmap)) << bitmap;
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
    // And the drawings, where ImageMagick can make them.
    const bool withdrawings = imagemagick().has_value();
    for (const Drawing drawing : drawings) {
        const std::string name = drawingname(drawing);
        if (withdrawings && writedrawing(drawing, scratch, name + "-"))
            calls += "(tobmp \"" + scratch.path(name + "-" + drawingfile(drawing)) + "\" \"" +
                     scratch.path(name + ".bmp") + "\")";
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
    for (const Drawing drawing : drawings)
        if (withdrawings)
            expectconverts(gimp, inkof(drawing),
                           scratch.path(std::string(drawingname(drawing)) + ".bmp"));
}

INSTANTIATE_TEST_SUITE_P(Programs, FromImageProgram,
                         ::testing::Combine(::testing::ValuesIn(programs),
                                            ::testing::ValuesIn(sizes)),
                         [](const auto &info) {
                             const Size size = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(size.width) + "x" + std::to_string(size.height);
                         });

INSTANTIATE_TEST_SUITE_P(Recipes, FromDrawing,
                         ::testing::Combine(::testing::ValuesIn(recipes),
                                            ::testing::ValuesIn(drawings)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    drawingname(std::get<1>(info.param));
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
