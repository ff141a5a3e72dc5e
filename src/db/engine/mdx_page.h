#pragma once

// Private to the MDX implementation: the block cache and a view of one
// B-tree node.

#include "db/engine/bytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace shelvix::db::mdx {

inline constexpr std::uint32_t kPageSize = 512;
// Header and tag table fill the first 2048 bytes; blocks start after them.
inline constexpr std::uint32_t kHeaderBytes = 2048;
inline constexpr std::uint32_t kFirstDataPage = kHeaderBytes / kPageSize;

struct Block {
    std::uint32_t page = 0;
    bool dirty = false;
    std::vector<std::uint8_t> data;
};
using BlockPtr = std::shared_ptr<Block>;

// Least-recently-used cache of blocks by page number. A block somebody still
// holds a pointer to is never evicted, so a caller may keep several blocks
// of one operation at hand. Dirty victims go to `writeBack` first.
class BlockCache {
public:
    using WriteBack = std::function<void(Block&)>;

    BlockCache(std::size_t capacity, WriteBack writeBack)
        : capacity_(capacity), writeBack_(std::move(writeBack)) {}

    BlockPtr find(std::uint32_t page) {
        auto it = map_.find(page);
        if (it == map_.end())
            return nullptr;
        lru_.splice(lru_.begin(), lru_, it->second);
        return *it->second;
    }

    void insert(const BlockPtr& block) {
        auto it = map_.find(block->page);
        if (it != map_.end()) {
            *it->second = block;
            lru_.splice(lru_.begin(), lru_, it->second);
            return;
        }
        lru_.push_front(block);
        map_[block->page] = lru_.begin();
        evict();
    }

    void erase(std::uint32_t page) {
        auto it = map_.find(page);
        if (it == map_.end())
            return;
        lru_.erase(it->second);
        map_.erase(it);
    }

    // Writes every dirty block, lowest page first so the file grows in order.
    void flush() {
        std::vector<Block*> dirty;
        for (auto& b : lru_)
            if (b->dirty)
                dirty.push_back(b.get());
        std::sort(dirty.begin(), dirty.end(),
                  [](const Block* a, const Block* b) { return a->page < b->page; });
        for (Block* b : dirty) {
            writeBack_(*b);
            b->dirty = false;
        }
    }

    // Forgets everything, dirty or not.
    void clear() {
        lru_.clear();
        map_.clear();
    }

    // Forgets blocks at or after `page` (the file was cut there).
    void dropFrom(std::uint32_t page) {
        for (auto it = lru_.begin(); it != lru_.end();) {
            if ((*it)->page >= page) {
                map_.erase((*it)->page);
                it = lru_.erase(it);
            } else {
                ++it;
            }
        }
    }

    bool hasDirty() const {
        for (const auto& b : lru_)
            if (b->dirty)
                return true;
        return false;
    }

private:
    void evict() {
        auto it = lru_.end();
        while (lru_.size() > capacity_ && it != lru_.begin()) {
            --it;
            if (it->use_count() != 1)
                continue;
            if ((*it)->dirty) {
                writeBack_(**it);
                (*it)->dirty = false;
            }
            map_.erase((*it)->page);
            it = lru_.erase(it);
        }
    }

    std::size_t capacity_;
    WriteBack writeBack_;
    std::list<BlockPtr> lru_;
    std::unordered_map<std::uint32_t, std::list<BlockPtr>::iterator> map_;
};

// One B-tree node: bytes 0-3 count, from byte 8 items of [pointer][key][pad].
// Child pointer j (0..n) of an interior node sits where item j's pointer
// would, so the (n+1)th child follows the last item; in a leaf those four
// bytes are zero.
struct Node {
    std::uint8_t* data;
    int itemLen;
    int keyLen;

    int count() const { return static_cast<int>(get32(data)); }
    void setCount(int n) { put32(data, static_cast<std::uint32_t>(n)); }
    std::uint8_t* slot(int i) const { return data + 8 + static_cast<std::ptrdiff_t>(i) * itemLen; }
    std::uint32_t ptr(int i) const { return get32(slot(i)); }
    void setPtr(int i, std::uint32_t v) { put32(slot(i), v); }
    const std::uint8_t* key(int i) const { return slot(i) + 4; }
    std::uint8_t* mutableKey(int i) { return slot(i) + 4; }
    void setKey(int i, const std::uint8_t* k) { std::memcpy(slot(i) + 4, k, keyLen); }
};

} // namespace shelvix::db::mdx
