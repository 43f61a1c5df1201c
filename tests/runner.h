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

  private:
    std::string dir_;
};

// Quotes one word for the shell.
std::string quoted(const std::string &word);

// Runs "tesselon <arguments>" through the shell; arguments are shell text
// (quote paths with quoted()), prefix comes before the command (a pipe, say),
// program is the executable to run.
RunResult runtesselon(const std::string &arguments, const std::string &prefix = "",
                      const std::string &program = TESSELON_PATH);

// The command prefix that runs what follows as an unprivileged user ("" when
// the tests already run as one), or nothing when root has no way to drop
// its privileges.
std::optional<std::string> asunprivileged();

std::string readfile(const std::string &path);
