// Runs the built tesselon as a user would, from a shell, and collects what it prints.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunResult {
    int status = -1; // exit status as the shell reports it (0 to 255)
    std::string out;
    std::string err;
};

// A fresh directory for one test's files, removed with the object.
class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string write(const std::string &name, const std::vector<std::uint8_t> &bytes) const;
    // Writes a bitmap with its rows moved to pixeloffset; the bytes before
    // them are a hole in the file, which costs no disk.
    std::string writeat(const std::string &name, std::vector<std::uint8_t> bmp,
                        std::uint64_t pixeloffset) const;

  private:
    std::string dir_;
};

// Quotes one word for the shell.
std::string quoted(const std::string &word);

// The shell text that runs a program of this build, tesselon by default:
// through the emulator the build names, if any (a 32-bit build here).
std::string buildprogram(const std::string &path = TESSELON_PATH);

// The prefix for runtesselon and peakof that hands file to tesselon
// through a pipe, which it then reads as /dev/stdin.
std::string throughpipe(const std::string &file);

// Runs "tesselon <arguments>" through the shell; arguments are shell text
// (quote paths with quoted()), prefix comes before the command (a pipe, say),
// command is the shell text of the program to run.
RunResult runtesselon(const std::string &arguments, const std::string &prefix = "",
                      const std::string &command = buildprogram());

// The command prefix that runs what follows as an unprivileged user ("" when
// the tests already run as one), or nothing when root has no way to drop
// its privileges.
std::optional<std::string> asunprivileged();

std::string readfile(const std::string &path);

// Runs a shell command; its exit status as the shell reports it, -1 when it
// did not exit normally.
int shell(const std::string &command);

// Whether the shell finds the command.
bool installed(const std::string &command);

// tesselon's messages for path, with the line end that follows every run.
std::string notfound(const std::string &path);
std::string notbitmap(const std::string &path);
std::string truncated(const std::string &path);
std::string empty(const std::string &path);
std::string toolarge(const std::string &path);

struct Peak {
    int status = -1; // exit status of the run
    long kib = -1;   // its peak resident memory
};

// One run of tesselon with arguments (shell text), prefix before it as in
// runtesselon; standard output is discarded.
Peak peakof(const std::string &arguments, const std::string &prefix = "");

// The shell text that runs tesselon with at most kib KiB of address space:
// set by the launcher, or, under qemu, which keeps such limits from the
// program it runs, as the size of the program's reserved address space.
std::string limitedtesselon(long kib);
