// libFuzzer target: any bytes, converted by the core both as a file read by
// position and as a stream, must give the same text either way: one
// complete bmppic declaration whose rows match its dimension line, or
// exactly one message. Anything else aborts, and so does any sanitizer
// finding.
#include "tesselkorn.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

namespace {

const std::string path = "fuzz.bmp";

// Walks the declaration text; every method aborts on a deviation.
class DeclarationCheck {
  public:
    explicit DeclarationCheck(const std::string &text) : text_(text) {}

    void expect(const std::string &literal) {
        if (text_.compare(at_, literal.size(), literal) != 0)
            std::abort();
        at_ += literal.size();
    }

    // Upper-case hexadecimal of at least two digits.
    std::uint64_t hex() {
        const std::size_t start = at_;
        std::uint64_t value = 0;
        while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_])) &&
               !std::islower(static_cast<unsigned char>(text_[at_]))) {
            if (at_ - start >= 16)
                std::abort();
            value = value * 16 +
                    static_cast<std::uint64_t>(std::stoi(text_.substr(at_++, 1), nullptr, 16));
        }
        if (at_ - start < 2)
            std::abort();
        return value;
    }

    void end() const {
        if (at_ != text_.size())
            std::abort();
    }

  private:
    const std::string &text_;
    std::size_t at_ = 0;
};

void checkdeclaration(const std::string &text) {
    DeclarationCheck check(text);
    check.expect("static const unsigned char bmppic [] PROGMEM = {\n  0x");
    const std::uint64_t width = check.hex();
    check.expect(", 0x");
    const std::uint64_t height = check.hex();
    check.expect(",\n  ");
    if (width == 0 || height == 0)
        std::abort();
    const std::uint64_t rowbytes = (width + 7) / 8;
    const unsigned unused = static_cast<unsigned>(rowbytes * 8 - width); // bits beyond the width
    for (std::uint64_t row = 0; row < height; ++row) {
        for (std::uint64_t i = 0; i < rowbytes; ++i) {
            check.expect("0x");
            const std::uint64_t value = check.hex();
            if (value > 0xFF || (i + 1 == rowbytes && (value & ((1u << unused) - 1)) != 0))
                std::abort();
            check.expect(row + 1 == height && i + 1 == rowbytes ? " };\n" : ", ");
        }
        check.expect("\n  ");
    }
    check.end();
}

// The text for the bytes, read by position when seekable, else as a stream.
std::string convert(const std::string &bytes, bool seekable, Outcome &outcome) {
    std::stringbuf input(bytes, std::ios_base::in);
    std::ostringstream out;
    const std::optional<std::uint64_t> size =
        seekable ? std::optional<std::uint64_t>(bytes.size()) : std::nullopt;
    outcome = convertinput(input, size, path, out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Outcome outcome, streamed;
    const std::string text = convert(bytes, true, outcome);
    if (convert(bytes, false, streamed) != text || streamed != outcome)
        std::abort();
    if (outcome == Outcome::converted)
        checkdeclaration(text);
    else if (outcome == Outcome::interrupted || text != message(outcome, path))
        std::abort();
    return 0;
}
