#include "db/engine/memo.h"

#include "db/engine/bytes.h"
#include "db/engine/error.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace shelvix::db {

namespace {

constexpr std::uint32_t kDefaultBlock = 512;
constexpr std::uint8_t kEnd = 0x1A;
constexpr std::uint8_t kBlockMark[4] = {0xFF, 0xFF, 0x08, 0x00};

} // namespace

std::unique_ptr<MemoFile> MemoFile::open(const std::filesystem::path& path,
                                         std::uint8_t tableVersion, FileSystem& fs) {
    std::unique_ptr<MemoFile> m(new MemoFile);
    m->file_ = fs.open(path, FileMode::ReadOnly);
    m->size_ = m->file_->size();
    std::uint8_t h[22];
    if (m->file_->readAt(0, h, sizeof h) != sizeof h)
        throw DatabaseError("The memo file " + path.filename().string() +
                                " is too short to hold its header",
                            DatabaseError::Kind::Corrupt);
    // As other readers decide: a dBASE III table, or a memo file that says so.
    m->dBase4_ = (tableVersion & 0x0F) != 3 && h[16] != 3;
    if (m->dBase4_) {
        const std::uint32_t size = get16(h + 20);
        m->blockSize_ = size == 0 ? kDefaultBlock : size;
    }
    return m;
}

std::optional<std::string> MemoFile::read(std::uint32_t block, std::size_t limit) {
    if (block == 0)
        return std::nullopt;
    const std::uint64_t start = std::uint64_t(block) * blockSize_;
    if (start >= size_)
        return std::nullopt;
    std::string text;
    if (dBase4_) {
        std::uint8_t head[8];
        if (file_->readAt(start, head, sizeof head) != sizeof head ||
            std::memcmp(head, kBlockMark, sizeof kBlockMark) != 0)
            return std::nullopt;
        const std::uint32_t length = get32(head + 4);
        if (length < sizeof head || start + length > size_)
            return std::nullopt;
        text.resize(std::min<std::size_t>(length - sizeof head, limit));
        file_->readExact(start + sizeof head, text.data(), text.size(), "the memo file");
        return text;
    }
    // The text may run on over many blocks: look for its end a block at a time.
    std::vector<std::uint8_t> buf(kDefaultBlock);
    for (std::uint64_t pos = start; pos < size_ && pos < noEndFrom_; pos += buf.size()) {
        const std::size_t n = file_->readAt(pos, buf.data(), buf.size());
        const auto end = std::find(buf.begin(), buf.begin() + std::ptrdiff_t(n), kEnd);
        const std::size_t take = std::min<std::size_t>(std::size_t(end - buf.begin()),
                                                       limit - std::min(limit, text.size()));
        text.append(reinterpret_cast<const char*>(buf.data()), take);
        if (end != buf.begin() + std::ptrdiff_t(n))
            return text;
        if (n < buf.size())
            break;
    }
    noEndFrom_ = std::min(noEndFrom_, start);
    return std::nullopt; // the file ended before the text did
}

} // namespace shelvix::db
