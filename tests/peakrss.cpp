// peakrss [--limit-kib N] [--report FILE] PROGRAM [ARGUMENTS...]: runs the
// program, limited to N KiB of address space when asked, and writes its
// peak resident memory in KiB to FILE (standard error by default). Being
// small itself, it lends the child none of a large parent's memory, which a
// fork would count.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
    long limitkib = 0;
    const char *report = nullptr;
    int first = 1;
    for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
        if (std::strcmp(argv[first], "--limit-kib") == 0)
            limitkib = std::atol(argv[first + 1]);
        else if (std::strcmp(argv[first], "--report") == 0)
            report = argv[first + 1];
        else
            return 2;
    }
    if (first >= argc)
        return 2;
    const pid_t child = fork();
    if (child == 0) {
        if (limitkib > 0) {
            const rlimit limit{static_cast<rlim_t>(limitkib) * 1024,
                               static_cast<rlim_t>(limitkib) * 1024};
            setrlimit(RLIMIT_AS, &limit);
        }
        execv(argv[first], argv + first);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return 2;
    std::FILE *out = report ? std::fopen(report, "w") : stderr;
    if (out)
        std::fprintf(out, "%ld\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
