#include "runner.h"

#include "bitmaps.h"
#include "bmpheader.h"

#include <cstdlib>
#include <filesystem>
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
    std::error_code ignored; // a test that made its files unremovable leaves them
    std::filesystem::remove_all(dir_, ignored);
}

std::string Scratch::write(const std::string &name, const std::vector<std::uint8_t> &bytes) const {
    const std::string file = path(name);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::string Scratch::writeat(const std::string &name, std::vector<std::uint8_t> bmp,
                             std::uint64_t pixeloffset) const {
    const std::size_t pixelstart = fgetint32(bmp.data() + 10);
    const std::vector<std::uint8_t> rows(bmp.begin() + pixelstart, bmp.end());
    bmp.resize(pixelstart);
    put32(bmp, 10, static_cast<std::uint32_t>(pixeloffset));
    const std::string file = write(name, bmp);
    std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(pixeloffset));
    out.write(reinterpret_cast<const char *>(rows.data()),
              static_cast<std::streamsize>(rows.size()));
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

std::string buildprogram(const std::string &path) {
    const std::string emulator = TESSELON_EMULATOR;
    return (emulator.empty() ? "" : emulator + " ") + quoted(path);
}

RunResult runtesselon(const std::string &arguments, const std::string &prefix,
                      const std::string &command) {
    Scratch scratch;
    const std::string out = scratch.path("stdout"), err = scratch.path("stderr");
    RunResult result;
    result.status =
        shell(prefix + command + " " + arguments + " >" + quoted(out) + " 2>" + quoted(err));
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

std::string throughpipe(const std::string &file) {
    return "cat " + quoted(file) + " | ";
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
    peak.status = shell(prefix + buildprogram(PEAKRSS_PATH) + " --report " + quoted(report) + " " +
                        buildprogram() + " " + arguments + " >/dev/null");
    try {
        peak.kib = std::stol(readfile(report));
    } catch (const std::exception &) {
    }
    return peak;
}

std::string limitedtesselon(long kib) {
    const std::string emulator = TESSELON_EMULATOR;
    if (!emulator.empty())
        return emulator + " -R " + std::to_string(kib * 1024) + " " + quoted(TESSELON_PATH);
    return buildprogram(PEAKRSS_PATH) + " --limit-kib " + std::to_string(kib) +
           " --report /dev/null " + quoted(TESSELON_PATH);
}
