#include "input.h"

#include <algorithm>
#include <cstring>
#include <ios>
#include <system_error>

namespace {

constexpr std::uint64_t blocklimit = std::uint64_t{1} << 20; // bytes read by position at once
constexpr std::uint64_t heldchunk = std::uint64_t{1} << 20;  // bytes of held rows per allocation
constexpr std::uint64_t skiplimit = std::uint64_t{1} << 16;  // bytes of a stream dropped at once

// Reads up to count bytes; the number read, or nothing when the input failed.
// A file stream reports a failed read (an I/O error) by throwing.
std::optional<std::size_t> readbytes(std::streambuf &input, std::uint8_t *bytes,
                                     std::size_t count) {
    try {
        const std::streamsize got =
            input.sgetn(reinterpret_cast<char *>(bytes), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(std::max<std::streamsize>(got, 0));
    } catch (const std::ios_base::failure &) {
        return std::nullopt;
    }
}

bool seekto(std::streambuf &input, std::uint64_t offset) {
    const auto target = static_cast<std::streamoff>(offset);
    return input.pubseekpos(std::streampos(target), std::ios_base::in) == std::streampos(target);
}

// Reads a stream at increasing offsets. Offsets within the bytes already
// taken are served from head; bytes passed over are dropped in small pieces.
class StreamCursor {
  public:
    StreamCursor(std::streambuf &input, ByteView head)
        : input_(input), head_(head), position_(head.size) {}

    // Copies count bytes from offset `from` on, which lies at or after the
    // end of the previous copy.
    Outcome copy(std::uint64_t from, std::uint8_t *into, std::size_t count) {
        if (from < head_.size) {
            const auto fromhead =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, head_.size - from));
            std::memcpy(into, head_.data + from, fromhead);
            into += fromhead;
            count -= fromhead;
            from += fromhead;
        }
        if (count == 0)
            return Outcome::converted;
        if (const Outcome skipped = skipto(from); skipped != Outcome::converted)
            return skipped;
        return take(into, count);
    }

  private:
    Outcome skipto(std::uint64_t offset) {
        while (position_ < offset) {
            const std::uint64_t gap = offset - position_;
            if (dropped_.empty())
                dropped_.resize(static_cast<std::size_t>(std::min(gap, skiplimit)));
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(gap, dropped_.size()));
            if (const Outcome taken = take(dropped_.data(), count); taken != Outcome::converted)
                return taken;
        }
        return Outcome::converted;
    }

    Outcome take(std::uint8_t *into, std::size_t count) {
        const std::optional<std::size_t> got = readbytes(input_, into, count);
        if (!got)
            return Outcome::notfound;
        position_ += *got;
        return *got == count ? Outcome::converted : Outcome::truncated;
    }

    std::streambuf &input_;
    ByteView head_;
    std::uint64_t position_; // stream offset of the next byte to arrive
    std::vector<std::uint8_t> dropped_;
};

} // namespace

std::optional<OpenInput> openinput(const std::filesystem::path &path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    // A directory opens on some systems but holds no bytes: no readable file.
    if (std::filesystem::is_directory(status))
        return std::nullopt;
    OpenInput input{std::make_unique<std::filebuf>(), std::nullopt};
    if (!input.file->open(path, std::ios_base::in | std::ios_base::binary))
        return std::nullopt;
    // Regular files and block devices can be read by position; pipes and
    // character devices are read once, from the start.
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_block_file(status)) {
        const std::streampos end = input.file->pubseekoff(0, std::ios_base::end, std::ios_base::in);
        if (end != std::streampos(-1))
            input.size = static_cast<std::uint64_t>(std::streamoff(end));
    }
    return input;
}

std::optional<std::vector<std::uint8_t>> readhead(std::streambuf &input, std::uint64_t size) {
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min(size, headerlength)));
    if (!seekto(input, 0))
        return std::nullopt;
    const std::optional<std::size_t> got = readbytes(input, head.data(), head.size());
    if (!got || *got != head.size())
        return std::nullopt;
    return head;
}

Inspection readstreamheader(std::streambuf &input, std::vector<std::uint8_t> &head) {
    for (;;) {
        const Inspection inspection = inspectheader({head.data(), head.size()});
        if (inspection.outcome != Outcome::truncated)
            return inspection;
        const std::size_t old = head.size();
        head.resize(static_cast<std::size_t>(inspection.needed));
        const std::optional<std::size_t> got =
            readbytes(input, head.data() + old, head.size() - old);
        if (!got)
            return {Outcome::notfound, {}, 0};
        if (*got != head.size() - old)
            return inspection;
    }
}

FileRows::FileRows(std::streambuf &input, const Picture &picture)
    : input_(input), picture_(picture) {
    // Taken before any text is written, so that reading never asks for more.
    block_.reserve(
        static_cast<std::size_t>(std::min(blocklimit, picture.end - picture.pixeloffset)));
}

ByteView FileRows::fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) {
    const std::uint64_t position = picture_.rowoffset(row) + start;
    if (position < blockstart_ || position >= blockstart_ + block_.size()) {
        // Read ahead in output order: forward for top-down pictures, back
        // towards the pixel offset for bottom-up ones. The block never
        // reaches before the pixels or past the last byte the output needs.
        std::uint64_t from = position, to = position + std::min(count, blocklimit);
        if (count < blocklimit) {
            if (picture_.topdown)
                to = std::min(position + blocklimit, picture_.end);
            else
                from = to - std::min(blocklimit, to - picture_.pixeloffset);
        }
        if (!load(from, to))
            return {nullptr, 0};
    }
    const std::uint64_t available = blockstart_ + block_.size() - position;
    return {block_.data() + (position - blockstart_),
            static_cast<std::size_t>(std::min(count, available))};
}

bool FileRows::load(std::uint64_t from, std::uint64_t to) {
    block_.resize(static_cast<std::size_t>(to - from));
    blockstart_ = from;
    // A file that shrank since its size was taken, or fails, ends the rows.
    const bool loaded = seekto(input_, from) && readbytes(input_, block_.data(), block_.size()) ==
                                                    std::optional<std::size_t>(block_.size());
    if (!loaded)
        block_.clear();
    return loaded;
}

Outcome HeldRows::hold(std::streambuf &input, const Picture &picture, ByteView head) {
    picture_ = picture;
    chunks_.clear();
    StreamCursor cursor(input, head);
    const std::uint64_t total = picture.height * picture.rowbytes;
    for (std::uint64_t stored = 0; stored < picture.height; ++stored) {
        const std::uint64_t rowstart = picture.pixeloffset + stored * picture.stride;
        for (std::uint64_t start = 0; start < picture.rowbytes;) {
            const std::uint64_t kept = stored * picture.rowbytes + start;
            const std::uint64_t chunk = kept / heldchunk, within = kept % heldchunk;
            if (chunk == chunks_.size()) // uninitialised: pages are taken as bytes arrive
                chunks_.emplace_back(new std::uint8_t[static_cast<std::size_t>(
                    std::min(heldchunk, total - chunk * heldchunk))]);
            const std::uint64_t count = std::min(picture.rowbytes - start, heldchunk - within);
            const Outcome copied = cursor.copy(rowstart + start, chunks_[chunk].get() + within,
                                               static_cast<std::size_t>(count));
            if (copied != Outcome::converted)
                return copied;
            start += count;
        }
    }
    return Outcome::converted;
}

ByteView HeldRows::fetch(std::uint64_t row, std::uint64_t start, std::uint64_t count) {
    const std::uint64_t kept = picture_.storedrow(row) * picture_.rowbytes + start;
    const std::uint64_t within = kept % heldchunk;
    return {chunks_[static_cast<std::size_t>(kept / heldchunk)].get() + within,
            static_cast<std::size_t>(std::min(count, heldchunk - within))};
}
