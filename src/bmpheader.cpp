#include "bmpheader.h"

namespace {

constexpr std::uint16_t bitmapsignature = 0x4D42; // "BM", read little-endian
constexpr std::uint32_t coreheadersize = 12;      // OS/2 header: 16-bit dimensions
constexpr std::uint32_t infoheadersize = 40;      // Windows header and its longer successors

// Where the fields lie, from the start of the file. The file header comes
// first, then the picture's header, whose size tells its kind.
namespace at {
constexpr std::uint64_t signature = 0;    // u16, "BM"
constexpr std::uint64_t pixeloffset = 10; // u32, where the first stored row begins
constexpr std::uint64_t headersize = 14;  // u32, the picture header's size
// The Windows header (40 bytes) and its longer V4 and V5 forms.
constexpr std::uint64_t width = 18;       // s32
constexpr std::uint64_t height = 22;      // s32, negative for rows stored top first
constexpr std::uint64_t bitcount = 28;    // u16, bits per pixel
constexpr std::uint64_t compression = 30; // u32, 0 for none
// The OS/2 header (12 bytes): unsigned 16-bit fields.
constexpr std::uint64_t corewidth = 18;
constexpr std::uint64_t coreheight = 20;
constexpr std::uint64_t corebitcount = 24;
} // namespace at

static_assert(at::compression + 4 == headerlength, "headerlength covers every field read");

// The header fields the conversion depends on, as the file states them.
struct Fields {
    std::uint64_t pixeloffset;
    std::int64_t width;
    std::int64_t height; // negative: rows stored top first
    std::uint32_t bitcount;
    std::uint32_t compression;
};

// A field lookup that remembers the end of the first field the bytes lack.
class FieldReader {
  public:
    explicit FieldReader(ByteView head) : head_(head) {}

    std::uint32_t u32(std::uint64_t offset) { return note(fread32(head_, offset), offset + 4); }
    std::uint16_t u16(std::uint64_t offset) { return note(fread16(head_, offset), offset + 2); }
    std::int64_t s32(std::uint64_t offset) {
        const std::uint32_t raw = u32(offset);
        return raw < 0x80000000u ? std::int64_t{raw} : std::int64_t{raw} - 0x100000000;
    }

    // The length needed for every field asked so far; 0 when all were present.
    std::uint64_t missing() const { return missing_; }

  private:
    template <typename T> T note(std::optional<T> field, std::uint64_t end) {
        if (!field && missing_ == 0)
            missing_ = end;
        return field.value_or(0);
    }

    ByteView head_;
    std::uint64_t missing_ = 0;
};

Fields readfields(FieldReader &reader, std::uint32_t headersize) {
    if (headersize == coreheadersize)
        return {reader.u32(at::pixeloffset), reader.u16(at::corewidth), reader.u16(at::coreheight),
                reader.u16(at::corebitcount), 0};
    return {reader.u32(at::pixeloffset), reader.s32(at::width), reader.s32(at::height),
            reader.u16(at::bitcount), reader.u32(at::compression)};
}

Picture geometry(const Fields &fields) {
    Picture picture{};
    picture.width = static_cast<std::uint64_t>(fields.width);
    picture.topdown = fields.height < 0;
    picture.height = static_cast<std::uint64_t>(picture.topdown ? -fields.height : fields.height);
    picture.pixeloffset = fields.pixeloffset;
    picture.stride = (picture.width + 31) / 32 * 4; // stored rows are padded to 32-bit words
    picture.rowbytes = (picture.width + 7) / 8;
    // The word fill after the last stored row may be missing.
    picture.end = picture.pixeloffset + (picture.height - 1) * picture.stride + picture.rowbytes;
    return picture;
}

Inspection refuse(Outcome outcome, std::uint64_t needed = 0) {
    return {outcome, {}, needed};
}

} // namespace

std::uint32_t fgetint32(const std::uint8_t *bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::optional<std::uint32_t> fread32(ByteView bytes, std::uint64_t offset) {
    if (offset > bytes.size || bytes.size - offset < 4)
        return std::nullopt;
    return fgetint32(bytes.data + offset);
}

std::optional<std::uint16_t> fread16(ByteView bytes, std::uint64_t offset) {
    if (offset > bytes.size || bytes.size - offset < 2)
        return std::nullopt;
    const std::uint8_t *field = bytes.data + offset;
    return static_cast<std::uint16_t>(field[0] | field[1] << 8);
}

Inspection inspectheader(ByteView head) {
    FieldReader reader(head);
    const std::uint16_t signature = reader.u16(at::signature);
    if (reader.missing())
        return refuse(Outcome::truncated, reader.missing());
    if (signature != bitmapsignature)
        return refuse(Outcome::notbitmap);

    const std::uint32_t headersize = reader.u32(at::headersize);
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
    return {Outcome::converted, geometry(fields), 0};
}

Inspection inspectbitmap(ByteView head, std::uint64_t size) {
    const Inspection inspection = inspectheader(head);
    if (inspection.outcome == Outcome::converted && inspection.picture.end > size)
        return refuse(Outcome::truncated, inspection.picture.end);
    return inspection;
}
