#include "tesselkorn.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

constexpr std::uint16_t bitmapsignature = 0x4D42; // "BM", read little-endian
constexpr std::uint32_t coreheadersize = 12;      // OS/2 header: 16-bit dimensions
constexpr std::uint32_t infoheadersize = 40;      // Windows header and its longer successors

// The header fields the conversion depends on, as the file states them.
struct Fields {
    std::uint64_t pixeloffset;
    std::int64_t width;
    std::int64_t height; // negative: rows stored top first
    std::uint32_t bitcount;
    std::uint32_t compression;
};

// A field lookup that remembers the end of the first field the input lacks.
class FieldReader {
  public:
    explicit FieldReader(ByteView input) : input_(input) {}

    std::uint32_t u32(std::uint64_t offset) { return note(fread32(input_, offset), offset + 4); }
    std::uint16_t u16(std::uint64_t offset) { return note(fread16(input_, offset), offset + 2); }
    std::int64_t s32(std::uint64_t offset) {
        const std::uint32_t raw = u32(offset);
        return raw < 0x80000000u ? std::int64_t{raw} : std::int64_t{raw} - 0x100000000;
    }

    // The input length needed for every field asked so far; 0 when all were present.
    std::uint64_t missing() const { return missing_; }

  private:
    template <typename T> T note(std::optional<T> field, std::uint64_t end) {
        if (!field && missing_ == 0)
            missing_ = end;
        return field.value_or(0);
    }

    ByteView input_;
    std::uint64_t missing_ = 0;
};

Fields readfields(FieldReader &reader, std::uint32_t headersize) {
    if (headersize == coreheadersize)
        return {reader.u32(10), reader.u16(18), reader.u16(20), reader.u16(24), 0};
    return {reader.u32(10), reader.s32(18), reader.s32(22), reader.u16(28), reader.u32(30)};
}

Picture geometry(const Fields &fields) {
    Picture picture{};
    picture.width = static_cast<std::uint64_t>(fields.width);
    picture.topdown = fields.height < 0;
    picture.height = static_cast<std::uint64_t>(picture.topdown ? -fields.height : fields.height);
    picture.pixeloffset = fields.pixeloffset;
    picture.stride = (picture.width + 31) / 32 * 4; // stored rows are padded to 32-bit words
    picture.rowbytes = (picture.width + 7) / 8;
    return picture;
}

// One past the last byte the output is made from; the word fill after the
// last stored row may be missing.
std::uint64_t pixelend(const Picture &picture) {
    return picture.pixeloffset + (picture.height - 1) * picture.stride + picture.rowbytes;
}

Inspection refuse(Outcome outcome, std::uint64_t needed = 0) {
    return {outcome, {}, needed};
}

// The text of every byte value, "0xXX, " padded to eight characters so that
// it can be copied as one word.
using ByteText = std::array<char, 8>;

constexpr std::array<ByteText, 256> makebytetexts() {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<ByteText, 256> texts{};
    for (std::size_t value = 0; value < texts.size(); ++value) {
        texts[value] = {'0', 'x', digits[value >> 4], digits[value & 15], ',', ' ', '\0', '\0'};
    }
    return texts;
}

constexpr std::array<ByteText, 256> bytetexts = makebytetexts();
constexpr std::size_t bytetextlength = 6;
constexpr std::size_t bytehexlength = 4; // "0xXX" without its separator

// Collects output text and hands it to the stream in large blocks.
class TextBuffer {
  public:
    explicit TextBuffer(std::ostream &out) : out_(out), buffer_(blocksize + slack) {}

    void put(std::string_view text) {
        if (text.size() > room())
            flush();
        if (text.size() > room()) {
            out_.write(text.data(), static_cast<std::streamsize>(text.size()));
            return;
        }
        std::memcpy(cursor(), text.data(), text.size());
        used_ += text.size();
    }

    // Free space; slack behind it lets a copy of a whole ByteText overrun it.
    std::size_t room() const { return blocksize - used_; }
    char *cursor() { return buffer_.data() + used_; }
    void advance(std::size_t count) { used_ += count; }

    void flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

  private:
    static constexpr std::size_t blocksize = std::size_t{1} << 17;
    static constexpr std::size_t slack = sizeof(ByteText);

    std::ostream &out_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

// An output bit is 1 where the pixel has colour index 0.
inline std::uint8_t outputbyte(std::uint8_t stored) {
    return static_cast<std::uint8_t>(~stored);
}

// Writes all but the last output byte of a row, each followed by ", ".
void writeleadingbytes(const std::uint8_t *stored, std::uint64_t count, TextBuffer &text) {
    while (count > 0) {
        const std::size_t fit = text.room() / bytetextlength;
        if (fit == 0) {
            text.flush();
            continue;
        }
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(fit, count));
        char *cursor = text.cursor();
        for (std::size_t i = 0; i < chunk; ++i, cursor += bytetextlength)
            std::memcpy(cursor, bytetexts[outputbyte(stored[i])].data(), sizeof(ByteText));
        text.advance(chunk * bytetextlength);
        stored += chunk;
        count -= chunk;
    }
}

void writerow(const std::uint8_t *stored, const Picture &picture, bool lastrow, TextBuffer &text) {
    writeleadingbytes(stored, picture.rowbytes - 1, text);
    // Pixels at or beyond the width are 0, whatever fill the file holds.
    const unsigned pixelsinlast = static_cast<unsigned>((picture.width - 1) % 8 + 1);
    const auto widthmask = static_cast<std::uint8_t>(0xFF00u >> pixelsinlast);
    const std::uint8_t last = outputbyte(stored[picture.rowbytes - 1]) & widthmask;
    text.put(std::string_view(bytetexts[last].data(), bytehexlength));
    text.put(lastrow ? " };\n" : ", ");
    text.put("\n  ");
}

// Upper-case hexadecimal, at least two digits.
std::string hex(std::uint64_t value) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (text.size() < 2)
        text.insert(text.begin(), '0');
    return text;
}

} // namespace

std::uint32_t fgetint32(const std::uint8_t *bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::optional<std::uint32_t> fread32(ByteView input, std::uint64_t offset) {
    if (offset > input.size || input.size - offset < 4)
        return std::nullopt;
    return fgetint32(input.data + offset);
}

std::optional<std::uint16_t> fread16(ByteView input, std::uint64_t offset) {
    if (offset > input.size || input.size - offset < 2)
        return std::nullopt;
    const std::uint8_t *bytes = input.data + offset;
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

Inspection inspectbitmap(ByteView input) {
    FieldReader reader(input);
    const std::uint16_t signature = reader.u16(0);
    if (reader.missing())
        return refuse(Outcome::truncated, reader.missing());
    if (signature != bitmapsignature)
        return refuse(Outcome::notbitmap);

    const std::uint32_t headersize = reader.u32(14);
    if (reader.missing())
        return refuse(Outcome::truncated, reader.missing());
    if (headersize != coreheadersize && headersize < infoheadersize)
        return refuse(Outcome::notbitmap);

    const Fields fields = readfields(reader, headersize);
    if (reader.missing())
        return refuse(Outcome::truncated, reader.missing());
    if (fields.bitcount != 1 || fields.compression != 0 || fields.width < 0)
        return refuse(Outcome::notbitmap);
    if (fields.width == 0 || fields.height == 0)
        return refuse(Outcome::empty);

    const Picture picture = geometry(fields);
    const std::uint64_t end = pixelend(picture);
    if (end > input.size)
        return refuse(Outcome::truncated, end);
    return {Outcome::converted, picture, end};
}

void writeheader(const Picture &picture, ByteView input, std::ostream &out) {
    TextBuffer text(out);
    text.put("static const unsigned char bmppic [] PROGMEM = {\n");
    text.put("  0x" + hex(picture.width) + ", 0x" + hex(picture.height) + ",\n  ");
    const std::uint8_t *pixels = input.data + picture.pixeloffset;
    for (std::uint64_t row = 0; row < picture.height; ++row) {
        const std::uint64_t stored = picture.topdown ? row : picture.height - 1 - row;
        writerow(pixels + stored * picture.stride, picture, row + 1 == picture.height, text);
    }
    text.flush();
}

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
    case Outcome::converted:
        return {};
    }
    // The path is data, never part of a format.
    return "\n\nDatei " + std::string(path) + reason + " ... \n\n";
}

Outcome convertbitmap(ByteView input, std::string_view path, std::ostream &out) {
    const Inspection inspection = inspectbitmap(input);
    if (inspection.outcome == Outcome::converted)
        writeheader(inspection.picture, input, out);
    else
        out << message(inspection.outcome, path);
    return inspection.outcome;
}

namespace {

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

// Appends up to count bytes; false once the input has ended or failed.
bool readmore(std::FILE *file, std::vector<std::uint8_t> &bytes, std::size_t count) {
    const std::size_t old = bytes.size();
    bytes.resize(old + count);
    const std::size_t got = std::fread(bytes.data() + old, 1, count, file);
    bytes.resize(old + got);
    return got == count;
}

// The size of a regular file, or nothing for pipes and devices.
std::optional<std::uint64_t> regularfilesize(const char *path) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    return size;
}

constexpr std::uint64_t readchunk = std::uint64_t{1} << 16;
constexpr std::uint64_t maxreadstep = std::uint64_t{1} << 30; // fits a 32-bit size_t

} // namespace

std::optional<std::vector<std::uint8_t>> readinput(const char *path) {
    // Read-only: the input is never written, so files the user may not
    // write convert too.
    FileHandle file(std::fopen(path, "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    const std::optional<std::uint64_t> filesize = regularfilesize(path);

    // Read only as far as the conversion needs: a device or pipe is read no
    // further than the header asks. A regular file is read up to its size;
    // input of unknown length at most doubles what has arrived per step, so
    // a header that claims more than the input holds costs no memory.
    std::vector<std::uint8_t> bytes;
    for (;;) {
        const Inspection inspection = inspectbitmap({bytes.data(), bytes.size()});
        if (inspection.outcome != Outcome::truncated)
            break;
        std::uint64_t count = inspection.needed - bytes.size();
        if (filesize && *filesize > bytes.size())
            count = std::min(count, *filesize - bytes.size());
        else
            count = std::min(count, std::max<std::uint64_t>(bytes.size(), readchunk));
        count = std::min(count, maxreadstep);
        if (!readmore(file.get(), bytes, static_cast<std::size_t>(count)))
            break;
    }
    // A directory opens on some systems but cannot be read: no readable file.
    if (std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

Outcome loadswbmp(const char *path, std::ostream &out) {
    const std::optional<std::vector<std::uint8_t>> input = readinput(path);
    if (!input) {
        out << message(Outcome::notfound, path);
        return Outcome::notfound;
    }
    return convertbitmap({input->data(), input->size()}, path, out);
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
