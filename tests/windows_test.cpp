// The Windows build, run under wine: its output must be the Linux output
// with every line end written as CR LF, and its exit status the same.
#include "bitmaps.h"
#include "runner.h"

#include <gtest/gtest.h>

namespace {

std::string withcrlf(const std::string &text) {
    std::string converted;
    for (char c : text)
        converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return converted;
}

struct WindowsCase {
    const char *name;
    std::vector<std::uint8_t> (*bitmap)(); // written as `file` in the working folder
    const char *arguments;
    const char *file = "pic.bmp";
    std::uint64_t pixeloffset = 0; // rows moved this far into the file, when set
};

void PrintTo(const WindowsCase &c, std::ostream *out) {
    *out << c.name;
}

class UnderWine : public ::testing::TestWithParam<WindowsCase> {};

BmpLayout layout(std::uint32_t headersize, bool topdown) {
    BmpLayout chosen;
    chosen.headersize = headersize;
    chosen.topdown = topdown;
    chosen.fill = 0xFF;
    return chosen;
}

} // namespace

TEST_P(UnderWine, SameTextWithCrLf) {
    const std::string exe = TESSELON_WINDOWS_EXE;
    if (exe.empty())
        GTEST_SKIP()
            << "no Windows build: configure with -DTESSELON_WINDOWS_EXE=<path of tesselon.exe>";
    if (!installed("wine"))
        GTEST_SKIP() << "wine is not installed (Debian: wine64)";
    const WindowsCase c = GetParam();
    Scratch scratch;
    if (c.pixeloffset)
        scratch.writeat(c.file, c.bitmap(), c.pixeloffset);
    else
        scratch.write(c.file, c.bitmap());
    const std::string here = "cd " + quoted(scratch.path("")) + " && ";
    const RunResult native = runtesselon(c.arguments, here);
    const RunResult windows =
        runtesselon(c.arguments, here + "WINEDEBUG=-all ", "wine " + quoted(exe));
    EXPECT_EQ(windows.status, native.status);
    EXPECT_EQ(windows.out, withcrlf(native.out));
    EXPECT_NE(native.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, UnderWine,
    ::testing::Values(
        WindowsCase{"TenByTwo", [] { return encodebmp(tenbytwo(), {}); }, "pic.bmp"},
        WindowsCase{"Os2", [] { return encodebmp(randompixels(33, 7, 1), layout(12, false)); },
                    "pic.bmp"},
        WindowsCase{"V5TopDown",
                    [] { return encodebmp(randompixels(300, 20, 2), layout(124, true)); },
                    "pic.bmp"},
        WindowsCase{"Wide", [] { return encodebmp(randompixels(2041, 30, 3), layout(40, false)); },
                    "pic.bmp"},
        WindowsCase{"NotBitmap",
                    [] {
                        return std::vector<std::uint8_t>{'G', 'I', 'F', '8'};
                    },
                    "pic.bmp"},
        WindowsCase{"Truncated",
                    [] {
                        auto bmp = encodebmp(randompixels(20, 3, 4), {});
                        bmp.resize(bmp.size() - 4);
                        return bmp;
                    },
                    "pic.bmp"},
        WindowsCase{"Empty",
                    [] {
                        auto bmp = encodebmp(randompixels(20, 3, 4), {});
                        put32(bmp, 18, 0);
                        return bmp;
                    },
                    "pic.bmp"},
        WindowsCase{"NotFound", [] { return std::vector<std::uint8_t>{}; }, "missing%n.bmp"},
        // Names in any script open as they are; a message shows them in UTF-8.
        WindowsCase{"GermanName", [] { return encodebmp(tenbytwo(), {}); }, "'Grüße.bmp'",
                    "Grüße.bmp"},
        WindowsCase{"CyrillicName", [] { return encodebmp(randompixels(33, 7, 5), {}); },
                    "'логотип.bmp'", "логотип.bmp"},
        WindowsCase{"JapaneseNameWithBlank", [] { return encodebmp(randompixels(9, 4, 6), {}); },
                    "'ロゴ 1.bmp'", "ロゴ 1.bmp"},
        // U+0800, the first character of three UTF-8 bytes, and an emoji
        // beyond U+FFFF, a surrogate pair in UTF-16.
        WindowsCase{"SamaritanNameNotBitmap",
                    [] {
                        return std::vector<std::uint8_t>{'G', 'I', 'F', '8'};
                    },
                    "'\u0800 logo.bmp'", "\u0800 logo.bmp"},
        WindowsCase{"MissingEmojiName", [] { return std::vector<std::uint8_t>{}; },
                    "'smiley_\U0001F600.bmp'"},
        WindowsCase{"MissingGermanName", [] { return std::vector<std::uint8_t>{}; },
                    "'fehlt_ö.bmp'"},
        // Rows behind a pixel offset near 4 GiB, read by position.
        WindowsCase{"FarOffset", [] { return encodebmp(randompixels(16, 16, 7), {}); }, "pic.bmp",
                    "pic.bmp", 0xF0000000},
        WindowsCase{"UsageWithoutArgument", [] { return std::vector<std::uint8_t>{}; }, ""},
        WindowsCase{"UsageWithTwoArguments", [] { return encodebmp(tenbytwo(), {}); },
                    "pic.bmp pic.bmp"}),
    [](const auto &info) { return std::string(info.param.name); });
