// tesselon installed, as a CMake project finds and uses it.
#include "runner.h"

#include <gtest/gtest.h>

#include <fstream>

// The installed package in a CMake project: find_package(tesselon) and
// tesselon_add_header give two pictures under their own names in one
// source file, remade when a bitmap changes; a file that is no bitmap stops
// the build with tesselon's message and leaves no header.
TEST(CMakePackage, HeadersForAFirmwareBuild) {
    if (!std::string(TESSELON_EMULATOR).empty())
        GTEST_SKIP() << "the installed program would need the emulator";
    for (const char *tool : {"cmake", "cc"})
        if (!installed(tool))
            GTEST_SKIP() << tool << " is not installed";
    Scratch scratch;
    const std::string source = std::string(TESSELON_SOURCE_DIR);
    const std::string project = scratch.path("project"), build = scratch.path("build");
    ASSERT_EQ(shell("cmake --install " + quoted(TESSELON_BINARY_DIR) + " --prefix " +
                    quoted(scratch.path("prefix")) + " >/dev/null && mkdir -p " +
                    quoted(project + "/art") + " && cp " +
                    quoted(source + "/tests/cmakeproject/CMakeLists.txt") + " " +
                    quoted(source + "/tests/cmakeproject/pictures.c") + " " +
                    quoted(source + "/examples/smiley.bmp") + " " + quoted(project) + " && cp " +
                    quoted(source + "/examples/heart.bmp") + " " + quoted(project + "/art")),
              0);
    const std::string configure = "cmake -S " + quoted(project) + " -B " + quoted(build) +
                                  " -DCMAKE_PREFIX_PATH=" + quoted(scratch.path("prefix"));
    const std::string make =
        "cmake --build " + quoted(build) + " >" + quoted(scratch.path("build.log")) + " 2>&1";
    ASSERT_EQ(shell(configure + " >/dev/null && " + make), 0)
        << readfile(scratch.path("build.log"));

    // Each line holds the bytes of tesselon's own output for that bitmap.
    const auto bytesof = [&](const std::string &bitmap) {
        std::string text = runtesselon(quoted(bitmap)).out, line;
        for (std::size_t at = text.find("0x"); at != std::string::npos;
             at = text.find("0x", at + 4))
            line += (line.empty() ? "" : " ") + text.substr(at, 4);
        return line + "\n";
    };
    ASSERT_EQ(shell(quoted(build + "/pictures") + " >" + quoted(scratch.path("out.txt"))), 0);
    EXPECT_EQ(readfile(scratch.path("out.txt")),
              bytesof(project + "/smiley.bmp") + bytesof(project + "/art/heart.bmp"));

    // A new bitmap under the old name is converted again.
    ASSERT_EQ(shell("cp " + quoted(project + "/art/heart.bmp") + " " +
                    quoted(project + "/smiley.bmp") + " && " + make),
              0);
    ASSERT_EQ(shell(quoted(build + "/pictures") + " >" + quoted(scratch.path("out.txt"))), 0);
    EXPECT_EQ(readfile(scratch.path("out.txt")),
              bytesof(project + "/art/heart.bmp") + bytesof(project + "/art/heart.bmp"));

    scratch.write("project/broken.bmp", {'n', 'o', ' ', 'B', 'M', 'P'});
    ASSERT_EQ(shell(configure + " -DBROKEN=ON >/dev/null"), 0);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_NE(shell(make), 0);
        EXPECT_NE(
            readfile(scratch.path("build.log")).find("ist keine unkomprimierte s/w BMP-Datei"),
            std::string::npos)
            << readfile(scratch.path("build.log"));
        EXPECT_FALSE(std::ifstream(build + "/broken.h").good());
        EXPECT_FALSE(std::ifstream(build + "/broken.h.part").good());
    }
}
