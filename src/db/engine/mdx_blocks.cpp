// The index's blocks: the cache, reading and writing pages, and the chain of
// free blocks.

#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <string>

namespace shelvix::db::mdx {

BlockPtr MdxImpl::loadBlock(std::uint32_t page) {
    if (BlockPtr b = cache_.find(page))
        return b;
    if (!pageInFile(page))
        checkPage(page, "a pointer");
    // A walk along the leaves (a full count, a scan in key order) misses
    // block after block: from the second miss in a row the blocks that
    // follow come in the same read, those not cached already.
    std::uint32_t count = 1;
    if (page == lastMiss_ + ppb_) {
        while (count < kReadAhead && pageInFile(page + count * ppb_) &&
               !cache_.find(page + count * ppb_))
            ++count;
    }
    const std::size_t size = blockSize();
    readAhead_.resize(size * count);
    const std::size_t got =
        file_->readAt(std::uint64_t{page} * kPageSize, readAhead_.data(), readAhead_.size());
    if (got < size)
        corrupt("page " + std::to_string(page) + " lies past the end of the file");
    count = std::uint32_t(std::min<std::size_t>(count, got / size));
    lastMiss_ = page + (count - 1) * ppb_;
    BlockPtr first;
    for (std::uint32_t i = count; i-- > 0;) {
        auto b = std::make_shared<Block>();
        b->page = page + i * ppb_;
        b->data.assign(readAhead_.begin() + std::ptrdiff_t(i * size),
                       readAhead_.begin() + std::ptrdiff_t((i + 1) * size));
        cache_.insert(b);
        first = std::move(b);
    }
    return first;
}

BlockPtr MdxImpl::freshBlock(std::uint32_t page) {
    auto b = std::make_shared<Block>();
    b->page = page;
    b->data.assign(blockSize(), 0);
    cache_.insert(b);
    touch(b);
    return b;
}

void MdxImpl::touch(const BlockPtr& b) {
    b->dirty = true;
    ++mutations_;
}

void MdxImpl::writeBlock(Block& b) {
    ensureMarked();
    file_->writeAt(std::uint64_t{b.page} * kPageSize, b.data.data(), b.data.size());
}

// Free blocks form a chain through bytes 4-7 (the key count, bytes 0-3,
// stays 0), headed by header bytes 36-39 and counted in 40-43: the layout
// other writers that reuse blocks use.
bool MdxImpl::popFree(std::uint32_t& page) {
    std::uint32_t first = headerU32(36);
    if (!freeListUsable_ || first == 0)
        return false;
    auto abandon = [this] {
        // A damaged chain is dropped: its blocks are lost, nothing else is.
        setHeaderU32(36, 0);
        setHeaderU32(40, 0);
        headerChanged_ = true;
        return false;
    };
    if (first < kFirstDataPage || first >= endPage_ || endPage_ - first < ppb_ ||
        headerU32(40) == 0)
        return abandon();
    BlockPtr b = loadBlock(first);
    if (get32(b->data.data()) != 0)
        return abandon();
    setHeaderU32(36, get32(b->data.data() + 4));
    setHeaderU32(40, headerU32(40) - 1);
    headerChanged_ = true;
    ++mutations_;
    page = first;
    return true;
}

BlockPtr MdxImpl::allocBlock(Tag& t) {
    std::uint32_t page;
    if (!popFree(page)) {
        page = endPage_;
        endPage_ += ppb_;
        headerChanged_ = true;
    }
    t.sizePages += ppb_;
    return freshBlock(page);
}

std::vector<std::uint32_t> MdxImpl::allocBlocks(std::size_t count) {
    std::vector<std::uint32_t> pages;
    pages.reserve(count);
    std::uint32_t page;
    while (pages.size() < count && popFree(page)) {
        cache_.erase(page);
        pages.push_back(page);
    }
    // A chain that runs in a circle would hand out a block twice.
    std::vector<std::uint32_t> popped(pages);
    std::sort(popped.begin(), popped.end());
    if (std::adjacent_find(popped.begin(), popped.end()) != popped.end())
        corrupt("the chain of free blocks runs in a circle");
    while (pages.size() < count) {
        pages.push_back(endPage_);
        endPage_ += ppb_;
    }
    headerChanged_ = true;
    ++mutations_;
    return pages;
}

void MdxImpl::freeBlock(Tag* t, std::uint32_t page) {
    if (!freeListUsable_)
        adopt();
    BlockPtr b = freshBlock(page);
    put32(b->data.data() + 4, headerU32(36));
    setHeaderU32(36, page);
    setHeaderU32(40, headerU32(40) + 1);
    headerChanged_ = true;
    if (t)
        t->sizePages -= std::min(t->sizePages, ppb_);
}

void MdxImpl::resetToEmpty() {
    ensureMarked();
    cache_.dropFrom(kFirstDataPage);
    file_->truncate(kHeaderBytes);
    endPage_ = kFirstDataPage;
    forgetPagesFrom(endPage_);
    setHeaderU32(36, 0);
    setHeaderU32(40, 0);
    freeListUsable_ = true;
    headerChanged_ = true;
    ++mutations_;
}

std::vector<std::uint32_t> MdxImpl::collectTreePages(Tag& t) {
    ensureDepth(t);
    std::vector<std::uint32_t> pages;
    std::vector<std::pair<std::uint32_t, int>> stack{{t.root, 0}};
    while (!stack.empty()) {
        auto [page, level] = stack.back();
        stack.pop_back();
        pages.push_back(page);
        if (pages.size() > endPage_ / ppb_)
            corrupt("tag " + t.info.name + " reaches some pages twice");
        // Leaves are named by their parents: reading them would only cost
        // a block read each.
        if (level + 1 < t.depth) {
            BlockPtr b = node(t, page, level);
            Node n{b->data.data(), t.itemLen, t.info.keyLength};
            for (int i = 0; i <= n.count(); ++i)
                stack.emplace_back(n.ptr(i), level + 1);
        }
    }
    std::sort(pages.begin(), pages.end());
    if (std::adjacent_find(pages.begin(), pages.end()) != pages.end())
        corrupt("tag " + t.info.name + " reaches some pages twice");
    return pages;
}

} // namespace shelvix::db::mdx
