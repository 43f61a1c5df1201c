// The header on the chip: the example firmware is built around tesselon's
// output with avr-gcc, run in simavr, and the bytes it reads back from
// flash with pgm_read_byte arrive over the UART.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct UartReport {
    std::vector<std::uint8_t> bytes; // the array, as the firmware read it
    unsigned setpixels = 0;          // counted through its pixel lookup
    bool ended = false;              // the closing "END" line arrived
};

// simavr prints each UART line coloured and with a dot for the line end.
std::string uartline(std::string line) {
    for (const std::string code : {"\033[32m", "\033[0m"})
        for (std::size_t at; (at = line.find(code)) != std::string::npos;)
            line.erase(at, code.size());
    if (!line.empty() && line.back() == '.')
        line.pop_back();
    return line;
}

UartReport parseuart(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (!(line = uartline(line)).empty() && line.rfind("Loaded", 0) != 0)
            lines.push_back(line);
    UartReport report;
    if (lines.size() < 2 || lines.back() != "END")
        return report;
    report.ended = true;
    report.setpixels = static_cast<unsigned>(std::stoul(lines[lines.size() - 2], nullptr, 16));
    for (std::size_t i = 0; i + 2 < lines.size(); ++i)
        for (std::size_t at = 0; at + 1 < lines[i].size(); at += 2)
            report.bytes.push_back(
                static_cast<std::uint8_t>(std::stoul(lines[i].substr(at, 2), nullptr, 16)));
    return report;
}

struct ChipCase {
    const char *name;
    Pixels (*pixels)();
};

class OnTheChip : public ::testing::TestWithParam<ChipCase> {};

} // namespace

TEST_P(OnTheChip, FirmwareReadsBackEveryByte) {
    for (const char *tool : {"avr-gcc", "avr-objcopy", "simavr", "make"})
        if (!installed(tool))
            GTEST_SKIP() << tool << " is not installed (Debian: gcc-avr avr-libc simavr make)";
    const Pixels pixels = GetParam().pixels();
    Scratch scratch;
    const auto bmp = scratch.write("picture.bmp", encodebmp(pixels, {}));
    const std::string makefile = std::string(TESSELON_SOURCE_DIR) + "/examples/avr/Makefile";
    ASSERT_EQ(shell("make -s -f " + quoted(makefile) + " PICTURE=" + quoted(bmp) +
                    " OUT=" + quoted(scratch.path("")) + " TESSELON=" + quoted(buildprogram()) +
                    " all >" + quoted(scratch.path("make.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("make.log"));

    ASSERT_EQ(shell("timeout 120 simavr -m atmega328p -f 16000000 " +
                    quoted(scratch.path("picture.elf")) + " >/dev/null 2>" +
                    quoted(scratch.path("uart.txt"))),
              0);
    const UartReport report = parseuart(readfile(scratch.path("uart.txt")));
    ASSERT_TRUE(report.ended) << readfile(scratch.path("uart.txt"));
    EXPECT_EQ(report.bytes, expectedbytes(pixels));
    unsigned indexzero = 0;
    for (auto index : pixels.index)
        indexzero += index == 0;
    EXPECT_EQ(report.setpixels, indexzero);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, OnTheChip,
    ::testing::Values(ChipCase{"Oled128x64", [] { return randompixels(128, 64, 1); }},
                      ChipCase{"Lcd84x48", [] { return randompixels(84, 48, 2); }},
                      ChipCase{"TenByTwo", tenbytwo},
                      ChipCase{"OnePixel", [] { return uniformpixels(1, 1, 0); }}),
    [](const auto &info) { return std::string(info.param.name); });

// Both example builds on a file that is no bitmap, into a folder not made
// yet: the make fails with tesselon's message and leaves no header, so that
// a second make fails the same way instead of compiling the message.
class ExampleBuild : public ::testing::TestWithParam<const char *> {};

TEST_P(ExampleBuild, FailedConversionLeavesNoHeader) {
    for (const char *tool : {"avr-gcc", "make"})
        if (!installed(tool))
            GTEST_SKIP() << tool << " is not installed (Debian: gcc-avr avr-libc make)";
    Scratch scratch;
    const std::string bad = scratch.write("bad.bmp", {'n', 'o', ' ', 'B', 'M', 'P'});
    const std::string out = scratch.path("out/here");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_NE(shell("make -s -f " +
                        quoted(std::string(TESSELON_SOURCE_DIR) + "/examples/" + GetParam() +
                               "/Makefile") +
                        " PICTURE=" + quoted(bad) + " OUT=" + quoted(out) +
                        " TESSELON=" + quoted(buildprogram()) + " all >" +
                        quoted(scratch.path("make.log")) + " 2>&1"),
                  0);
        const std::string log = readfile(scratch.path("make.log"));
        EXPECT_NE(log.find(notbitmap(bad).substr(0, notbitmap(bad).size() - 1)), std::string::npos)
            << "attempt " << attempt << ":\n"
            << log;
        EXPECT_EQ(log.find("error:"), std::string::npos) << log; // the compiler's
        EXPECT_FALSE(std::ifstream(out + "/picture.h").good());
        EXPECT_FALSE(std::ifstream(out + "/picture.h.part").good());
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleBuild, ::testing::Values("avr", "display"));

// The display driver compiles without a warning, pedantic ones too, for
// every chip it may meet: with a TWI and an SPI, with a USI instead (the
// ATtiny25/45/85, 24/44/84, 2313/4313, their pins named otherwise), and
// beside avr-libc's own names (the AT90USB1287 has a RESET of its own).
class DriverBuild : public ::testing::TestWithParam<const char *> {};

TEST_P(DriverBuild, CompilesForTheChip) {
    if (!installed("avr-gcc"))
        GTEST_SKIP() << "avr-gcc is not installed (Debian: gcc-avr avr-libc)";
    Scratch scratch;
    const std::string driver = std::string(TESSELON_SOURCE_DIR) + "/TesselonDisplay/src";
    EXPECT_EQ(shell("for source in " + quoted(driver) + "/*.c; do avr-gcc -mmcu=" + GetParam() +
                    " -DF_CPU=16000000UL -Os -std=gnu11 -Wall -Wextra -Wpedantic -Werror -c \"$source\" -o " +
                    quoted(scratch.path("driver.o")) + " || exit 1; done >" +
                    quoted(scratch.path("build.log")) + " 2>&1"),
              0)
        << readfile(scratch.path("build.log"));
}

INSTANTIATE_TEST_SUITE_P(Chips, DriverBuild,
                         ::testing::Values("atmega328p", "atmega2560", "atmega32u4", "atmega8",
                                           "attiny85", "attiny25", "attiny45", "attiny84",
                                           "attiny44", "attiny24", "attiny2313", "attiny4313",
                                           "at90usb1287"));
