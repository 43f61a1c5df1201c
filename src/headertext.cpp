#include "headertext.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

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

// Writes output bytes each followed by ", ".
void writeleadingbytes(const std::uint8_t *stored, std::size_t count, TextBuffer &text) {
    while (count > 0) {
        const std::size_t fit = text.room() / bytetextlength;
        if (fit == 0) {
            text.flush();
            continue;
        }
        const std::size_t chunk = std::min(fit, count);
        char *cursor = text.cursor();
        for (std::size_t i = 0; i < chunk; ++i, cursor += bytetextlength)
            std::memcpy(cursor, bytetexts[outputbyte(stored[i])].data(), sizeof(ByteText));
        text.advance(chunk * bytetextlength);
        stored += chunk;
        count -= chunk;
    }
}

// Writes a row's last byte, its closing separator and the row break.
void writelastbyte(std::uint8_t stored, const Picture &picture, bool lastrow, TextBuffer &text) {
    // Pixels at or beyond the width are 0, whatever fill the file holds.
    const unsigned pixelsinlast = static_cast<unsigned>((picture.width - 1) % 8 + 1);
    const auto widthmask = static_cast<std::uint8_t>(0xFF00u >> pixelsinlast);
    const std::uint8_t last = outputbyte(stored) & widthmask;
    text.put(std::string_view(bytetexts[last].data(), bytehexlength));
    text.put(lastrow ? " };\n" : ", ");
    text.put("\n  ");
}

// Writes one output row from the pieces the source hands over.
bool writerow(std::uint64_t row, const Picture &picture, RowSource &rows, TextBuffer &text) {
    for (std::uint64_t start = 0; start < picture.rowbytes;) {
        const ByteView piece = rows.fetch(row, start, picture.rowbytes - start);
        if (piece.size == 0)
            return false;
        start += piece.size;
        const bool rowend = start == picture.rowbytes;
        writeleadingbytes(piece.data, piece.size - (rowend ? 1 : 0), text);
        if (rowend)
            writelastbyte(piece.data[piece.size - 1], picture, row + 1 == picture.height, text);
    }
    return true;
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

bool writeheader(const Picture &picture, RowSource &rows, std::ostream &out) {
    TextBuffer text(out);
    text.put("static const unsigned char bmppic [] PROGMEM = {\n");
    text.put("  0x" + hex(picture.width) + ", 0x" + hex(picture.height) + ",\n  ");
    for (std::uint64_t row = 0; row < picture.height; ++row)
        if (!writerow(row, picture, rows, text))
            return false; // what is still buffered stays unwritten
    text.flush();
    return true;
}
