#include "tesselkorn.h"

#include <new>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

Outcome written(bool complete) {
    return complete ? Outcome::converted : Outcome::interrupted;
}

Outcome convertseekable(std::streambuf &input, std::uint64_t size, std::ostream &out) {
    const std::optional<std::vector<std::uint8_t>> head = readhead(input, size);
    if (!head)
        return Outcome::notfound;
    const Inspection inspection = inspectbitmap({head->data(), head->size()}, size);
    if (inspection.outcome != Outcome::converted)
        return inspection.outcome;
    FileRows rows(input, inspection.picture);
    return written(writeheader(inspection.picture, rows, out));
}

Outcome convertstream(std::streambuf &input, std::ostream &out) {
    std::vector<std::uint8_t> head;
    const Inspection inspection = readstreamheader(input, head);
    if (inspection.outcome != Outcome::converted)
        return inspection.outcome;
    HeldRows rows;
    const Outcome held = rows.hold(input, inspection.picture, {head.data(), head.size()});
    if (held != Outcome::converted)
        return held;
    return written(writeheader(inspection.picture, rows, out));
}

} // namespace

std::string message(Outcome outcome, std::string_view path) {
    const char *reason = "";
    switch (outcome) {
    case Outcome::notfound:
        reason = " wurde nicht gefunden";
        break;
    case Outcome::notbitmap:
        reason = " ist keine unkomprimierte s/w BMP-Datei";
        break;
    case Outcome::truncated:
        reason = " ist unvollstaendig";
        break;
    case Outcome::empty:
        reason = " enthaelt kein Bild";
        break;
    case Outcome::toolarge:
        reason = " ist zu gross";
        break;
    case Outcome::converted:
    case Outcome::interrupted:
        return {};
    }
    // The path is data, never part of a format.
    return "\n\nDatei " + std::string(path) + reason + " ... \n\n";
}

Outcome convertinput(std::streambuf &input, std::optional<std::uint64_t> size,
                     std::string_view path, std::ostream &out) {
    Outcome outcome;
    // Memory is requested only before any text is written; running out of
    // it is a message, never an abort.
    try {
        outcome = size ? convertseekable(input, *size, out) : convertstream(input, out);
    } catch (const std::bad_alloc &) {
        outcome = Outcome::toolarge;
    }
    out << message(outcome, path);
    return outcome;
}

Outcome loadswbmp(const std::filesystem::path &path, std::ostream &out) {
    const std::optional<OpenInput> input = openinput(path);
    if (!input) {
        out << message(Outcome::notfound, shownpath(path));
        return Outcome::notfound;
    }
    return convertinput(*input->file, input->size, shownpath(path), out);
}

std::string shownpath(const std::filesystem::path &path) {
#ifdef _WIN32
    // Windows' own conversion; a lone surrogate, which has no UTF-8 form,
    // becomes U+FFFD.
    const std::wstring &name = path.native();
    if (name.empty())
        return {};
    const int length = static_cast<int>(name.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, name.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), length, text.data(), bytes, nullptr, nullptr);
    return text;
#else
    return path.native();
#endif
}

int exitstatus(Outcome outcome, bool written) {
    return outcome == Outcome::converted && written ? 0 : 1;
}

const char *const usagetext =
    "\n\nTESSELON 0.01\n"
    "-------------\n\n"
    "Dateikonverter: \n"
    "   Konvertiert eine s/w BMP-Datei in ein AVR kompatibles Headerfile.\n"
    "   Hierfuer wird ein Array im Header generiert. Die Ausgabe des \n"
    "   Headerfiles geschieht auf dem Standard-Output. Soll eine Datei\n"
    "   geschrieben werden, so kann diese mittels Pipe Funktion in eine\n"
    "   Datei umgeleitet werden.\n"
    "   Syntax:   tesselkorn BMP-Dateiname\n"
    "\nBeispiel:  tesselon mybmp.bmp > myheader.h\n\n";
