#include "db/engine/mdx.h"

#include "core/codec.h"
#include "core/text.h"
#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <utility>

namespace shelvix::db {

using namespace mdx;

namespace {

void putToday(std::uint8_t* p) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    p[0] = static_cast<std::uint8_t>(tm.tm_year);
    p[1] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    p[2] = static_cast<std::uint8_t>(tm.tm_mday);
}

bool sameName(std::string_view a, std::string_view b) {
    return core::equalsNoCase(a, b);
}

int compareNames(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto ca = static_cast<unsigned char>(core::toUpperAscii(a[i]));
        const auto cb = static_cast<unsigned char>(core::toUpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string cString(const std::uint8_t* p, std::size_t max) {
    std::size_t n = 0;
    while (n < max && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

} // namespace

std::unique_ptr<MdxFile> MdxFile::create(FileSystem& fs, const std::filesystem::path& path,
                                         std::string_view tableName) {
    auto impl = std::make_unique<MdxImpl>(path, fs.open(path, FileMode::Create), true);
    impl->initEmpty(tableName);
    return impl;
}

std::unique_ptr<MdxFile> MdxFile::open(FileSystem& fs, const std::filesystem::path& path,
                                       bool writable) {
    auto impl = std::make_unique<MdxImpl>(
        path, fs.open(path, writable ? FileMode::ReadWrite : FileMode::ReadOnly), writable);
    impl->loadFromDisk();
    return impl;
}

namespace mdx {

MdxImpl::MdxImpl(std::filesystem::path path, std::unique_ptr<File> file, bool writable)
    : path_(std::move(path)), file_(std::move(file)), writable_(writable),
      cache_(kCacheBlocks, [this](Block& b) { writeBlock(b); }) {}

void MdxImpl::corrupt(const std::string& what) const {
    // `what` may name a tag: bytes of the index.
    throw DatabaseError("The index " + path_.string() + " is damaged: " + core::decode(what) +
                            ". Rebuild the indexes.",
                        DatabaseError::Kind::Corrupt);
}

void MdxImpl::requireWritable() const {
    if (!writable_)
        throw DatabaseError("The index " + path_.string() + " is open for reading only.");
}

bool MdxImpl::ours() const {
    return std::equal(std::begin(kMagic), std::end(kMagic), head_.begin() + kMarkOffset);
}

// --- header and tags -------------------------------------------------------

void MdxImpl::initEmpty(std::string_view tableName) {
    head_.fill(0);
    head_[0] = 2;
    putToday(&head_[1]);
    std::size_t n = std::min<std::size_t>(tableName.size(), 16);
    std::copy_n(tableName.begin(), n, head_.begin() + 4);
    ppb_ = 2;
    put16(&head_[20], ppb_);
    put16(&head_[22], blockSize());
    head_[24] = 1;
    head_[25] = 48;
    head_[26] = 32;
    head_[31] = 0x1B;
    setHeaderU32(32, kFirstDataPage);
    putToday(&head_[44]);
    std::copy(std::begin(kMagic), std::end(kMagic), head_.begin() + kMarkOffset);
    endPage_ = kFirstDataPage;
    file_->writeAt(0, head_.data(), head_.size());
}

void MdxImpl::parseHeader(const std::array<std::uint8_t, kHeaderBytes>& head,
                          std::uint64_t fileSize) {
    std::uint32_t ppb = get16(&head[20]);
    std::uint32_t bytes = get16(&head[22]);
    if (ppb == 0 || ppb > 64 || bytes != ppb * kPageSize)
        corrupt("its block size of " + std::to_string(bytes) + " bytes does not match " +
                std::to_string(ppb) + " pages of 512 bytes");
    if (head[26] != 32)
        throw DatabaseError("The index " + path_.string() + " uses tag entries of " +
                                std::to_string(head[26]) +
                                " bytes, which this program cannot read.",
                            DatabaseError::Kind::Unsupported);
    if (get16(&head[28]) > kMaxTags)
        corrupt("it claims " + std::to_string(get16(&head[28])) + " tags");
    ppb_ = ppb;
    std::uint64_t pages = (fileSize + kPageSize - 1) / kPageSize;
    pages = (pages + ppb - 1) / ppb * ppb;
    if (pages > 0xFFFFFF00u)
        corrupt("the file is too large");
    endPage_ = std::max<std::uint32_t>(static_cast<std::uint32_t>(pages), kFirstDataPage);
}

void MdxImpl::loadFromDisk() {
    cache_.clear();
    tags_.clear();
    infos_.clear();
    // What the file holds now is all there is to go by.
    heldBack_.clear();
    releasable_.clear();
    // On failure the index is left without tags, so nothing works on a
    // half-read state.
    std::uint64_t size = file_->size();
    if (size < kHeaderBytes)
        corrupt("the file is shorter than its header");
    std::array<std::uint8_t, kHeaderBytes> head{};
    file_->readExact(0, head.data(), head.size(), "the index header");
    parseHeader(head, size);
    head_ = head;
    std::vector<Tag> tags;
    int count = get16(&head_[28]);
    for (int i = 0; i < count; ++i)
        tags.push_back(loadTag(i));
    tags_ = std::move(tags);
    rebuildInfos();
    loadedState_ = ours() ? head_[kStateOffset] : 0;
    freeListUsable_ = ours();
    headerChanged_ = false;
}

void MdxImpl::checkPage(std::uint32_t page, const std::string& what) const {
    if (!pageInFile(page))
        corrupt(what + " points to page " + std::to_string(page) + ", outside the file");
}

Tag MdxImpl::loadTag(int index) {
    const std::uint8_t* e = &head_[544 + 32 * index];
    Tag t;
    t.headerPage = get32(e);
    t.info.name = cString(e + 4, 11);
    while (!t.info.name.empty() && t.info.name.back() == ' ')
        t.info.name.pop_back();
    const std::string label = "tag " + std::to_string(index + 1);
    if (t.info.name.empty())
        corrupt(label + " has no name");
    checkPage(t.headerPage, label + " (" + t.info.name + ")");
    BlockPtr hb = loadBlock(t.headerPage);
    const std::uint8_t* h = hb->data.data();
    const std::string what = "tag " + t.info.name;
    t.root = get32(h);
    t.sizePages = get32(h + 4);
    std::uint8_t flags = h[8];
    char type = static_cast<char>(h[9]);
    int keyLen = get16(h + 12);
    int itemLen = get16(h + 18);
    if (type != 'C' && type != 'N' && type != 'D')
        corrupt(what + " has the key type " + std::to_string(static_cast<int>(h[9])));
    t.info.type = static_cast<KeyType>(type);
    if ((type == 'N' && keyLen != kNumericKeyLength) || (type == 'D' && keyLen != kDateKeyLength) ||
        keyLen < 1 || keyLen > 255)
        corrupt(what + " has a key length of " + std::to_string(keyLen));
    if (itemLen < keyLen + 4 || itemLen > keyLen + 16 ||
        (static_cast<int>(blockSize()) - 12) / itemLen < 2)
        corrupt(what + " has an item length of " + std::to_string(itemLen));
    t.info.keyLength = keyLen;
    t.itemLen = itemLen;
    t.maxKeys = (static_cast<int>(blockSize()) - 12) / itemLen;
    int declared = get16(h + 14);
    if (declared >= 2 && declared < t.maxKeys)
        t.maxKeys = declared;
    t.info.descending = (flags & 0x08) != 0;
    t.info.unique = (flags & 0x40) != 0 || h[23] != 0;
    t.info.expression = cString(h + 24, 221);
    if (blockSize() > 480)
        t.info.bareField = h[480] != 0;
    if (h[245] != 0 && blockSize() > 762)
        t.info.forExpression = cString(h + 762, blockSize() - 762);
    t.counter = h[20];
    std::copy_n(h, t.seenHeader.size(), t.seenHeader.begin());
    // Under the mark a writer died half-way: the trees are rebuilt from the
    // tags' definitions, and a root it had not yet written is no damage.
    if (ours() && head_[kStateOffset] != 0)
        return t;
    checkPage(t.root, what + "'s root");
    if (t.root == t.headerPage)
        corrupt(what + "'s root is its own header");
    return t;
}

void MdxImpl::rebuildInfos() {
    infos_.clear();
    for (const Tag& t : tags_)
        infos_.push_back(t.info);
}

// Tag entries in table order; the name tree is rebuilt by inserting them in
// that order, so the first tag is always its root.
void MdxImpl::writeTagTable() {
    std::fill(head_.begin() + 544, head_.end(), 0);
    const int n = static_cast<int>(tags_.size());
    std::vector<int> left(n, -1), right(n, -1), parent(n, -1);
    for (int i = 1; i < n; ++i) {
        int at = 0;
        for (;;) {
            int& next =
                compareNames(tags_[i].info.name, tags_[at].info.name) < 0 ? left[at] : right[at];
            if (next < 0) {
                next = i;
                parent[i] = at;
                break;
            }
            at = next;
        }
    }
    for (int i = 0; i < n; ++i) {
        std::uint8_t* e = &head_[544 + 32 * i];
        put32(e, tags_[i].headerPage);
        std::copy_n(tags_[i].info.name.begin(),
                    std::min<std::size_t>(tags_[i].info.name.size(), 10), e + 4);
        e[15] = 0x10;
        e[16] = static_cast<std::uint8_t>(left[i] + 1);
        e[17] = static_cast<std::uint8_t>(right[i] + 1);
        e[18] = static_cast<std::uint8_t>(parent[i] + 1);
        e[19] = 0x02;
        e[20] = static_cast<std::uint8_t>(tags_[i].info.type);
    }
    put16(&head_[28], static_cast<std::uint32_t>(n));
    // Other writers keep the number of the tree's root here.
    head_[529] = n > 0 ? 1 : 0;
    headerChanged_ = true;
    ++mutations_;
}

void MdxImpl::writeTagHeader(Tag& t, bool hasKeys) {
    BlockPtr b = freshBlock(t.headerPage);
    std::uint8_t* h = b->data.data();
    const TagInfo& info = t.info;
    put32(h, t.root);
    put32(h + 4, t.sizePages);
    h[8] =
        static_cast<std::uint8_t>(0x10 | (info.descending ? 0x08 : 0) | (info.unique ? 0x40 : 0));
    h[9] = static_cast<std::uint8_t>(info.type);
    h[11] = 0x1B;
    put16(h + 12, static_cast<std::uint32_t>(info.keyLength));
    put16(h + 14, static_cast<std::uint32_t>(t.maxKeys));
    put16(h + 16, info.type == KeyType::Date ? 1 : 0);
    put16(h + 18, static_cast<std::uint32_t>(t.itemLen));
    h[20] = t.counter;
    h[23] = info.unique ? 1 : 0;
    std::copy(info.expression.begin(), info.expression.end(), h + 24);
    h[245] = info.forExpression.empty() ? 0 : 1;
    h[246] = hasKeys ? 1 : 0;
    // dBASE 7 sets both of these to the root when it creates a tag.
    put32(h + 248, t.root);
    put32(h + 252, t.root);
    putToday(h + 257);
    h[480] = info.bareField ? 1 : 0;
    std::copy(info.forExpression.begin(), info.forExpression.end(), h + 762);
    std::copy_n(h, t.seenHeader.size(), t.seenHeader.begin());
}

// Root, size, "has keys" and the change counter after a change to the tree.
void MdxImpl::syncTagHeader(Tag& t) {
    bool hasKeys = true;
    if (t.depth <= 1) {
        BlockPtr r = loadBlock(t.root);
        hasKeys = get32(r->data.data()) != 0;
    }
    BlockPtr b = loadBlock(t.headerPage);
    std::uint8_t* h = b->data.data();
    put32(h, t.root);
    put32(h + 4, t.sizePages);
    h[20] = ++t.counter;
    h[246] = hasKeys ? 1 : 0;
    std::copy_n(h, t.seenHeader.size(), t.seenHeader.begin());
    touch(b);
}

int MdxImpl::findTag(std::string_view name) const {
    for (std::size_t i = 0; i < tags_.size(); ++i)
        if (sameName(tags_[i].info.name, name))
            return static_cast<int>(i);
    return -1;
}

int MdxImpl::tagByHeaderPage(std::uint32_t page) const {
    for (std::size_t i = 0; i < tags_.size(); ++i)
        if (tags_[i].headerPage == page)
            return static_cast<int>(i);
    return -1;
}

Tag& MdxImpl::tagAt(int index) {
    return tags_.at(static_cast<std::size_t>(index));
}

Tag& MdxImpl::checkedTag(int tag) {
    if (tag < 0 || tag >= static_cast<int>(tags_.size()))
        throw DatabaseError("The index " + path_.string() + " has no tag number " +
                            std::to_string(tag));
    return tags_[static_cast<std::size_t>(tag)];
}

// --- updates --------------------------------------------------------------

// Taking over a foreign file: start our bookkeeping and a free chain of our
// own (theirs, whose layout we cannot trust, is left alone).
void MdxImpl::adopt() {
    if (ours())
        return;
    std::copy(std::begin(kMagic), std::end(kMagic), head_.begin() + kMarkOffset);
    std::fill(head_.begin() + kMarkOffset + 4, head_.begin() + kCounterOffset + 4, 0);
    setHeaderU32(36, 0);
    setHeaderU32(40, 0);
    freeListUsable_ = true;
    headerChanged_ = true;
}

void MdxImpl::ensureMarked() {
    if (written_ == kStateChanging)
        return;
    requireWritable();
    adopt();
    head_[kStateOffset] = kStateChanging;
    file_->writeAt(kMarkOffset, &head_[kMarkOffset], kCounterOffset + 4 - kMarkOffset);
    written_ = kStateChanging;
}

// The mark goes on disk when the outermost bracket opens, before the caller
// writes its table: a writer killed before endUpdate, whatever it had
// written by then, leaves the mark behind.
void MdxImpl::beginUpdate() {
    requireWritable();
    if (updateDepth_ == 0) {
        mutationsAtBegin_ = mutations_;
        ensureMarked();
        for (std::uint32_t page : std::exchange(releasable_, {}))
            freeBlock(nullptr, page);
    }
    ++updateDepth_;
}

void MdxImpl::sync() {
    if (!writable_)
        return;
    cache_.flush();
    file_->sync();
}

void MdxImpl::clearMark() {
    if (updateDepth_ > 0 || interrupted_ || head_[kStateOffset] == 0)
        return;
    head_[kStateOffset] = 0;
    file_->writeAt(kStateOffset, &head_[kStateOffset], 1);
    written_ = 0;
    loadedState_ = 0;
}

void MdxImpl::endUpdate() {
    if (updateDepth_ == 0)
        return;
    if (--updateDepth_ == 0) {
        try {
            finishUpdate();
        } catch (...) {
            interrupted_ = true;
            throw;
        }
    }
}

void MdxImpl::finishUpdate() {
    if (mutations_ == mutationsAtBegin_ && !headerChanged_ && !cache_.hasDirty()) {
        if (written_ != 0 && !interrupted()) {
            // Nothing changed: the mark goes, or stays as kept.
            const std::uint8_t state = markLive() ? kStateKept : 0;
            if (written_ != state) {
                head_[kStateOffset] = state;
                file_->writeAt(kStateOffset, &head_[kStateOffset], 1);
            }
            written_ = state;
            loadedState_ = state;
        }
        return;
    }
    ensureMarked();
    cache_.flush();
    setHeaderU32(32, endPage_);
    putToday(&head_[44]);
    setHeaderU32(kCounterOffset, headerU32(kCounterOffset) + 1);
    const bool failed = interrupted();
    const bool keep = failed || markLive();
    head_[kStateOffset] = failed ? kStateChanging : keep ? kStateKept : 0;
    file_->writeAt(0, head_.data(), head_.size());
    written_ = head_[kStateOffset];
    loadedState_ = keep ? kStateKept : 0;
    headerChanged_ = false;
    releasable_.insert(releasable_.end(), heldBack_.begin(), heldBack_.end());
    heldBack_.clear();
}

void MdxImpl::forgetPagesFrom(std::uint32_t end) {
    for (auto* pages : {&heldBack_, &releasable_})
        std::erase_if(*pages, [&](std::uint32_t p) { return p + ppb_ > end; });
}

void MdxImpl::abandonUpdate(bool changed) noexcept {
    if (updateDepth_ > 0)
        --updateDepth_;
    if (!changed) {
        if (updateDepth_ == 0) {
            try {
                finishUpdate();
            } catch (...) {
                interrupted_ = true;
            }
        }
        return;
    }
    // What is in memory may be half done and what is on disk may be half
    // written: keep the mark so that the next open knows too.
    interrupted_ = true;
    ++generation_;
    try {
        ensureMarked();
    } catch (...) {
    }
    try {
        loadFromDisk();
    } catch (...) {
    }
}

UpdateScope::UpdateScope(MdxImpl& mdx) : mdx_(mdx), mutationsAtStart_(mdx.mutations_) {
    mdx_.beginUpdate();
}

UpdateScope::~UpdateScope() {
    if (!done_)
        mdx_.abandonUpdate(mdx_.mutations_ != mutationsAtStart_);
}

void UpdateScope::commit() {
    done_ = true;
    mdx_.endUpdate();
}

// Another process may have written the file since we read it. Our writers
// bump the counter in the header; foreign ones at least change a tag
// header, the page count or the free chain.
bool MdxImpl::refresh() {
    if (updateDepth_ > 0)
        return false;
    std::uint64_t size = file_->size();
    bool changed = size < kHeaderBytes;
    std::array<std::uint8_t, kHeaderBytes> head{};
    if (!changed) {
        file_->readExact(0, head.data(), head.size(), "the index header");
        changed = head != head_;
    }
    if (!changed) {
        std::uint64_t pages = (size + kPageSize - 1) / kPageSize;
        pages = (pages + ppb_ - 1) / ppb_ * ppb_;
        changed = std::max<std::uint64_t>(pages, kFirstDataPage) != endPage_;
    }
    for (std::size_t i = 0; !changed && i < tags_.size(); ++i) {
        std::array<std::uint8_t, 24> seen{};
        if (file_->readAt(std::uint64_t{tags_[i].headerPage} * kPageSize, seen.data(),
                          seen.size()) != seen.size() ||
            seen != tags_[i].seenHeader)
            changed = true;
    }
    if (!changed)
        return false;
    ++generation_;
    written_ = 0;
    loadFromDisk();
    return true;
}

// --- tag management -------------------------------------------------------

void MdxImpl::dropTag(std::string_view name) {
    requireWritable();
    int index = findTag(name);
    if (index < 0)
        throw DatabaseError("The index " + path_.string() + " has no tag " + core::decode(name),
                            DatabaseError::Kind::NotFound);
    UpdateScope scope(*this);
    if (tags_.size() == 1) {
        // The last one: a header naming no tags reaches the file before the
        // file is cut back to it, so that no header names pages that are gone.
        tags_.clear();
        writeTagTable();
        setHeaderU32(36, 0);
        setHeaderU32(40, 0);
        ensureMarked();
        cache_.dropFrom(kFirstDataPage);
        file_->writeAt(0, head_.data(), head_.size());
        resetToEmpty();
    } else {
        retireTag(static_cast<std::size_t>(index));
        writeTagTable();
    }
    rebuildInfos();
    ++generation_;
    scope.commit();
}

void MdxImpl::retireTag(std::size_t index) {
    const Tag t = tags_[index];
    std::vector<std::uint32_t> pages;
    try {
        pages = collectTreePages(tags_[index]);
    } catch (const DatabaseError&) {
        // A damaged tree keeps its pages: reusing them could hand out a page
        // that another tag still uses.
        pages.clear();
    }
    for (std::uint32_t p : pages)
        if (p < kFirstDataPage || p + ppb_ > endPage_ || p == t.headerPage)
            corrupt("tag " + t.info.name + " points outside the index");
    // Its header page is held back (see heldBack_); its tree may go at once,
    // the mark having a half-built tree rebuilt. Pushed highest first so
    // that they come back lowest first.
    heldBack_.push_back(t.headerPage);
    std::sort(pages.rbegin(), pages.rend());
    // Blocks at the end of the file are given back by cutting the file: a
    // rebuilt tag usually sits there, and chaining each of its blocks would
    // cost a write apiece.
    std::size_t cut = 0;
    while (cut < pages.size() && pages[cut] + ppb_ == endPage_) {
        endPage_ = pages[cut];
        ++cut;
    }
    if (cut > 0) {
        ensureMarked();
        cache_.dropFrom(endPage_);
        file_->truncate(std::uint64_t{endPage_} * kPageSize);
    }
    for (std::size_t i = cut; i < pages.size(); ++i)
        freeBlock(nullptr, pages[i]);
    tags_.erase(tags_.begin() + static_cast<std::ptrdiff_t>(index));
    headerChanged_ = true;
    ++mutations_;
}

void MdxImpl::clear() {
    requireWritable();
    UpdateScope scope(*this);
    tags_.clear();
    resetToEmpty();
    writeTagTable();
    rebuildInfos();
    interrupted_ = false;
    loadedState_ = 0;
    ++generation_;
    scope.commit();
}

} // namespace mdx
} // namespace shelvix::db
