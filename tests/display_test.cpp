// The picture on the glass: the display example firmware is built around
// tesselon's output, run in simavr with a virtual SSD1306 or SH1106 on its
// I2C or SPI bus, and the panel must show the picture's colour-index-0
// pixels lit at the position drawn, and nothing else; with no module
// answering, the firmware must blink its LED instead of hanging.
#include "../TesselonDisplay/src/tesselon_display.h"
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

namespace {

const std::string example = std::string(TESSELON_SOURCE_DIR) + "/examples/display/";

// Skips the test, naming the package, where a tool is missing.
#define SKIP_WITHOUT_PANEL()                                                                       \
    do {                                                                                           \
        if (std::string(SIMPANEL_PATH).empty())                                                    \
            GTEST_SKIP() << "no simulated panel: simavr's libraries were not found when "          \
                            "configuring (Debian: libsimavr-dev libelf-dev pkg-config)";           \
        for (const char *tool : {"avr-gcc", "make"})                                               \
            if (!installed(tool))                                                                  \
                GTEST_SKIP() << tool << " is not installed (Debian: gcc-avr avr-libc make)";       \
    } while (false)

struct Glass {
    int width = 0, height = 0;
    std::vector<bool> lit; // top row first
};

// A PPM of the panel at one pixel a panel pixel: lit pixels are light.
Glass readglass(const std::string &file) {
    std::istringstream in(readfile(file));
    std::string magic;
    int maxval = 0;
    Glass glass;
    in >> magic >> glass.width >> glass.height >> maxval;
    in.get();
    for (int i = 0; i < glass.width * glass.height; ++i) {
        char rgb[3] = {};
        in.read(rgb, 3);
        glass.lit.push_back(static_cast<unsigned char>(rgb[0]) > 0x80);
    }
    return in ? glass : Glass{};
}

// The preview's text view of the panel: a line a row, '#' for a lit pixel.
Glass readtext(const std::string &file) {
    std::istringstream in(readfile(file));
    Glass glass;
    for (std::string line; std::getline(in, line); ++glass.height) {
        glass.width = static_cast<int>(line.size());
        for (const char pixel : line)
            glass.lit.push_back(pixel == '#');
    }
    return glass;
}

// The array of a header tesselon wrote, as pixels: 1-bits have colour index 0.
Pixels pixelsofheader(const std::string &text) {
    std::vector<std::uint32_t> bytes;
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 2))
        bytes.push_back(
            static_cast<std::uint32_t>(std::stoul(text.substr(at + 2, 2), nullptr, 16)));
    Pixels pixels{bytes.at(0), bytes.at(1), {}};
    const std::uint32_t rowbytes = (pixels.width + 7) / 8;
    for (std::uint32_t y = 0; y < pixels.height; ++y)
        for (std::uint32_t x = 0; x < pixels.width; ++x)
            pixels.index.push_back((bytes.at(2 + y * rowbytes + x / 8) >> (7 - x % 8) & 1) ? 0 : 1);
    return pixels;
}

// Whether the glass shows pixels' colour-index-0 pixels lit with the top
// left one at column x, row y, and nothing else.
bool showsonly(const Glass &glass, const Pixels &pixels, int x, int y) {
    for (int gy = 0; gy < glass.height; ++gy)
        for (int gx = 0; gx < glass.width; ++gx) {
            const int px = gx - x, py = gy - y;
            const bool inside = px >= 0 && py >= 0 && px < static_cast<int>(pixels.width) &&
                                py < static_cast<int>(pixels.height);
            if (glass.lit[gy * glass.width + gx] != (inside && pixels.at(px, py) == 0))
                return false;
        }
    return glass.width > 0;
}

// The glass shows pixels' colour-index-0 pixels lit with the top left one
// at column x, row y, and nothing else.
// The PCD8544's glass, the one with 48 rows, is 84 wide; the others 128,
// or as wide as given.
void expectglass(const Glass &glass, int rows, const Pixels &pixels, int x, int y, int width = 0) {
    ASSERT_EQ(glass.width, width ? width : rows == 48 ? 84 : 128);
    ASSERT_EQ(glass.height, rows);
    int wrong = 0;
    for (int gy = 0; gy < glass.height; ++gy)
        for (int gx = 0; gx < glass.width; ++gx) {
            const int px = gx - x, py = gy - y;
            const bool inside = px >= 0 && py >= 0 && px < static_cast<int>(pixels.width) &&
                                py < static_cast<int>(pixels.height);
            const bool expected = inside && pixels.at(px, py) == 0;
            if (glass.lit[gy * glass.width + gx] != expected && ++wrong <= 5)
                ADD_FAILURE() << "panel pixel " << gx << ", " << gy
                              << (expected ? " dark" : " lit");
        }
    EXPECT_EQ(wrong, 0);
}

// What a drawing call leaves on a glass: a window of pixels with its top
// left pixel at column x, row y, its colour-index-0 pixels lit (the others
// in invert mode). The controller writes 8-row pages, or the ST7920
// 16-pixel words: the pixels that share them with the window are darkened
// (lit in invert mode); the rest of the glass is left as it was.
void drawonglass(Glass &glass, const Pixels &pixels, int x, int y, bool words, bool inverted) {
    const int w = static_cast<int>(pixels.width), h = static_cast<int>(pixels.height);
    const int left = std::max(x, 0), right = std::min(x + w, glass.width);
    const int top = std::max(y, 0), bottom = std::min(y + h, glass.height);
    if (left >= right || top >= bottom)
        return;
    for (int gy = 0; gy < glass.height; ++gy)
        for (int gx = 0; gx < glass.width; ++gx) {
            const bool touched = words ? gy >= top && gy < bottom && gx / 16 * 16 < right &&
                                             gx / 16 * 16 + 16 > left
                                       : gx >= left && gx < right && gy / 8 * 8 < bottom &&
                                             gy / 8 * 8 + 8 > top;
            if (!touched)
                continue;
            const int px = gx - x, py = gy - y;
            const bool inside = px >= 0 && py >= 0 && px < w && py < h;
            glass.lit[gy * glass.width + gx] = (inside && pixels.at(px, py) == 0) != inverted;
        }
}

// The glass expected lit pixel by pixel.
void expectlit(const Glass &glass, const Glass &expected) {
    ASSERT_EQ(glass.width, expected.width);
    ASSERT_EQ(glass.height, expected.height);
    int wrong = 0;
    for (int i = 0; i < glass.width * glass.height; ++i)
        if (glass.lit[i] != expected.lit[i] && ++wrong <= 5)
            ADD_FAILURE() << "panel pixel " << i % glass.width << ", " << i / glass.width
                          << (expected.lit[i] ? " dark" : " lit");
    EXPECT_EQ(wrong, 0);
}

struct Fill {
    int x, y, width, height;
    bool lit;
};

struct GlassCase {
    std::string name;
    Pixels (*pixels)(); // nullptr: the bundled sample picture
    int x, y;
    bool spi;
    int rows = 64;
    bool whitefirst = false;
    const char *panel = "-address 0x3C"; // where the panel is; nullptr: no panel at all
    const char *address = "0x3C";        // where the firmware looks for it
    std::string controller = "ssd1306";
    int tilewidth = 0, tileheight = 0, tile = -1; // one tile of the picture, a sheet, alone
    const char *text = nullptr;                   // or this text, with the picture as its font
    const char *model = "";                       // the model's own options: how it starts
    bool flip = false;                            // the firmware flips the panel
    int offset = -1;                              // and sets this column offset, if any
    bool refused = false;                         // which the controller refuses: a fault
    int columns = 128;                            // the SH1107's glass width: 128 or 64
    bool spread = true;                           // an SSD1306 case: on every controller too
    bool inverted = false;                        // drawn in invert mode
    std::optional<Fill> fill = std::nullopt;      // a rectangle filled after the picture
    const char *mcu = "atmega328p";               // the chip, and its clock in Hz
    const char *frequency = "16000000";
    int resetpin = -1; // on I2C, the module's RES on this TESSELON_PIN number
    int cspin = -1;    // on SPI, CS on this bit of port B
};

// The case with the module's RES on pin (a TESSELON_PIN number), which the
// chip may refuse: a fault.
GlassCase withreset(GlassCase c, int pin, bool refused) {
    c.resetpin = pin;
    c.refused = refused;
    return c;
}

// The case with SPI's CS on bit pin of port B, one of the USI's own: refused.
GlassCase withcs(GlassCase c, int pin) {
    c.cspin = pin;
    c.refused = true;
    return c;
}

// The case on an ATtiny85 at a clock of frequency Hz, its buses on the USI.
GlassCase tiny85(GlassCase c, const char *frequency) {
    c.mcu = "attiny85";
    c.frequency = frequency;
    c.spread = false;
    c.name = "Tiny85" + c.name;
    return c;
}

// The case on an SSD1306 and, on the SPI, on the ST7920: the page and the
// word controllers.
std::vector<GlassCase> pagesandwords(GlassCase c) {
    c.spread = false;
    GlassCase st7920 = c;
    st7920.controller = "st7920";
    st7920.spi = true;
    st7920.name += "St7920";
    return {c, st7920};
}

// The case drawn in invert mode.
GlassCase inverted(GlassCase c) {
    c.inverted = true;
    return c;
}

// The case with a rectangle filled over its picture.
GlassCase filled(GlassCase c, Fill fill) {
    c.fill = fill;
    return c;
}

// The case on the SH1107's 64 x 128 module, 64 columns wide.
GlassCase narrow(GlassCase c) {
    c.controller = "sh1107";
    c.rows = 128;
    c.columns = 64;
    c.name = "Sh1107x64" + c.name;
    return c;
}

// The case on a module mounted and wired as `model` says, which the
// firmware turns (flip) and moves (offset) to show the picture upright.
GlassCase turned(GlassCase c, const char *model, bool flip, int offset, bool refused = false) {
    c.model = model;
    c.flip = flip;
    c.offset = offset;
    c.refused = refused;
    return c;
}

// The case on an ST7920 that an earlier firmware left as `options` say.
GlassCase st7920warm(const char *name, const char *options) {
    GlassCase c{name, [] { return randompixels(128, 64, 22); }, 0, 0, true};
    c.controller = "st7920";
    c.model = options;
    return c;
}

// The case writing text with its picture as the font, glyphs of width x height.
GlassCase text(GlassCase c, int width, int height, const char *line) {
    c.tilewidth = width;
    c.tileheight = height;
    c.text = line;
    return c;
}

// The case drawing one tile of its picture, cut into tiles of width x height.
GlassCase tile(GlassCase c, int width, int height, int index) {
    c.tilewidth = width;
    c.tileheight = height;
    c.tile = index;
    return c;
}

// A tile past the last one is refused; the example then blinks, as on a fault.
bool tilemissing(const GlassCase &c) {
    if (c.tile < 0)
        return false;
    const Pixels sheet = c.pixels();
    return c.tile >= static_cast<int>(sheet.width / c.tilewidth * (sheet.height / c.tileheight));
}

// A tile of a sheet of tiles of width x height, numbered left to right,
// then top to bottom.
Pixels tileof(const Pixels &sheet, int width, int height, int index) {
    const int perrow = static_cast<int>(sheet.width) / width;
    const int left = index % perrow * width, top = index / perrow * height;
    Pixels cut{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            cut.index.push_back(sheet.at(left + x, top + y));
    return cut;
}

// The code points of a UTF-8 line, one a cell: -1 for a sequence that is
// malformed (a lead byte the continuation bytes it asks for do not all
// follow, a byte no character starts with), which ends before the byte
// that breaks it.
std::vector<long> codepoints(const std::string &line) {
    std::vector<long> cells;
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(line[at]); };
        const unsigned char lead = byte(i++);
        const int more = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
        long code = more == 0 ? lead : more == 1 ? lead & 0x1F : more == 2 ? lead & 0x0F : lead & 0x07;
        int read = 0;
        for (; more > 0 && read < more && i < line.size() && (byte(i) & 0xC0) == 0x80; ++read)
            code = code << 6 | (byte(i++) & 0x3F);
        cells.push_back(more < 0 || read < more ? -1 : code);
    }
    return cells;
}

// A line of text: the glyphs of a font sheet side by side, U+0020 to
// U+007E, then U+00A0 to U+00FF; a character it has no glyph for is its
// first, the blank.
Pixels textof(const Pixels &font, int width, int height, const std::string &line) {
    const int glyphs =
        static_cast<int>(font.width) / width * (static_cast<int>(font.height) / height);
    const std::vector<long> cells = codepoints(line);
    Pixels strip{static_cast<std::uint32_t>(width * cells.size()),
                 static_cast<std::uint32_t>(height),
                 std::vector<std::uint8_t>(width * cells.size() * height)};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const long code = cells[i];
        const int glyph = code >= 0x20 && code < 0x7F    ? static_cast<int>(code) - 0x20
                          : code >= 0xA0 && code <= 0xFF ? static_cast<int>(code) - 0xA0 + 95
                                                         : 0;
        const Pixels cell = tileof(font, width, height, glyph < glyphs ? glyph : 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                strip.index[y * strip.width + i * width + x] = cell.at(x, y);
    }
    return strip;
}

// What the glass shows: the picture, the tile of it, or the text.
Pixels shown(const GlassCase &c, const Pixels &picture) {
    if (c.text)
        return textof(picture, c.tilewidth, c.tileheight, c.text);
    return c.tile < 0 ? picture : tileof(picture, c.tilewidth, c.tileheight, c.tile);
}

void PrintTo(const GlassCase &c, std::ostream *out) {
    *out << c.name;
}

// Glass checks the lit pixels; a fault blinks the LED on PB5.
bool expectsfault(const GlassCase &c) {
    return !c.panel || std::string(c.panel) != std::string("-address ") + c.address ||
           tilemissing(c) || c.refused;
}

// The controllers of the driver's list of panels but the SSD1306, each by
// its full panel: its stem, the glass its name gives, whether it has I2C.
struct OtherController {
    std::string stem;
    int width = 0, height = 0;
    bool i2c;
};
std::vector<OtherController> othercontrollers() {
    std::vector<OtherController> controllers;
#define LISTED(name, stem, i2c, spi)                                                               \
    controllers.push_back({#stem, 0, 0, i2c});                                                     \
    std::sscanf(std::strchr(#name, '_') + 1, "%dx%d", &controllers.back().width,                   \
                &controllers.back().height);
    TESSELON_DISPLAY_PANELS(LISTED)
#undef LISTED
    controllers.erase(std::remove_if(controllers.begin(), controllers.end(),
                                     [](const OtherController &c) {
                                         return c.stem == "ssd1306" ||
                                                c.stem.find('_') != std::string::npos;
                                     }),
                      controllers.end());
    return controllers;
}

// Each SSD1306 case, and the same on every other controller of the list:
// on its bus where it has I2C, else on the SPI (an I2C case with an SPI
// twin is left out there). A glass other than 128 x 64 (the PCD8544's
// 84 x 48) takes each case at its place scaled, so that corners stay
// corners and the edges are crossed where they were.
std::vector<GlassCase> everypanel(std::vector<GlassCase> cases) {
    const std::size_t count = cases.size();
    const auto has = [&](const std::string &name) {
        for (std::size_t i = 0; i < count; ++i)
            if (cases[i].name == name)
                return true;
        return false;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const GlassCase c = cases[i];
        if (c.rows != 64 || c.controller != "ssd1306" || !c.spread)
            continue;
        for (const OtherController &controller : othercontrollers()) {
            GlassCase other = c;
            other.controller = controller.stem;
            // The LCDs that take no segment and COM direction cannot flip.
            other.refused |=
                c.flip && (other.controller == "pcd8544" || other.controller == "st7920");
            other.name += char(std::toupper(controller.stem[0])) + controller.stem.substr(1);
            if (!controller.i2c && !c.spi) {
                const std::size_t bus = c.name.rfind("I2c");
                if ((bus != std::string::npos && has(c.name.substr(0, bus) + "Spi")) ||
                    std::string(c.panel ? c.panel : "") != "-address 0x3C" ||
                    std::string(c.address) != "0x3C")
                    continue; // its SPI twin serves, or an I2C address is its subject
                other.spi = true;
            }
            if (controller.width != 128 || controller.height != 64) {
                other.rows = controller.height;
                other.x = c.x * controller.width / 128;
                other.y = c.y * controller.height / 64;
            }
            cases.push_back(other);
        }
    }
    return cases;
}

// How often the harness saw the LED's pin change (PB5 on the Uno, PB1 on
// the ATtiny85), from its report.
int ledchanges(const std::string &report) {
    const std::size_t at = report.find(" changed ");
    return at == std::string::npos ? -1 : std::stoi(report.substr(at + 9));
}

class OnTheGlass : public ::testing::TestWithParam<GlassCase> {};

} // namespace

TEST_P(OnTheGlass, ShowsExactlyTheIndexZeroPixels) {
    SKIP_WITHOUT_PANEL();
    const GlassCase c = GetParam();
    Scratch scratch;
    BmpLayout layout;
    layout.whitefirst = c.whitefirst;
    const std::string bmp = c.pixels ? scratch.write("picture.bmp", encodebmp(c.pixels(), layout))
                                     : std::string(TESSELON_SOURCE_DIR) + "/examples/smiley.bmp";
    ASSERT_EQ(shell("make -s -f " + quoted(example + "Makefile") + " PICTURE=" + quoted(bmp) +
                    " OUT=" + quoted(scratch.path("")) + " TESSELON=" + quoted(buildprogram()) +
                    " BUS=" + (c.spi ? "spi" : "i2c") + " ROWS=" + std::to_string(c.rows) +
                    " MCU=" + c.mcu + " F_CPU=" + c.frequency + "UL" + " CONTROLLER=" +
                    c.controller + " ADDRESS=" + c.address + " X=" +
                    std::to_string(c.x) + " Y=" + std::to_string(c.y) + (c.flip ? " FLIP=1" : "") +
                    (c.offset >= 0 ? " OFFSET=" + std::to_string(c.offset) : "") +
                    (c.inverted ? " INVERTED=1" : "") +
                    (c.resetpin >= 0 ? " RESETPIN=" + std::to_string(c.resetpin) : "") +
                    (c.cspin >= 0 ? " CSPIN=" + std::to_string(c.cspin) : "") +
                    (c.fill ? " FILL=" + std::to_string(c.fill->x) + "," +
                                  std::to_string(c.fill->y) + "," + std::to_string(c.fill->width) +
                                  "," + std::to_string(c.fill->height) + "," +
                                  std::to_string(c.fill->lit)
                            : "") +
                    (c.columns != 128 ? " COLUMNS=" + std::to_string(c.columns) : "") +
                    (c.tile < 0 && !c.text ? std::string()
                                           : (c.text ? " TEXT=" + std::string(c.text)
                                                     : " TILE=" + std::to_string(c.tile)) +
                                                 " TILE_WIDTH=" + std::to_string(c.tilewidth) +
                                                 " TILE_HEIGHT=" + std::to_string(c.tileheight)) +
                    " all >" + quoted(scratch.path("make.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("make.log"));
    // A blinking firmware never sleeps: it runs for two simulated seconds.
    ASSERT_EQ(shell(quoted(SIMPANEL_PATH) + " -mcu " + c.mcu + " -frequency " + c.frequency +
                    (c.spi ? " -spi" : "") + " -rows " +
                    std::to_string(c.rows) + " -controller " + c.controller +
                    (c.columns != 128 ? " -columns " + std::to_string(c.columns) : "") + " " +
                    (c.panel ? c.panel : "-nopanel") + " " + c.model +
                    (expectsfault(c) ? " -run 32000000 " : " ") +
                    quoted(scratch.path("display.elf")) + " " + quoted(scratch.path("glass.ppm")) +
                    " >/dev/null 2>" + quoted(scratch.path("glass.log"))),
              0)
        << readfile(scratch.path("glass.log"));
    const int blinks = ledchanges(readfile(scratch.path("glass.log")));
    if (expectsfault(c)) {
        EXPECT_GE(blinks, 6); // every 250 ms, after the bus gave up
    } else if (!c.spi) {
        EXPECT_EQ(blinks, 0); // the LED's pin is the SPI's clock (DO on the ATtiny85)
    }

    const Pixels pixels = pixelsofheader(readfile(scratch.path("picture.h")));
    if (c.pixels) {
        ASSERT_EQ(pixels.index, c.pixels().index); // what the firmware was given
    }
    const Glass glass = readglass(scratch.path("glass.ppm"));
    ASSERT_EQ(glass.width, c.columns != 128 ? c.columns : c.rows == 48 ? 84 : 128);
    ASSERT_EQ(glass.height, c.rows);
    Glass expected{glass.width, glass.height, std::vector<bool>(glass.lit.size())};
    if (!expectsfault(c)) {
        const bool words = c.controller == "st7920";
        drawonglass(expected, shown(c, pixels), c.x, c.y, words, c.inverted);
        if (c.fill)
            drawonglass(expected,
                        uniformpixels(c.fill->width, c.fill->height, c.fill->lit ? 0 : 1),
                        c.fill->x, c.fill->y, words, c.inverted);
    }
    expectlit(glass, expected);
}

// Text beyond ASCII, invert mode and filled rectangles, each on a page
// controller and on the ST7920. The fonts of 10 x 10 glyphs have 192
// cells (U+0020 to U+007E, U+00A0 to U+00FF and one more), or 72.
std::vector<GlassCase> withpagesandwords(std::vector<GlassCase> cases) {
    // The ATtiny85 on its USI: I2C at 8 MHz (its RC oscillator), 16 and
    // 16.5 MHz (the Digispark's), SPI, the other panels, text, the corners,
    // past the edges, a missing module.
    for (const GlassCase &c : {
             tiny85(GlassCase{"FullPanelI2c", [] { return randompixels(128, 64, 60); }, 0, 0,
                              false},
                    "8000000"),
             tiny85(GlassCase{"PastTheEdgesI2c", [] { return randompixels(40, 30, 61); }, 100, 50,
                              false},
                    "16500000"),
             tiny85(GlassCase{"BeforeTheEdgesSpi", [] { return randompixels(30, 20, 62); }, -7, -5,
                              true},
                    "16000000"),
             tiny85(GlassCase{"CornersSh1106", [] { return uniformpixels(128, 64, 0); }, 0, 0,
                              false, 64, false, "-address 0x3C", "0x3C", "sh1106"},
                    "8000000"),
             tiny85(GlassCase{"OddPositionSsd1309Spi", [] { return randompixels(21, 13, 63); }, 5,
                              3, true, 64, false, "-address 0x3C", "0x3C", "ssd1309"},
                    "8000000"),
             tiny85(GlassCase{"St7567I2c", [] { return randompixels(30, 20, 64); }, 98, 44, false,
                              64, false, "-address 0x3F", "0x3F", "st7567"},
                    "16500000"),
             tiny85(GlassCase{"Pcd8544", [] { return randompixels(84, 48, 65); }, 0, 0, true, 48,
                              false, "-address 0x3C", "0x3C", "pcd8544"},
                    "8000000"),
             tiny85(text(GlassCase{"Text", [] { return randompixels(160, 120, 66); }, -3, 27,
                                   false},
                         10, 10, "Größe"),
                    "8000000"),
             tiny85(GlassCase{"St7920", [] { return randompixels(50, 20, 67); }, 85, 50, true, 64,
                              false, "-address 0x3C", "0x3C", "st7920"},
                    "16500000"),
             tiny85(GlassCase{"NoModule", nullptr, 0, 0, false, 64, false, nullptr}, "8000000"),
             // A module left mid-byte holds SDA low for 10 clocks, the most
             // begin clears (nine and its STOP's); for 11 the bus stays held
             // past begin's START: a fault, no hang. RES
             // on PB3; on PB5 (the chip's RESET) or a port it has not: refused;
             // CS on USCK (PB2), a line of the USI's: refused.
             tiny85(turned(GlassCase{"StuckSda", [] { return randompixels(40, 30, 68); }, 3, 5,
                                     false},
                           "-stuck 10", false, -1),
                    "8000000"),
             tiny85(turned(GlassCase{"StuckSdaTooLong", nullptr, 0, 0, false}, "-stuck 11", false,
                           -1, true),
                    "8000000"),
             tiny85(withcs(GlassCase{"CsOnUsck", nullptr, 0, 0, true}, 2), "8000000"),
             tiny85(withreset(GlassCase{"ResetPb3", [] { return randompixels(30, 20, 69); }, 50,
                                        20, false},
                              8 * 1 + 3, false),
                    "16500000"),
             tiny85(withreset(GlassCase{"ResetPb5", nullptr, 0, 0, false}, 8 * 1 + 5, true),
                    "8000000"),
             tiny85(withreset(GlassCase{"ResetPortC", nullptr, 0, 0, false}, 8 * 2 + 0, true),
                    "8000000"),
         })
        cases.push_back(c);
    for (const GlassCase &c : {
             // Umlauts straddling pages, part of one hidden at the left; past
             // the right and the bottom; the last Latin-1 glyph; the euro
             // sign has none.
             text(GlassCase{"Latin1", [] { return randompixels(160, 120, 40); }, -13, 5, false},
                  10, 10, "Größe°µ§ÿ"),
             text(GlassCase{"Latin1PastTheEdges", [] { return randompixels(160, 120, 41); }, 97, 58,
                            true},
                  10, 10, "Äöü€ßx"),
             // Malformed: a lead cut short by a letter, a stray continuation
             // byte, a three-byte sequence cut short, a four-byte character,
             // U+10FFFF, the last code point, 0xF5 and 0xC1 (no leads: a blank
             // each, their continuation bytes too), DEL, and a lead cut short
             // by the string's end.
             text(GlassCase{"Malformed", [] { return randompixels(160, 120, 42); }, 0, 40, false},
                  10, 10,
                  "A\xC3Z\x80\xE2\x82" "B\xF0\x9F\x98\x80" "C\xF4\x8F\xBF\xBF" "D\xF5\x80"
                  "E\xC1\xBF" "F\x7F\xC2"),
             // A sheet of ASCII alone: Latin-1 letters are blanks.
             text(GlassCase{"Latin1OnAsciiSheet", [] { return randompixels(120, 60, 43); }, 3, 20,
                            true},
                  10, 10, "Aü9"),
             inverted(GlassCase{"InvertedOddPosition", [] { return randompixels(21, 13, 44); }, 5,
                                3, false}),
             inverted(text(GlassCase{"InvertedText", [] { return randompixels(160, 120, 45); },
                                     -4, 60, true},
                           10, 10, "Öl9")),
             // Rectangles over a full picture: across pages and words, on
             // their edges, past every edge; lit and dark; in invert mode.
             filled(GlassCase{"FillLitAcross", [] { return randompixels(128, 64, 46); }, 0, 0,
                              false},
                    {5, 3, 50, 13, true}),
             filled(GlassCase{"FillDarkAligned", [] { return randompixels(128, 64, 47); }, 0, 0,
                              true},
                    {16, 8, 64, 16, false}),
             filled(GlassCase{"FillPastTheEdges", [] { return randompixels(128, 64, 48); }, 0, 0,
                              false},
                    {-20, -3, 200, 30, true}),
             // One column left of the panel's edge, none, no rows: the last
             // two draw nothing.
             filled(GlassCase{"FillOneColumnIn", [] { return randompixels(128, 64, 50); }, 0, 0,
                              false},
                    {-20, 12, 21, 20, true}),
             filled(GlassCase{"FillLeftOfThePanel", [] { return randompixels(128, 64, 51); }, 0,
                              0, true},
                    {-30, 12, 20, 20, true}),
             filled(GlassCase{"FillNoRows", [] { return randompixels(128, 64, 52); }, 0, 0, false},
                    {10, 20, 30, 0, true}),
             inverted(filled(GlassCase{"InvertedFill", [] { return randompixels(40, 20, 49); }, 30,
                                       20, true},
                             {100, 50, 40, 9, false})),
         })
        for (const GlassCase &each : pagesandwords(c))
            cases.push_back(each);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Panels, OnTheGlass,
    ::testing::ValuesIn(withpagesandwords(everypanel(
        {GlassCase{"FullPanelI2c", [] { return randompixels(128, 64, 1); }, 0, 0, false},
         GlassCase{"FullPanelSpi", [] { return randompixels(128, 64, 2); }, 0, 0, true},
         GlassCase{"SampleI2c", nullptr, 0, 0, false}, GlassCase{"SampleSpi", nullptr, 0, 0, true},
         // Rows that straddle pages, columns that straddle the picture's bytes.
         GlassCase{"OddPositionI2c", [] { return randompixels(21, 13, 3); }, 5, 3, false},
         GlassCase{"OddPositionSpi", [] { return randompixels(21, 13, 4); }, 5, 3, true},
         // Clipped at the right and bottom, and at the left and top; nothing wraps.
         GlassCase{"PastTheEdgesI2c", [] { return randompixels(40, 30, 5); }, 100, 50, false},
         GlassCase{"PastTheEdgesSpi", [] { return randompixels(40, 30, 6); }, 100, 50, true},
         GlassCase{"BeforeTheEdges", [] { return randompixels(30, 20, 7); }, -7, -5, false},
         GlassCase{"FarBelow", [] { return randompixels(40, 30, 13); }, 10, 32700, false},
         GlassCase{"FarRight", [] { return randompixels(40, 30, 13); }, 32700, 10, true},
         GlassCase{"WiderThanThePanel", [] { return randompixels(200, 9, 8); }, -30, 60, true},
         GlassCase{"TopLeftCorner", [] { return uniformpixels(1, 1, 0); }, 0, 0, false},
         GlassCase{"TopRightCorner", [] { return uniformpixels(1, 1, 0); }, 127, 0, true},
         GlassCase{"BottomLeftCorner", [] { return uniformpixels(1, 1, 0); }, 0, 63, false},
         GlassCase{"BottomRightCorner", [] { return uniformpixels(1, 1, 0); }, 127, 63, true},
         GlassCase{"WhiteFirstI2c", [] { return randompixels(33, 17, 9); }, 10, 9, false, 64, true},
         GlassCase{"WhiteFirstSpi", [] { return randompixels(33, 17, 10); }, 10, 9, true, 64, true},
         GlassCase{"Panel128x32I2c", [] { return randompixels(50, 20, 11); }, 70, 19, false, 32},
         GlassCase{"Panel128x32Spi", [] { return randompixels(128, 32, 12); }, 0, 0, true, 32},
         // The other address a module can be strapped to; and no module
         // answering there, or none on the bus at all.
         GlassCase{"Address3D", nullptr, 0, 0, false, 64, false, "-address 0x3D", "0x3D"},
         GlassCase{"WrongAddress", nullptr, 0, 0, false, 64, false, "-address 0x3D", "0x3C",
                   "sh1106"},
         GlassCase{"NoModule", nullptr, 0, 0, false, 64, false, nullptr},
         // One tile of a sheet of 3 x 3 tiles of 13 x 9 pixels, with pixels
         // left over: tiles that start inside a sheet byte, past the edges,
         // and one past the last.
         tile(GlassCase{"TileI2c", [] { return randompixels(40, 30, 14); }, 5, 3, false}, 13, 9, 4),
         tile(GlassCase{"TileSpi", [] { return randompixels(40, 30, 15); }, -4, 60, true}, 13, 9,
              8),
         tile(GlassCase{"TilePastTheRight", [] { return randompixels(40, 30, 16); }, 120, -3,
                        false},
              13, 9, 2),
         tile(GlassCase{"TilePastTheLast", [] { return randompixels(40, 30, 17); }, 0, 0, true}, 13,
              9, 9),
         // A line of text with a font of 72 glyphs of 10 x 10 (0x20 to 0x67):
         // a glyph and part of one hidden at the left, straddling pages, past
         // the right and the bottom, above the top, and all of it right of
         // the panel; z has no glyph.
         text(GlassCase{"TextI2c", [] { return randompixels(120, 60, 18); }, -17, 5, false}, 10, 10,
              "Az9zB"),
         text(GlassCase{"TextSpi", [] { return randompixels(120, 60, 19); }, 70, 58, true}, 10, 10,
              "Hello4World"),
         text(GlassCase{"TextFarRight", [] { return randompixels(120, 60, 20); }, 300, 5, false},
              10, 10, "Az9"),
         text(GlassCase{"TextAboveTheTop", [] { return randompixels(120, 60, 21); }, 3, -4, true},
              10, 10, "Hi9"),
         // An ST7920 left by another firmware, RESET not wired: begin ends
         // as after a cold start. A reversed line only a reset pulse undoes.
         st7920warm("WarmAsleep", "-warm asleep -noreset"),
         st7920warm("WarmGraphics", "-warm graphics -noreset"),
         st7920warm("WarmBasicGraphics", "-warm basic-graphics -noreset"),
         st7920warm("WarmScroll", "-warm scroll -noreset"),
         st7920warm("WarmHalfAddress", "-warm half-address -noreset"),
         st7920warm("WarmStandby", "-warm standby -noreset"),
         st7920warm("WarmDecrement", "-warm decrement -noreset"),
         st7920warm("WarmReversedReset", "-warm reversed"),
         // Modules mounted upside down, flipped back; modules that wire
         // their glass to other RAM columns, moved there; and both. The
         // SSD1306 case runs on every controller: the PCD8544 and the
         // ST7920 refuse to flip. A RAM no wider than the glass refuses an
         // offset.
         turned(GlassCase{"FlippedSsd1306", [] { return randompixels(21, 13, 23); }, 5, 3, false},
                "-upside-down", true, -1),
         turned(GlassCase{"FlippedSh1106", [] { return randompixels(21, 13, 24); }, 0, 50, true, 64,
                          false, "-address 0x3C", "0x3C", "sh1106"},
                "-upside-down", true, -1),
         turned(GlassCase{"FlippedSt7567", [] { return randompixels(30, 20, 25); }, 100, 0, false,
                          64, false, "-address 0x3C", "0x3C", "st7567"},
                "-upside-down", true, -1),
         turned(GlassCase{"FlippedUc1701", [] { return randompixels(30, 20, 26); }, 0, 0, true, 64,
                          false, "-address 0x3C", "0x3C", "uc1701"},
                "-upside-down", true, -1),
         turned(GlassCase{"FlippedSh1107", [] { return randompixels(40, 30, 27); }, 90, 100, false,
                          128, false, "-address 0x3C", "0x3C", "sh1107"},
                "-upside-down", true, -1),
         turned(GlassCase{"OffsetSt7567", [] { return randompixels(128, 64, 28); }, 0, 0, true, 64,
                          false, "-address 0x3C", "0x3C", "st7567"},
                "-glass-column 0", false, 0),
         turned(GlassCase{"OffsetUc1701", [] { return randompixels(128, 64, 29); }, 0, 0, true, 64,
                          false, "-address 0x3C", "0x3C", "uc1701"},
                "-glass-column 4", false, 4),
         turned(GlassCase{"OffsetFlippedSh1106", [] { return randompixels(128, 64, 30); }, 0, 0,
                          false, 64, false, "-address 0x3C", "0x3C", "sh1106"},
                "-glass-column 0 -upside-down", true, 0),
         narrow(GlassCase{"Narrow", [] { return randompixels(64, 128, 31); }, 0, 0, false}),
         narrow(GlassCase{"NarrowPastTheEdges", [] { return randompixels(30, 40, 32); }, 50, 100,
                          true}),
         narrow(turned(GlassCase{"NarrowFlipRefused", nullptr, 0, 0, false}, "", true, -1, true)),
         turned(GlassCase{"OffsetRefusedSsd1309", nullptr, 0, 0, true, 64, false, "-address 0x3C",
                          "0x3C", "ssd1309"},
                "", false, 2, true)}))),
    [](const auto &info) { return info.param.name; });

// The README shows the preview of the bundled sample; it must be what the
// preview makes today.
TEST(Preview, ReadmePictureIsTheSampleOnThePanel) {
    SKIP_WITHOUT_PANEL();
    for (const char *tool : {"pnmtopng", "pngtopnm"})
        if (!installed(tool))
            GTEST_SKIP() << tool << " is not installed (Debian: netpbm)";
    Scratch scratch;
    ASSERT_EQ(shell("make -s -C " + quoted(example) + " OUT=" + quoted(scratch.path("")) +
                    " TESSELON=" + quoted(buildprogram()) + " GLASS=" + quoted(SIMPANEL_PATH) +
                    " preview >" + quoted(scratch.path("make.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("make.log"));
    ASSERT_EQ(shell("pngtopnm " + quoted(scratch.path("display.png")) + " >" +
                    quoted(scratch.path("made.ppm")) + " && pngtopnm " +
                    quoted(example + "smiley-panel.png") + " >" +
                    quoted(scratch.path("shown.ppm"))),
              0);
    const std::string made = readfile(scratch.path("made.ppm"));
    EXPECT_NE(made.find("512 256"), std::string::npos);
    EXPECT_EQ(made, readfile(scratch.path("shown.ppm")));
}

// tools/fontsheet.py renders a font into a sheet drawText and drawTile
// take: cells of the height asked and the width it prints, as many as the
// characters (a blank cell at most to fill the last row), the blank first,
// every letter and digit a glyph of its own, on any of the fonts at hand.
TEST(FontSheet, CellsFromTheFont) {
    const std::string fonts = "/usr/share/fonts/truetype/dejavu/";
    if (!installed("/usr/bin/python3") ||
        shell("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0 ||
        !std::ifstream(fonts + "DejaVuSans.ttf"))
        GTEST_SKIP() << "Pillow or the DejaVu fonts are missing (Debian: python3-pil "
                        "fonts-dejavu-core)";
    if (!std::string(TESSELON_EMULATOR).empty())
        GTEST_SKIP() << "the sheet is read through tesselon, which needs an emulator here";
    const std::string alnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (const auto &[font, height, options, count, first] :
         {std::tuple("DejaVuSans.ttf", 10, "", 95, ' '),
          std::tuple("DejaVuSansMono.ttf", 16, "--latin1", 191, ' '),
          std::tuple("DejaVuSerif.ttf", 12, "--latin1", 191, ' '),
          std::tuple("DejaVuSansMono-Bold.ttf", 32, "--chars 0123456789:", 11, '0')}) {
        Scratch scratch;
        ASSERT_EQ(shell("/usr/bin/python3 " +
                        quoted(std::string(TESSELON_SOURCE_DIR) + "/tools/fontsheet.py") + " " +
                        quoted(fonts + font) + " " + std::to_string(height) + " " +
                        quoted(scratch.path("sheet.bmp")) + " " + options + " >" +
                        quoted(scratch.path("out.txt"))),
                  0)
            << font;
        std::istringstream printed(readfile(scratch.path("out.txt")));
        std::string line, last;
        while (std::getline(printed, line))
            last = line;
        int width = 0, cellheight = 0;
        ASSERT_EQ(std::sscanf(last.c_str(), "%dx%d", &width, &cellheight), 2) << last;
        EXPECT_EQ(cellheight, height) << font;
        const RunResult run = runtesselon(quoted(scratch.path("sheet.bmp")));
        ASSERT_EQ(run.status, 0) << run.err;
        const Pixels sheet = pixelsofheader(run.out);
        ASSERT_GT(width, 0);
        ASSERT_EQ(sheet.width % width, 0u) << font;
        ASSERT_EQ(sheet.height % height, 0u) << font;
        const int perrow = static_cast<int>(sheet.width) / width;
        const int cells = perrow * static_cast<int>(sheet.height) / height;
        EXPECT_GE(cells, count) << font;
        EXPECT_LT(cells, count + perrow) << font;
        const auto glyph = [&](int index) { return tileof(sheet, width, height, index).index; };
        const std::vector<std::uint8_t> blank(width * height, 1);
        EXPECT_EQ(glyph(0) == blank, first == ' ') << font << ": the first cell";
        for (int index = count; index < cells; ++index)
            EXPECT_EQ(glyph(index), blank) << font << ": cell " << index << " past the last";
        std::set<std::vector<std::uint8_t>> seen;
        int letters = 0;
        for (const char character : alnum) {
            const int index = first == ' ' ? character - 0x20 : character - first;
            if (index >= count || (first != ' ' && !std::isdigit(character)))
                continue;
            ++letters;
            EXPECT_NE(glyph(index), blank) << font << ": " << character;
            EXPECT_TRUE(seen.insert(glyph(index)).second) << font << ": " << character << " again";
        }
        EXPECT_GE(letters, 10) << font;
    }
}

// The text view shows as '#' exactly the pixels the display lights,
// colour index 0, whichever colour comes first, from a bitmap or a header.
TEST(Preview, TextViewShowsTheLitPixels) {
    if (!installed("python3"))
        GTEST_SKIP() << "python3 is not installed (Debian: python3)";
    if (!std::string(TESSELON_EMULATOR).empty())
        GTEST_SKIP() << "the script runs tesselon itself, which needs an emulator here";
    const std::string view =
        "python3 " + quoted(std::string(TESSELON_SOURCE_DIR) + "/tools/showpixels.py");
    const Pixels pixels = randompixels(21, 5, 14);
    std::string expected = "21 x 5\n";
    for (std::uint32_t y = 0; y < pixels.height; ++y) {
        for (std::uint32_t x = 0; x < pixels.width; ++x)
            expected += pixels.at(x, y) == 0 ? '#' : '.';
        expected += '\n';
    }
    Scratch scratch;
    for (const bool whitefirst : {false, true}) {
        BmpLayout layout;
        layout.whitefirst = whitefirst;
        const std::string bmp = scratch.write("picture.bmp", encodebmp(pixels, layout));
        const RunResult run =
            runtesselon("--tesselon " + quoted(TESSELON_PATH) + " " + quoted(bmp), "", view);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, expected) << (whitefirst ? "white first" : "black first");
    }
    const std::string text = expectedheader(pixels);
    const std::string header =
        scratch.write("picture.h", std::vector<std::uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(runtesselon(quoted(header), "", view).out, expected) << "from the header";
}

// The Arduino library: every sketch compiles for the usual boards, the
// Uno's builds (and a Mega's) run on the simulated panel, and Wire keeps working beside it.
namespace {

const std::string library = std::string(TESSELON_SOURCE_DIR) + "/TesselonDisplay/";

struct SketchCase {
    std::string sketch; // its folder
    const char *board;
    const char *glass = nullptr; // builds that run: simpanel's options
};

void PrintTo(const SketchCase &c, std::ostream *out) {
    *out << c.sketch << " " << c.board;
}

std::vector<SketchCase> sketchcases() {
    std::vector<SketchCase> cases;
    for (const std::string &sketch :
         {library + "examples/Picture", library + "examples/TwoPictures",
          std::string(TESSELON_SOURCE_DIR) + "/tests/sketches/WireBeside",
          library + "examples/PictureSPI", library + "examples/Picture128x32",
          library + "examples/Animation", library + "examples/Frames", library + "examples/Text",
          library + "examples/PictureSSD1309", library + "examples/PictureNokia5110",
          library + "examples/PictureST7920", library + "examples/PictureST7567",
          library + "examples/PictureST7567I2C", library + "examples/PictureSH1107",
          library + "examples/TwoDisplays", library + "examples/Menu"})
        for (const char *board : {"arduino:avr:uno", "arduino:avr:nano:cpu=atmega328",
                                  "arduino:avr:mega:cpu=atmega2560", "arduino:avr:leonardo"})
            cases.push_back({sketch, board});
    cases[0].glass = "-address 0x3D";          // Picture, centred, found at its other address
    cases[4].glass = "-controller sh1106";     // TwoPictures
    cases[8].glass = "-eeprom -uart uart.txt"; // WireBeside
    cases[12].glass = "-spi";                  // PictureSPI
    cases[16].glass = "-rows 32";              // Picture128x32
    cases[20].glass = "";                      // Animation
    cases[24].glass = "";                      // Frames
    cases[28].glass = "";                      // Text
    cases[32].glass = "-controller ssd1309 -spi";
    cases[36].glass = "-controller pcd8544";
    cases[40].glass = "-controller st7920";
    cases[44].glass = "-controller st7567 -spi";
    cases[48].glass = "-controller st7567 -address 0x3F";
    cases[52].glass = "-controller sh1107 -address 0x3D";
    cases[56].glass = "-controller sh1106 -address 0x3D -uart uart.txt"; // TwoDisplays' second
    cases[60].glass = "-press 1.0 -press 1.5";                           // Menu: pressed twice
    // The PCD8544 off and on again, inverted meanwhile: the Uno's alone.
    cases.push_back({std::string(TESSELON_SOURCE_DIR) + "/tests/sketches/OffAndOn",
                     "arduino:avr:uno", "-controller pcd8544 -uart uart.txt"});
    // A picture beyond the first 64 KB of flash: the Mega's alone.
    cases.push_back({std::string(TESSELON_SOURCE_DIR) + "/tests/sketches/FarPictures",
                     "arduino:avr:mega:cpu=atmega2560", "-mcu atmega2560 -uart uart.txt"});
    return cases;
}

class ArduinoSketch : public ::testing::TestWithParam<SketchCase> {};

} // namespace

TEST_P(ArduinoSketch, BuildsAndShowsItsPictures) {
    SKIP_WITHOUT_PANEL();
    if (!installed("arduino-builder"))
        GTEST_SKIP()
            << "arduino-builder is not installed (Debian: arduino-core-avr arduino-builder)";
    const SketchCase c = GetParam();
    const std::string name = c.sketch.substr(c.sketch.rfind('/') + 1);
    Scratch scratch;
    // The test's own sketches are built around tesselon's output of today.
    std::string sketch = c.sketch;
    if (sketch.find("/tests/sketches/") != std::string::npos) {
        sketch = scratch.path("sketch/" + name);
        ASSERT_EQ(shell("mkdir -p " + ::quoted(sketch) + " && cp " +
                        quoted(c.sketch + "/" + name + ".ino") + " " + ::quoted(sketch) + " && " +
                        buildprogram() + " " +
                        quoted(std::string(TESSELON_SOURCE_DIR) + "/examples/smiley.bmp") + " >" +
                        ::quoted(sketch + "/picture.h")),
                  0);
    }
    // The library as the IDE installs it: a folder of its own in a libraries folder.
    ASSERT_EQ(shell("mkdir -p " + quoted(scratch.path("installed")) + " && ln -s " +
                    quoted(library) + " " + quoted(scratch.path("installed/TesselonDisplay"))),
              0);
    ASSERT_EQ(shell("arduino-builder -compile -hardware /usr/share/arduino/hardware -hardware "
                    "/usr/share/arduino-builder -tools /usr/share/arduino-builder -libraries " +
                    quoted(scratch.path("installed")) + " -fqbn " + c.board + " -build-path " +
                    quoted(scratch.path("")) +
                    " -warnings all "
                    "-prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=__DECIMAL_DIG__ " +
                    ::quoted(sketch + "/" + name + ".ino") + " >" +
                    quoted(scratch.path("build.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("build.log"));
    EXPECT_EQ(readfile(scratch.path("build.log")).find("TesselonDisplay/src"), std::string::npos)
        << "the library has warnings:\n"
        << readfile(scratch.path("build.log"));
    if (!c.glass)
        return;
    // The preview of the sketch's hex file, as a user makes it: the sketch
    // loops for good once drawn, and runs three simulated seconds.
    if (!installed("pnmtopng"))
        GTEST_SKIP() << "pnmtopng is not installed (Debian: netpbm)";
    ASSERT_EQ(shell("cd " + quoted(scratch.path("")) + " && make -s -f " +
                    quoted(example + "Makefile") + " preview FIRMWARE=" +
                    quoted(name + ".ino.hex") + " OUT=shown GLASS=" + quoted(SIMPANEL_PATH) +
                    " GLASSOPTIONS=" + quoted(c.glass) + " >/dev/null 2>glass.log"),
              0)
        << readfile(scratch.path("glass.log"));
    EXPECT_EQ(readfile(scratch.path("shown/display.png")).substr(0, 4), "\x89PNG");
    const Glass glass = readtext(scratch.path("shown/display.txt"));
    const auto header = [&](const char *file) {
        return pixelsofheader(readfile(sketch + "/" + file));
    };
    if (name == "Picture" || name == "PictureSPI" || name == "PictureSSD1309" ||
        name == "PictureST7920" || name == "PictureST7567" || name == "PictureST7567I2C") {
        expectglass(glass, 64, header("picture.h"), 56, 24);
    } else if (name == "PictureSH1107") {
        expectglass(glass, 128, header("picture.h"), 56, 56);
    } else if (name == "TwoDisplays") { // the first missing, the second drawn all the same
        expectglass(glass, 64, header("heart.h"), 56, 24);
        EXPECT_EQ(readfile(scratch.path("uart.txt")), "0x3C: none\r\n0x3D: heart\r\n");
    } else if (name == "PictureNokia5110") {
        expectglass(glass, 48, header("picture.h"), 34, 16);
    } else if (name == "Picture128x32") {
        expectglass(glass, 32, header("picture.h"), 56, 8);
    } else if (name == "Animation" || name == "Frames") { // whichever frame is due, whole
        int frames = 0;
        for (int frame = 0; frame < 8; ++frame)
            frames +=
                name == "Animation"
                    ? showsonly(glass, tileof(header("spinner.h"), 32, 32, frame), 48, 16)
                    : frame < 4 &&
                          showsonly(glass, header(("ball" + std::to_string(frame) + ".h").c_str()),
                                    0, 0);
        EXPECT_EQ(frames, 1) << "the glass shows one frame, and only it";
    } else if (name == "Text") { // the smiley above, the line of text below row 40
        Glass above = glass, below = glass;
        for (int i = 0; i < 128 * 64; ++i)
            (i / 128 < 40 ? below : above).lit[i] = false;
        expectglass(above, 64, header("picture.h"), 56, 16);
        expectglass(below, 64, textof(header("font6x7latin1.h"), 6, 7, "Grüße, tesselon!"), 16,
                    40);
    } else if (name == "Menu") { // the third entry selected, lit with dark letters
        Glass expected{128, 64, std::vector<bool>(128 * 64)};
        const char *entries[] = {"Uhrzeit", "Helligkeit", "Töne", "Über"};
        for (int entry = 0; entry < 4; ++entry) {
            drawonglass(expected, uniformpixels(128, 8, entry == 2 ? 0 : 1), 0, entry * 16, false,
                        false);
            drawonglass(expected, textof(header("font6x7latin1.h"), 6, 7, entries[entry]), 6,
                        entry * 16, false, entry == 2);
        }
        expectlit(glass, expected);
    } else if (name == "FarPictures") {
        expectglass(glass, 64, header("picture.h"), 40, 16);
        EXPECT_EQ(readfile(scratch.path("uart.txt")),
                  "picture: beyond 64 KB\r\npointer: refused\r\nfar: drawn\r\n6\r\n");
    } else if (name == "OffAndOn") { // inverted: the picture's 1-bits and the rest lit
        Glass inverted = glass;
        for (int i = 0; i < 84 * 48; ++i)
            inverted.lit[i] = !glass.lit[i];
        expectglass(inverted, 48, header("picture.h"), 0, 0);
        EXPECT_EQ(readfile(scratch.path("uart.txt")),
                  "pin past the last: refused\r\noff, inverted, on: ok\r\n");
    } else if (name == "WireBeside") {
        expectglass(glass, 64, header("picture.h"), 0, 0);
        EXPECT_EQ(readfile(scratch.path("uart.txt")),
                  "before begin: refused\r\nbefore: ok\r\ndrawn: ok\r\nafter: ok\r\n"
                  "pending start: left alone\r\ndrawn again: ok\r\n");
    } else { // the two pictures, one glass apart
        Glass left = glass, right = glass;
        for (int i = 0; i < 128 * 64; ++i)
            (i % 128 < 64 ? right : left).lit[i] = false;
        expectglass(left, 64, header("smiley.h"), 32, 24);
        expectglass(right, 64, header("heart.h"), 80, 24);
    }
}

INSTANTIATE_TEST_SUITE_P(Boards, ArduinoSketch, ::testing::ValuesIn(sketchcases()),
                         [](const auto &info) {
                             std::string name =
                                 info.param.sketch.substr(info.param.sketch.rfind('/') + 1) + "_" +
                                 info.param.board;
                             for (char &ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// The headers beside the sketches are tesselon's output for the bundled bitmaps.
TEST(ArduinoSketch, HeadersAreTesselonsOutput) {
    for (const auto &[header, bitmap] :
         {std::pair("examples/Picture/picture.h", "smiley.bmp"),
          std::pair("examples/Picture128x32/picture.h", "smiley.bmp"),
          std::pair("examples/TwoPictures/smiley.h", "smiley.bmp"),
          std::pair("examples/TwoPictures/heart.h", "heart.bmp"),
          std::pair("examples/Animation/spinner.h", "spinner.bmp"),
          std::pair("examples/Frames/ball0.h", "ball0.bmp"),
          std::pair("examples/Frames/ball1.h", "ball1.bmp"),
          std::pair("examples/Frames/ball2.h", "ball2.bmp"),
          std::pair("examples/Frames/ball3.h", "ball3.bmp"),
          std::pair("examples/Text/font6x7latin1.h", "font6x7latin1.bmp"),
          std::pair("examples/Menu/font6x7latin1.h", "font6x7latin1.bmp"),
          std::pair("examples/Text/picture.h", "smiley.bmp"),
          std::pair("examples/PictureSSD1309/picture.h", "smiley.bmp"),
          std::pair("examples/PictureNokia5110/picture.h", "smiley.bmp"),
          std::pair("examples/PictureST7920/picture.h", "smiley.bmp"),
          std::pair("examples/PictureST7567/picture.h", "smiley.bmp"),
          std::pair("examples/PictureST7567I2C/picture.h", "smiley.bmp"),
          std::pair("examples/PictureSH1107/picture.h", "smiley.bmp"),
          std::pair("examples/TwoDisplays/smiley.h", "smiley.bmp"),
          std::pair("examples/TwoDisplays/heart.h", "heart.bmp")}) {
        const RunResult run =
            runtesselon(quoted(std::string(TESSELON_SOURCE_DIR) + "/examples/" + bitmap));
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(readfile(library + header), run.out) << header;
    }
}
