#pragma once

// The memo file (.DBT) of a dBASE III or IV table, read only. A memo field
// holds the number of the block where its text starts; block 0 is the
// file's header.
//
// dBASE III: 512-byte blocks; the text runs on over as many blocks as it
// needs and ends with 0x1A 0x1A (some writers put a single 0x1A).
// dBASE IV: the block size at header offset 20 (0 meaning 512); a memo's
// first block opens with FF FF 08 00 and the memo's length, those 8 bytes
// included, and the text follows.

#include "db/engine/file.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace shelvix::db {

class MemoFile {
public:
    // `tableVersion` is the table's version byte, which tells the layout
    // (0x83 dBASE III, 0x8B dBASE IV). Throws DatabaseError when the file
    // cannot be opened or is too short for its header.
    static std::unique_ptr<MemoFile> open(const std::filesystem::path& path,
                                          std::uint8_t tableVersion,
                                          FileSystem& fs = FileSystem::native());

    bool dBase4() const { return dBase4_; }
    std::uint32_t blockSize() const { return blockSize_; }

    // The bytes of the memo that starts at `block`, at most `limit` of them;
    // empty when the file holds no memo there (block 0 or past the end, a
    // dBASE IV block without its mark or with a length past the end, dBASE
    // III text without its end mark).
    std::optional<std::string> read(std::uint32_t block, std::size_t limit);

private:
    MemoFile() = default;
    std::unique_ptr<File> file_;
    std::uint64_t size_ = 0;
    std::uint32_t blockSize_ = 512;
    bool dBase4_ = false;
    // No end mark from here to the end of the file (dBASE III): a damaged
    // file is scanned once, not once per memo.
    std::uint64_t noEndFrom_ = UINT64_MAX;
};

} // namespace shelvix::db
