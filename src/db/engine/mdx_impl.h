#pragma once

// Private to the MDX implementation (mdx.cpp, mdx_tree.cpp, mdx_modify.cpp,
// mdx_check.cpp, mdx_build.cpp).

#include "db/engine/mdx.h"
#include "db/engine/mdx_page.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace shelvix::db::mdx {

// Our own bookkeeping lives in the file header's bytes 48-59, which dBASE
// documents as garbage and other readers skip:
//   48-51  "SHVX" (marks the rest as ours; a file without it is foreign)
//   52     1 while an update is under way, 0 when the file is consistent
//   56-59  change counter, bumped by every update that wrote something
// The state byte is written as 2 when the outermost update bracket opens
// (before the table or any page is written) and back to 0 after the last
// page and the header of the update are written, so a writer killed
// half-way leaves it set and the next open reports interrupted(). A writer
// that keeps the mark on across its changes ends each with 1 instead: set
// while its keeper lives, it is no sign of damage; 2 seen under the table's
// header lock always is (the writer that wrote it died inside its change).
// Another process notices our changes through the counter (refresh()).
inline constexpr std::size_t kMarkOffset = 48;
inline constexpr std::size_t kStateOffset = 52;
inline constexpr std::uint8_t kStateKept = 1;
inline constexpr std::uint8_t kStateChanging = 2;
inline constexpr std::size_t kCounterOffset = 56;
inline constexpr char kMagic[4] = {'S', 'H', 'V', 'X'};

inline constexpr int kMaxTags = 47;
inline constexpr int kMaxDepth = 32;
inline constexpr std::size_t kCacheBlocks = 256;
// Blocks read at once by a walk along the leaves.
inline constexpr std::uint32_t kReadAhead = 32;
inline constexpr int kMaxExpressionLength = 220; // NUL-terminated at 24..244

struct Tag {
    TagInfo info;
    std::uint32_t headerPage = 0;
    std::uint32_t root = 0;
    std::uint32_t sizePages = 0; // pages of the tree nodes (header byte 4)
    int itemLen = 0;
    int maxKeys = 0;
    int depth = 0; // levels from root to leaf; 0 = not measured yet
    std::uint8_t counter = 0;
    std::array<std::uint8_t, 24> seenHeader{}; // bytes 0-23 as last read or written
};

inline Node view(const BlockPtr& b, const Tag& t) {
    return Node{b->data.data(), t.itemLen, t.info.keyLength};
}

struct PathStep {
    std::uint32_t page = 0;
    int index = 0;
};
using Path = std::vector<PathStep>;

// What to search for: the first entry whose key (the first `length` bytes of
// a C key) is >= key, or with `recno` set the first entry >= (key, recno).
struct Target {
    const std::uint8_t* key = nullptr;
    std::size_t length = 0;
    bool withRecno = false;
    std::uint32_t recno = 0;
};

class MdxImpl final : public MdxFile {
public:
    MdxImpl(std::filesystem::path path, std::unique_ptr<File> file, bool writable);

    void initEmpty(std::string_view tableName);
    void loadFromDisk();

    const std::vector<TagInfo>& tags() const override { return infos_; }
    int findTag(std::string_view name) const override;
    int buildTag(const TagInfo& info, const KeySource& next) override;
    int buildTagFrom(const TagInfo& info, std::vector<std::uint8_t> keys,
                     std::vector<std::uint32_t> recnos) override;
    void dropTag(std::string_view name) override;
    void clear() override;
    void insertKey(int tag, const std::uint8_t* key, std::uint32_t recno) override;
    bool removeKey(int tag, const std::uint8_t* key, std::uint32_t recno) override;
    std::unique_ptr<Cursor> cursor(int tag) override;
    void beginUpdate() override;
    void markNow() override { ensureMarked(); }
    void endUpdate() override;
    bool interrupted() const override {
        return interrupted_ || loadedState_ == kStateChanging || (loadedState_ != 0 && !markLive());
    }
    void setLiveMark(std::function<bool()> probe) override { liveMark_ = std::move(probe); }
    void clearMark() override;
    bool refresh() override;
    std::vector<std::string> check(int tag, std::vector<std::string>* notes = nullptr) override;
    void sync() override;

    // Used by the cursor.
    std::uint64_t generation() const { return generation_; }
    int tagByHeaderPage(std::uint32_t page) const;
    Tag& tagAt(int index);
    int compare(const Tag& t, const std::uint8_t* a, const std::uint8_t* b, std::size_t len) const;
    BlockPtr node(Tag& t, std::uint32_t page, int level);
    void descendEdge(Tag& t, Path& path, bool toLast);
    void descendTo(Tag& t, const Target& target, Path& path);
    // Moves to the next (prior) entry; false past the end (beginning).
    // `budget` counts leaves entered and stops a walk that loops.
    bool stepNext(Tag& t, Path& path, std::uint64_t& budget);
    bool stepPrior(Tag& t, Path& path, std::uint64_t& budget);
    std::uint64_t leafBudget() const;
    [[noreturn]] void corrupt(const std::string& what) const;

private:
    friend class UpdateScope;

    // Throws for a tag that cannot be built as described.
    void validateTag(const TagInfo& info) const;

    // Header fields.
    std::uint32_t pagesPerBlock() const { return ppb_; }
    std::uint32_t blockSize() const { return ppb_ * kPageSize; }
    std::uint32_t headerU32(std::size_t off) const { return get32(head_.data() + off); }
    void setHeaderU32(std::size_t off, std::uint32_t v) { put32(head_.data() + off, v); }
    bool ours() const;

    void parseHeader(const std::array<std::uint8_t, kHeaderBytes>& head, std::uint64_t fileSize);
    Tag loadTag(int index);
    void writeTagTable();
    void writeTagHeader(Tag& t, bool hasKeys);
    void syncTagHeader(Tag& t);
    void rebuildInfos();

    // Blocks.
    bool pageInFile(std::uint32_t page) const {
        return page >= kFirstDataPage && page < endPage_ && endPage_ - page >= ppb_;
    }
    void checkPage(std::uint32_t page, const std::string& what) const;
    BlockPtr loadBlock(std::uint32_t page);
    BlockPtr freshBlock(std::uint32_t page);
    void writeBlock(Block& b);
    void touch(const BlockPtr& b);
    BlockPtr allocBlock(Tag& t);
    std::vector<std::uint32_t> allocBlocks(std::size_t count);
    void freeBlock(Tag* t, std::uint32_t page);
    bool popFree(std::uint32_t& page);
    void resetToEmpty();
    std::vector<std::uint32_t> collectTreePages(Tag& t);

    // Updates.
    void requireWritable() const;
    void adopt();
    void ensureMarked();
    void finishUpdate();
    void abandonUpdate(bool changed) noexcept;

    // Tree.
    void ensureDepth(Tag& t);
    std::uint32_t lastRecno(Tag& t, std::uint32_t page, int level);
    bool subtreeMax(Tag& t, std::uint32_t page, int level, std::uint8_t* out);
    void fixKey(Tag& t, Node& parent, int index, int childLevel);
    void insertAt(Tag& t, Path& path, const std::uint8_t* key, std::uint32_t recno);
    void removeAt(Tag& t, Path& path);
    void removeChild(Node& parent, int index);
    bool rebalance(Tag& t, Node& parent, int a, int childLevel);
    bool findByRecno(Tag& t, std::uint32_t recno, Path& path);
    Tag& checkedTag(int tag);

    struct CheckState {
        std::vector<bool> visited; // by page
        std::vector<std::uint32_t> pages;
        std::uint32_t unusualLinks = 0; // nodes whose bytes 4-7 hold something else
    };
    void checkSubtree(Tag& t, std::uint32_t page, int level, CheckState& seen,
                      std::vector<std::string>& problems, std::vector<std::uint8_t>& prevKey,
                      std::uint32_t& prevRecno, bool& havePrev, std::uint64_t& entries,
                      std::vector<std::uint8_t>& maxOut);

    std::filesystem::path path_;
    std::unique_ptr<File> file_;
    bool writable_;
    std::array<std::uint8_t, kHeaderBytes> head_{};
    std::uint32_t ppb_ = 2;
    std::uint32_t lastMiss_ = 0;             // the last block read from the file
    std::vector<std::uint8_t> readAhead_;    // the buffer of that read
    std::uint32_t endPage_ = kFirstDataPage; // first page past the last block in use
    std::vector<Tag> tags_;
    std::vector<TagInfo> infos_;
    BlockCache cache_;

    int updateDepth_ = 0;
    std::uint8_t written_ = 0;     // the state byte as we last wrote it; 0 after a reload
    bool headerChanged_ = false;   // head_ differs from disk
    bool interrupted_ = false;     // a failure of ours left the index unfinished
    std::uint8_t loadedState_ = 0; // the state others left, when last read (ours: kept or 0)
    std::function<bool()> liveMark_;
    bool markLive() const { return liveMark_ && liveMark_(); }
    bool freeListUsable_ = true;
    std::uint64_t mutations_ = 0;
    std::uint64_t mutationsAtBegin_ = 0;
    std::uint64_t generation_ = 0;

    // The header page of a tag given up (a tag rebuilt in place of itself)
    // stays out of use until a header that no longer names it is on disk: a
    // writer killed before then leaves the index saying what the tag was, for
    // the rebuild its mark calls for. Named no more on disk once the update
    // that gave them up has ended; freed when the next one begins.
    std::vector<std::uint32_t> heldBack_, releasable_;
    void retireTag(std::size_t index);
    void forgetPagesFrom(std::uint32_t end);
};

// Brackets one public operation; nested inside the caller's own
// beginUpdate/endUpdate when there is one. Leaving without commit() (an
// exception) after something was changed marks the index as interrupted.
class UpdateScope {
public:
    explicit UpdateScope(MdxImpl& mdx);
    ~UpdateScope();
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;
    void commit();

private:
    MdxImpl& mdx_;
    std::uint64_t mutationsAtStart_;
    bool done_ = false;
};

} // namespace shelvix::db::mdx
