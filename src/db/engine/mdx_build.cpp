// Building a whole tag at once: sort every entry, then write the tree
// bottom-up, leaves first, in consecutive blocks.

#include "core/codec.h"
#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numeric>

namespace shelvix::db::mdx {

namespace {

bool validTagName(const std::string& name) {
    if (name.empty() || name.size() > 10 || !std::isalpha(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

// Eight key bytes from `offset` as a big-endian number (zeros past the
// end): ordering these numbers orders the keys by those bytes.
std::uint64_t wordOf(const std::uint8_t* key, std::size_t length, std::size_t offset) {
    std::uint64_t v = 0;
    for (std::size_t i = offset; i < offset + 8; ++i)
        v = (v << 8) | (i < length ? key[i] : 0);
    return v;
}

// C keys are sorted on copies of sixteen of their bytes at a time, so that
// comparing never has to reach into the key buffer; runs that agree on all
// sixteen are sorted again on the next sixteen.
struct SortItem {
    std::uint64_t hi;
    std::uint64_t lo;
    std::uint32_t index;
    std::uint32_t recno;
};

// True when every key of the run has the same bytes from `offset` on: the run
// is then already in its final order (by record number). Repeated authors make
// such runs common, and re-sorting them pass after pass would dominate.
bool restEqual(const SortItem* begin, const SortItem* end, const std::uint8_t* keys,
               std::size_t keyLength, std::size_t offset) {
    const std::uint8_t* first = keys + std::size_t{begin->index} * keyLength + offset;
    const std::size_t rest = keyLength - offset;
    for (const SortItem* it = begin + 1; it != end; ++it)
        if (std::memcmp(keys + std::size_t{it->index} * keyLength + offset, first, rest) != 0)
            return false;
    return true;
}

void sortCharacterKeys(SortItem* begin, SortItem* end, const std::uint8_t* keys,
                       std::size_t keyLength, std::size_t offset, bool descending) {
    std::sort(begin, end, [](const SortItem& a, const SortItem& b) {
        if (a.hi != b.hi)
            return a.hi < b.hi;
        if (a.lo != b.lo)
            return a.lo < b.lo;
        return a.recno < b.recno;
    });
    const std::size_t next = offset + 16;
    if (next >= keyLength)
        return;
    for (SortItem* run = begin; run != end;) {
        SortItem* stop = run + 1;
        while (stop != end && stop->hi == run->hi && stop->lo == run->lo)
            ++stop;
        if (stop - run > 1 && !restEqual(run, stop, keys, keyLength, next)) {
            for (SortItem* it = run; it != stop; ++it) {
                const std::uint8_t* key = keys + std::size_t{it->index} * keyLength;
                std::uint64_t hi = wordOf(key, keyLength, next);
                std::uint64_t lo = wordOf(key, keyLength, next + 8);
                it->hi = descending ? ~hi : hi;
                it->lo = descending ? ~lo : lo;
            }
            sortCharacterKeys(run, stop, keys, keyLength, next, descending);
        }
        run = stop;
    }
}

// Nodes are written nine tenths full so that the first inserts after a
// build do not split every leaf they touch.
int fillOf(int maxKeys) {
    return std::max(1, maxKeys - maxKeys / 10);
}

std::size_t ceilDiv(std::size_t a, std::size_t b) {
    return (a + b - 1) / b;
}

} // namespace

void MdxImpl::validateTag(const TagInfo& info) const {
    requireWritable();
    if (!validTagName(info.name))
        throw DatabaseError("'" + core::decode(info.name) +
                                "' is not a valid tag name (a letter, then up to nine letters, "
                                "digits or underscores)",
                            DatabaseError::Kind::InvalidValue);
    const int maxLen = info.type == KeyType::Character ? kMaxCharacterKeyLength
                       : info.type == KeyType::Numeric ? kNumericKeyLength
                                                       : kDateKeyLength;
    const int minLen = info.type == KeyType::Character ? 1 : maxLen;
    if (info.keyLength < minLen || info.keyLength > maxLen)
        throw DatabaseError("A key of type " + std::string(1, static_cast<char>(info.type)) +
                                " cannot be " + std::to_string(info.keyLength) + " bytes long",
                            DatabaseError::Kind::InvalidValue);
    if (info.expression.empty() || info.expression.size() > kMaxExpressionLength ||
        info.expression.find('\0') != std::string::npos)
        throw DatabaseError("The key expression of tag " + core::decode(info.name) +
                                " must be 1 to 220 characters long",
                            DatabaseError::Kind::InvalidExpression);
    if (!info.forExpression.empty() &&
        (blockSize() <= 762 || info.forExpression.size() >= blockSize() - 762))
        throw DatabaseError("The filter expression of tag " + core::decode(info.name) +
                                " is too long",
                            DatabaseError::Kind::InvalidExpression);
    const int existing = findTag(info.name);
    if (existing < 0 && tags_.size() >= static_cast<std::size_t>(kMaxTags))
        throw DatabaseError("The index " + path_.string() + " already holds 47 tags");
}

int MdxImpl::buildTag(const TagInfo& info, const KeySource& next) {
    validateTag(info);
    const std::size_t kl = static_cast<std::size_t>(info.keyLength);
    // Nothing is touched until the source has delivered every entry.
    std::vector<std::uint8_t> keys;
    std::vector<std::uint32_t> recnos;
    for (;;) {
        const std::size_t at = keys.size();
        keys.resize(at + kl);
        std::uint32_t recno = 0;
        if (!next(keys.data() + at, recno)) {
            keys.resize(at);
            break;
        }
        recnos.push_back(recno);
    }
    return buildTagFrom(info, std::move(keys), std::move(recnos));
}

int MdxImpl::buildTagFrom(const TagInfo& info, std::vector<std::uint8_t> keys,
                          std::vector<std::uint32_t> recnos) {
    validateTag(info);
    const int existing = findTag(info.name);
    Tag t;
    t.info = info;
    t.itemLen = (info.keyLength + 4 + 3) / 4 * 4;
    t.maxKeys = (static_cast<int>(blockSize()) - 12) / t.itemLen;
    const std::size_t kl = static_cast<std::size_t>(info.keyLength);

    if (keys.size() != recnos.size() * kl)
        throw DatabaseError("The keys and record numbers of tag " + core::decode(info.name) +
                                " do not agree",
                            DatabaseError::Kind::InvalidValue);
    if (std::find(recnos.begin(), recnos.end(), 0u) != recnos.end())
        throw DatabaseError("Record number 0 cannot be indexed", DatabaseError::Kind::InvalidValue);
    const std::size_t n = recnos.size();
    const std::uint8_t* base = keys.data();
    auto keyAt = [&](std::uint32_t i) { return base + std::size_t{i} * kl; };

    std::vector<std::uint32_t> order(n);
    if (info.type == KeyType::Character) {
        const bool desc = info.descending;
        std::vector<SortItem> items(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* key = keyAt(static_cast<std::uint32_t>(i));
            std::uint64_t hi = wordOf(key, kl, 0), lo = wordOf(key, kl, 8);
            items[i] = {desc ? ~hi : hi, desc ? ~lo : lo, static_cast<std::uint32_t>(i), recnos[i]};
        }
        sortCharacterKeys(items.data(), items.data() + n, base, kl, 0, desc);
        for (std::size_t i = 0; i < n; ++i)
            order[i] = items[i].index;
    } else {
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            int c = compare(t, keyAt(a), keyAt(b), kl);
            return c != 0 ? c < 0 : recnos[a] < recnos[b];
        });
    }
    if (info.unique) {
        auto end = std::unique(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return compare(t, keyAt(a), keyAt(b), kl) == 0;
        });
        order.erase(end, order.end());
    }
    const std::size_t count = order.size();

    UpdateScope scope(*this);
    if (existing >= 0)
        retireTag(static_cast<std::size_t>(existing));

    const std::size_t leafFill = static_cast<std::size_t>(fillOf(t.maxKeys));
    const std::size_t fanout = leafFill + 1;
    std::vector<std::size_t> levelNodes{count == 0 ? 1 : ceilDiv(count, leafFill)};
    while (levelNodes.back() > 1)
        levelNodes.push_back(ceilDiv(levelNodes.back(), fanout));
    const std::size_t total = std::accumulate(levelNodes.begin(), levelNodes.end(), std::size_t{0});
    if (total > (0xFFFFFF00u - endPage_) / ppb_)
        throw DatabaseError("The index " + path_.string() + " would grow too large");

    // The tag header first, then the tree in the order it is written.
    std::vector<std::uint32_t> pages = allocBlocks(total + 1);
    t.headerPage = pages[0];
    std::size_t nextPage = 1;

    const std::size_t bs = blockSize();
    std::vector<std::uint8_t> run; // consecutive blocks waiting to be written
    std::uint64_t runStart = 0;
    auto flushRun = [&] {
        if (run.empty())
            return;
        ensureMarked();
        file_->writeAt(runStart, run.data(), run.size());
        run.clear();
    };
    auto put = [&](std::uint32_t page, const std::uint8_t* data) {
        const std::uint64_t offset = std::uint64_t{page} * kPageSize;
        if (!run.empty() && (offset != runStart + run.size() || run.size() >= (4u << 20)))
            flushRun();
        if (run.empty())
            runStart = offset;
        run.insert(run.end(), data, data + bs);
    };

    struct Child {
        std::uint32_t page;
        std::uint32_t last; // entry whose key is the subtree's highest
    };
    std::vector<Child> children;
    std::vector<std::uint8_t> block(bs);
    Node out{block.data(), t.itemLen, info.keyLength};
    {
        const std::size_t leaves = levelNodes[0];
        children.reserve(leaves);
        std::size_t pos = 0;
        for (std::size_t j = 0; j < leaves; ++j) {
            const std::size_t c = count / leaves + (j < count % leaves ? 1 : 0);
            std::fill(block.begin(), block.end(), 0);
            out.setCount(static_cast<int>(c));
            for (std::size_t k = 0; k < c; ++k) {
                const std::uint32_t e = order[pos + k];
                out.setPtr(static_cast<int>(k), recnos[e]);
                out.setKey(static_cast<int>(k), keyAt(e));
            }
            const std::uint32_t page = pages[nextPage++];
            put(page, block.data());
            children.push_back({page, c > 0 ? order[pos + c - 1] : 0});
            pos += c;
        }
    }
    for (std::size_t level = 1; level < levelNodes.size(); ++level) {
        const std::size_t nodes = levelNodes[level];
        const std::size_t m = children.size();
        std::vector<Child> parents;
        parents.reserve(nodes);
        std::size_t pos = 0;
        for (std::size_t j = 0; j < nodes; ++j) {
            const std::size_t k = m / nodes + (j < m % nodes ? 1 : 0);
            std::fill(block.begin(), block.end(), 0);
            out.setCount(static_cast<int>(k - 1));
            for (std::size_t i = 0; i + 1 < k; ++i) {
                out.setPtr(static_cast<int>(i), children[pos + i].page);
                out.setKey(static_cast<int>(i), keyAt(children[pos + i].last));
            }
            out.setPtr(static_cast<int>(k - 1), children[pos + k - 1].page);
            const std::uint32_t page = pages[nextPage++];
            put(page, block.data());
            parents.push_back({page, children[pos + k - 1].last});
            pos += k;
        }
        children.swap(parents);
    }
    flushRun();

    t.root = children[0].page;
    t.depth = static_cast<int>(levelNodes.size());
    t.sizePages = static_cast<std::uint32_t>(total) * ppb_;
    writeTagHeader(t, count > 0);
    // A replaced tag keeps its place, so the other tags keep their numbers.
    const std::size_t position = existing >= 0 ? static_cast<std::size_t>(existing) : tags_.size();
    tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(position), t);
    writeTagTable();
    rebuildInfos();
    ++generation_;
    scope.commit();
    return static_cast<int>(position);
}

} // namespace shelvix::db::mdx
