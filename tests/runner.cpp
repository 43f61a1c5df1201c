#include "runner.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Scratch::Scratch() {
    std::string pattern = "/tmp/tesselon-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    chmod(dir_.c_str(), 0755); // an unprivileged user must reach the files
}

Scratch::~Scratch() {
    std::system(("rm -rf " + quoted(dir_)).c_str());
}

std::string Scratch::write(const std::string &name, const std::vector<std::uint8_t> &bytes) const {
    const std::string file = path(name);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::string quoted(const std::string &word) {
    std::string text = "'";
    for (char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string readfile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

RunResult runtesselon(const std::string &arguments, const std::string &prefix,
                      const std::string &program) {
    Scratch scratch;
    const std::string out = scratch.path("stdout"), err = scratch.path("stderr");
    const std::string command =
        prefix + quoted(program) + " " + arguments + " >" + quoted(out) + " 2>" + quoted(err);
    RunResult result;
    result.status = shell(command);
    result.out = readfile(out);
    result.err = readfile(err);
    return result;
}

std::optional<std::string> asunprivileged() {
    if (geteuid() != 0)
        return "";
    if (!installed("setpriv"))
        return std::nullopt;
    return "setpriv --reuid=65534 --regid=65534 --clear-groups ";
}

int shell(const std::string &command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

bool installed(const std::string &command) {
    return shell("command -v " + quoted(command) + " >/dev/null 2>&1") == 0;
}

std::string notfound(const std::string &path) {
    return "\n\nDatei " + path + " wurde nicht gefunden ... \n\n\n";
}
std::string notbitmap(const std::string &path) {
    return "\n\nDatei " + path + " ist keine unkomprimierte s/w BMP-Datei ... \n\n\n";
}
std::string truncated(const std::string &path) {
    return "\n\nDatei " + path + " ist unvollstaendig ... \n\n\n";
}
std::string empty(const std::string &path) {
    return "\n\nDatei " + path + " enthaelt kein Bild ... \n\n\n";
}
std::string toolarge(const std::string &path) {
    return "\n\nDatei " + path + " ist zu gross ... \n\n\n";
}

Peak peakof(const std::string &arguments, const std::string &prefix) {
    Scratch scratch;
    const std::string report = scratch.path("peak");
    Peak peak;
    peak.status = shell(prefix + quoted(PEAKRSS_PATH) + " --report " + quoted(report) + " " +
                        quoted(TESSELON_PATH) + " " + arguments + " >/dev/null");
    try {
        peak.kib = std::stol(readfile(report));
    } catch (const std::exception &) {
    }
    return peak;
}

std::string underaddresslimit(long kib) {
    return quoted(PEAKRSS_PATH) + " --limit-kib " + std::to_string(kib) + " --report /dev/null ";
}
