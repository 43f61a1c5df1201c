// The picture on the glass: the OLED example firmware is built around
// tesselon's output, run in simavr with a virtual SSD1306 or SH1106 on its
// I2C or SPI bus, and the panel must show the picture's colour-index-0
// pixels lit at the position drawn, and nothing else; with no module
// answering, the firmware must blink its LED instead of hanging.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string example = std::string(TESSELON_SOURCE_DIR) + "/examples/oled/";

// Skips the test, naming the package, where a tool is missing.
#define SKIP_WITHOUT_PANEL()                                                                       \
    do {                                                                                           \
        if (std::string(OLEDGLASS_PATH).empty())                                                   \
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
};

void PrintTo(const GlassCase &c, std::ostream *out) {
    *out << c.name;
}

// Glass checks the lit pixels; a fault blinks the LED on PB5.
bool expectsfault(const GlassCase &c) {
    return !c.panel || std::string(c.panel) != std::string("-address ") + c.address;
}

// Each SSD1306 case, and the same on the SH1106 where the panel has 64
// rows, as all SH1106 modules have.
std::vector<GlassCase> bothcontrollers(std::vector<GlassCase> cases) {
    const std::size_t count = cases.size();
    for (std::size_t i = 0; i < count; ++i)
        if (cases[i].rows == 64 && cases[i].controller == "ssd1306") {
            GlassCase sh1106 = cases[i];
            sh1106.name += "Sh1106";
            sh1106.controller = "sh1106";
            cases.push_back(sh1106);
        }
    return cases;
}

// How often the harness saw PB5 change, from its report.
int ledchanges(const std::string &report) {
    const std::size_t at = report.find("PB5 changed ");
    return at == std::string::npos ? -1 : std::stoi(report.substr(at + 12));
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
                    " CONTROLLER=" + c.controller + " ADDRESS=" + c.address +
                    " X=" + std::to_string(c.x) + " Y=" + std::to_string(c.y) + " all >" +
                    quoted(scratch.path("make.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("make.log"));
    // A blinking firmware never sleeps: it runs for two simulated seconds.
    ASSERT_EQ(shell(quoted(OLEDGLASS_PATH) + (c.spi ? " -spi" : "") + " -rows " +
                    std::to_string(c.rows) + " -controller " + c.controller + " " +
                    (c.panel ? c.panel : "-nopanel") + (expectsfault(c) ? " -run 32000000 " : " ") +
                    quoted(scratch.path("oled.elf")) + " " + quoted(scratch.path("glass.ppm")) +
                    " >/dev/null 2>" + quoted(scratch.path("glass.log"))),
              0)
        << readfile(scratch.path("glass.log"));
    const int blinks = ledchanges(readfile(scratch.path("glass.log")));
    if (expectsfault(c)) {
        EXPECT_GE(blinks, 6); // every 250 ms, after the bus gave up
    } else if (!c.spi) {
        EXPECT_EQ(blinks, 0); // PB5 is the SPI's clock
    }

    const Pixels pixels = pixelsofheader(readfile(scratch.path("picture.h")));
    if (c.pixels) {
        ASSERT_EQ(pixels.index, c.pixels().index); // what the firmware was given
    }
    const Glass glass = readglass(scratch.path("glass.ppm"));
    ASSERT_EQ(glass.width, 128);
    ASSERT_EQ(glass.height, c.rows);
    int wrong = 0;
    for (int y = 0; y < glass.height; ++y)
        for (int x = 0; x < glass.width; ++x) {
            const int px = x - c.x, py = y - c.y;
            const bool inside = px >= 0 && py >= 0 && px < static_cast<int>(pixels.width) &&
                                py < static_cast<int>(pixels.height);
            const bool expected = inside && !expectsfault(c) && pixels.at(px, py) == 0;
            if (glass.lit[y * glass.width + x] != expected && ++wrong <= 5)
                ADD_FAILURE() << "panel pixel " << x << ", " << y << (expected ? " dark" : " lit");
        }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Panels, OnTheGlass,
    ::testing::ValuesIn(bothcontrollers(
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
         GlassCase{"NoModule", nullptr, 0, 0, false, 64, false, nullptr}})),
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
                    " TESSELON=" + quoted(buildprogram()) + " GLASS=" + quoted(OLEDGLASS_PATH) +
                    " preview >" + quoted(scratch.path("make.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("make.log"));
    ASSERT_EQ(shell("pngtopnm " + quoted(scratch.path("oled.png")) + " >" +
                    quoted(scratch.path("made.ppm")) + " && pngtopnm " +
                    quoted(example + "smiley-oled.png") + " >" + quoted(scratch.path("shown.ppm"))),
              0);
    const std::string made = readfile(scratch.path("made.ppm"));
    EXPECT_NE(made.find("512 256"), std::string::npos);
    EXPECT_EQ(made, readfile(scratch.path("shown.ppm")));
}
