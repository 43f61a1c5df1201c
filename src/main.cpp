// tesselon: command-line entry. One argument converts that bitmap; any other
// argument count prints the usage text.
#include "tesselkorn.h"

#include <iostream>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cout << usagetext << std::flush;
        return usagestatus;
    }
    const Outcome outcome = loadswbmp(argv[1], std::cout);
    std::cout << '\n' << std::flush;
    return exitstatus(outcome, !std::cout.fail());
}
