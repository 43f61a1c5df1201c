// tesselon: command-line entry. One argument converts that bitmap; any other
// argument count prints the usage text.
#include "tesselkorn.h"

#include <filesystem>
#include <iostream>

namespace {

template <typename Char> int run(int argc, Char **argv) {
    if (argc != 2) {
        std::cout << usagetext << std::flush;
        return usagestatus;
    }
    const Outcome outcome = loadswbmp(std::filesystem::path(argv[1]), std::cout);
    std::cout << '\n' << std::flush;
    return exitstatus(outcome, !std::cout.fail());
}

} // namespace

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Windows hands the command line over in UTF-16, so a name in any script
// opens as it is. Messages show it in UTF-8, which the console is set to
// display while tesselon runs.
int wmain(int argc, wchar_t **argv) {
    const UINT codepage = GetConsoleOutputCP(); // 0 without a console
    if (codepage != 0)
        SetConsoleOutputCP(CP_UTF8);
    const int status = run(argc, argv);
    if (codepage != 0)
        SetConsoleOutputCP(codepage);
    return status;
}
#else
int main(int argc, char **argv) {
    return run(argc, argv);
}
#endif
