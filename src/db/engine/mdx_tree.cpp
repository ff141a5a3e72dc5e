// B-tree navigation, insertion and removal, the cursor and the check.

#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cstring>

namespace shelvix::db::mdx {

namespace {

Node view(const BlockPtr& b, const Tag& t) {
    return Node{b->data.data(), t.itemLen, t.info.keyLength};
}

// Rewrites a node from `count` items laid out like a node's (from byte 8 of
// a block) followed by `trailing` (the last child, 0 in a leaf).
void writeNode(Node& dst, std::size_t blockSize, const std::uint8_t* items, int count,
               std::uint32_t trailing) {
    std::memset(dst.data, 0, blockSize);
    dst.setCount(count);
    std::memcpy(dst.slot(0), items, static_cast<std::size_t>(count) * dst.itemLen);
    dst.setPtr(count, trailing);
}

void setItem(Node& n, int i, std::uint32_t ptr, const std::uint8_t* key) {
    n.setPtr(i, ptr);
    n.setKey(i, key);
    std::memset(n.slot(i) + 4 + n.keyLen, 0, static_cast<std::size_t>(n.itemLen - 4 - n.keyLen));
}

} // namespace

int MdxImpl::compare(const Tag& t, const std::uint8_t* a, const std::uint8_t* b,
                     std::size_t len) const {
    int r;
    if (t.info.type == KeyType::Character) {
        r = std::memcmp(a, b, len);
    } else {
        r = compareKeys(t.info.type, a, b, static_cast<std::size_t>(t.info.keyLength));
    }
    if (t.info.descending)
        r = -r;
    return r;
}

std::uint64_t MdxImpl::leafBudget() const {
    return endPage_ / ppb_ + 2;
}

// The depth is measured once along the leftmost path; every node read later
// must then be a leaf exactly at the last level, which also stops pointers
// that lead back up the tree.
void MdxImpl::ensureDepth(Tag& t) {
    if (t.depth > 0)
        return;
    std::uint32_t page = t.root;
    for (int d = 1; d <= kMaxDepth; ++d) {
        if (!pageInFile(page))
            checkPage(page, "tag " + t.info.name);
        BlockPtr b = loadBlock(page);
        Node n = view(b, t);
        std::uint32_t count = get32(b->data.data());
        if (count > static_cast<std::uint32_t>(t.maxKeys))
            corrupt("page " + std::to_string(page) + " of tag " + t.info.name + " holds " +
                    std::to_string(count) + " keys");
        if (n.ptr(static_cast<int>(count)) == 0) {
            t.depth = d;
            return;
        }
        page = n.ptr(0);
    }
    corrupt("tag " + t.info.name + " is deeper than " + std::to_string(kMaxDepth) + " levels");
}

BlockPtr MdxImpl::node(Tag& t, std::uint32_t page, int level) {
    ensureDepth(t);
    if (!pageInFile(page))
        checkPage(page, "tag " + t.info.name);
    BlockPtr b = loadBlock(page);
    std::uint32_t count = get32(b->data.data());
    if (count > static_cast<std::uint32_t>(t.maxKeys))
        corrupt("page " + std::to_string(page) + " of tag " + t.info.name + " holds " +
                std::to_string(count) + " keys");
    Node n = view(b, t);
    bool leafLevel = level == t.depth - 1;
    if ((n.ptr(static_cast<int>(count)) == 0) != leafLevel)
        corrupt("page " + std::to_string(page) + " of tag " + t.info.name +
                (leafLevel ? " is a branch where a leaf belongs" : " is a leaf above the leaves"));
    return b;
}

void MdxImpl::descendEdge(Tag& t, Path& path, bool toLast) {
    ensureDepth(t);
    path.assign(static_cast<std::size_t>(t.depth), PathStep{});
    std::uint32_t page = t.root;
    for (int level = 0; level < t.depth; ++level) {
        BlockPtr b = node(t, page, level);
        Node n = view(b, t);
        if (level == t.depth - 1) {
            path[static_cast<std::size_t>(level)] = {page, toLast ? n.count() : -1};
        } else {
            int i = toLast ? n.count() : 0;
            path[static_cast<std::size_t>(level)] = {page, i};
            page = n.ptr(i);
        }
    }
}

std::uint32_t MdxImpl::lastRecno(Tag& t, std::uint32_t page, int level) {
    for (;; ++level) {
        BlockPtr b = node(t, page, level);
        Node n = view(b, t);
        if (level == t.depth - 1)
            return n.count() > 0 ? n.ptr(n.count() - 1) : 0;
        page = n.ptr(n.count());
    }
}

bool MdxImpl::subtreeMax(Tag& t, std::uint32_t page, int level, std::uint8_t* out) {
    for (;; ++level) {
        BlockPtr b = node(t, page, level);
        Node n = view(b, t);
        if (level == t.depth - 1) {
            if (n.count() == 0)
                return false;
            std::memcpy(out, n.key(n.count() - 1), static_cast<std::size_t>(t.info.keyLength));
            return true;
        }
        page = n.ptr(n.count());
    }
}

// Leaves the path on the leaf where the target belongs, its index the
// target's position there (possibly the leaf's count).
void MdxImpl::descendTo(Tag& t, const Target& target, Path& path) {
    ensureDepth(t);
    path.assign(static_cast<std::size_t>(t.depth), PathStep{});
    const std::size_t full = static_cast<std::size_t>(t.info.keyLength);
    const std::size_t len =
        t.info.type == KeyType::Character ? std::min(target.length, full) : full;
    std::uint32_t page = t.root;
    for (int level = 0; level < t.depth; ++level) {
        BlockPtr b = node(t, page, level);
        Node n = view(b, t);
        const int count = n.count();
        if (level == t.depth - 1) {
            int lo = 0, hi = count;
            while (lo < hi) {
                int mid = (lo + hi) / 2;
                int c = compare(t, n.key(mid), target.key, len);
                bool before = c < 0 || (c == 0 && target.withRecno && n.ptr(mid) < target.recno);
                if (before)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            path[static_cast<std::size_t>(level)] = {page, lo};
            return;
        }
        // Item keys are the highest key of their child: the first child
        // whose highest key is not below the target holds it.
        int lo = 0, hi = count;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (compare(t, n.key(mid), target.key, len) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        int child = lo;
        if (target.withRecno && lo < count && compare(t, n.key(lo), target.key, full) == 0) {
            // A run of children ending in the same key: pick by the record
            // number of their last entries.
            int end = lo, top = count;
            while (end < top) {
                int mid = (end + top) / 2;
                if (compare(t, n.key(mid), target.key, full) <= 0)
                    end = mid + 1;
                else
                    top = mid;
            }
            int a = lo, z = end;
            while (a < z) {
                int mid = (a + z) / 2;
                if (lastRecno(t, n.ptr(mid), level + 1) >= target.recno)
                    z = mid;
                else
                    a = mid + 1;
            }
            child = a;
        }
        path[static_cast<std::size_t>(level)] = {page, child};
        page = n.ptr(child);
    }
}

bool MdxImpl::stepNext(Tag& t, Path& path, std::uint64_t& budget) {
    const int leafLevel = t.depth - 1;
    for (;;) {
        PathStep& leaf = path[static_cast<std::size_t>(leafLevel)];
        BlockPtr lb = node(t, leaf.page, leafLevel);
        const int count = view(lb, t).count();
        if (leaf.index + 1 < count) {
            ++leaf.index;
            return true;
        }
        int level = leafLevel - 1;
        for (; level >= 0; --level) {
            PathStep& s = path[static_cast<std::size_t>(level)];
            BlockPtr b = node(t, s.page, level);
            if (s.index < view(b, t).count())
                break;
        }
        if (level < 0) {
            leaf.index = count;
            return false;
        }
        if (++budget > leafBudget())
            corrupt("tag " + t.info.name + " loops");
        PathStep& s = path[static_cast<std::size_t>(level)];
        ++s.index;
        std::uint32_t page = view(node(t, s.page, level), t).ptr(s.index);
        for (int l = level + 1; l <= leafLevel; ++l) {
            BlockPtr b = node(t, page, l);
            if (l == leafLevel) {
                path[static_cast<std::size_t>(l)] = {page, -1};
            } else {
                path[static_cast<std::size_t>(l)] = {page, 0};
                page = view(b, t).ptr(0);
            }
        }
    }
}

bool MdxImpl::stepPrior(Tag& t, Path& path, std::uint64_t& budget) {
    const int leafLevel = t.depth - 1;
    for (;;) {
        PathStep& leaf = path[static_cast<std::size_t>(leafLevel)];
        BlockPtr lb = node(t, leaf.page, leafLevel);
        const int count = view(lb, t).count();
        leaf.index = std::min(leaf.index, count);
        if (leaf.index > 0) {
            --leaf.index;
            return true;
        }
        int level = leafLevel - 1;
        for (; level >= 0; --level) {
            PathStep& s = path[static_cast<std::size_t>(level)];
            node(t, s.page, level);
            if (s.index > 0)
                break;
        }
        if (level < 0) {
            leaf.index = -1;
            return false;
        }
        if (++budget > leafBudget())
            corrupt("tag " + t.info.name + " loops");
        PathStep& s = path[static_cast<std::size_t>(level)];
        --s.index;
        std::uint32_t page = view(node(t, s.page, level), t).ptr(s.index);
        for (int l = level + 1; l <= leafLevel; ++l) {
            BlockPtr b = node(t, page, l);
            int count2 = view(b, t).count();
            path[static_cast<std::size_t>(l)] = {page, count2};
            if (l < leafLevel)
                page = view(b, t).ptr(count2);
        }
    }
}

// --- insertion ------------------------------------------------------------

void MdxImpl::insertAt(Tag& t, Path& path, const std::uint8_t* key, std::uint32_t recno) {
    const int leafLevel = t.depth - 1;
    const std::size_t item = static_cast<std::size_t>(t.itemLen);
    // Appending at the far right end (new records with rising keys): split
    // so that the left node stays full.
    bool append = true;
    for (int l = 0; l < t.depth && append; ++l) {
        BlockPtr b = node(t, path[static_cast<std::size_t>(l)].page, l);
        append = path[static_cast<std::size_t>(l)].index == view(b, t).count();
    }

    BlockPtr xb = node(t, path[static_cast<std::size_t>(leafLevel)].page, leafLevel);
    Node x = view(xb, t);
    const int n = x.count();
    const int pos = path[static_cast<std::size_t>(leafLevel)].index;
    if (n < t.maxKeys) {
        std::memmove(x.slot(pos + 1), x.slot(pos), static_cast<std::size_t>(n - pos) * item);
        setItem(x, pos, recno, key);
        x.setPtr(n + 1, 0);
        x.setCount(n + 1);
        touch(xb);
        return;
    }

    // An oversized node to insert into before cutting it in two.
    std::vector<std::uint8_t> v(8 + (static_cast<std::size_t>(t.maxKeys) + 2) * item + 4, 0);
    Node vn{v.data(), t.itemLen, t.info.keyLength};
    std::memcpy(vn.slot(0), x.slot(0), static_cast<std::size_t>(pos) * item);
    std::memcpy(vn.slot(pos + 1), x.slot(pos), static_cast<std::size_t>(n - pos) * item);
    setItem(vn, pos, recno, key);
    const int total = n + 1;
    int m = append ? n : total / 2;
    BlockPtr rb = allocBlock(t);
    Node r = view(rb, t);
    writeNode(x, blockSize(), vn.slot(0), m, 0);
    writeNode(r, blockSize(), vn.slot(m), total - m, 0);
    touch(xb);
    std::vector<std::uint8_t> sep(vn.key(m - 1), vn.key(m - 1) + t.info.keyLength);
    std::uint32_t newPage = rb->page;

    for (int level = leafLevel - 1; level >= 0; --level) {
        BlockPtr pb = node(t, path[static_cast<std::size_t>(level)].page, level);
        Node p = view(pb, t);
        const int np = p.count();
        const int ci = path[static_cast<std::size_t>(level)].index;
        // Child ci keeps the left half under the new separator; the right
        // half follows it with ci's old key (or as the last child).
        if (np < t.maxKeys) {
            std::memmove(p.slot(ci + 1), p.slot(ci), static_cast<std::size_t>(np - ci) * item + 4);
            p.setKey(ci, sep.data());
            p.setPtr(ci + 1, newPage);
            p.setCount(np + 1);
            touch(pb);
            return;
        }
        std::fill(v.begin(), v.end(), 0);
        std::memcpy(vn.slot(0), p.slot(0), static_cast<std::size_t>(np) * item + 4);
        std::memmove(vn.slot(ci + 1), vn.slot(ci), static_cast<std::size_t>(np - ci) * item + 4);
        vn.setKey(ci, sep.data());
        vn.setPtr(ci + 1, newPage);
        const int keys = np + 1;
        m = append ? keys - 2 : keys / 2;
        BlockPtr nb = allocBlock(t);
        Node right = view(nb, t);
        writeNode(p, blockSize(), vn.slot(0), m, vn.ptr(m));
        sep.assign(vn.key(m), vn.key(m) + t.info.keyLength);
        writeNode(right, blockSize(), vn.slot(m + 1), keys - m - 1, vn.ptr(keys));
        touch(pb);
        newPage = nb->page;
    }

    BlockPtr root = allocBlock(t);
    Node rn = view(root, t);
    rn.setCount(1);
    setItem(rn, 0, t.root, sep.data());
    rn.setPtr(1, newPage);
    t.root = root->page;
    ++t.depth;
}

// --- removal --------------------------------------------------------------

// Drops child `index` of an interior node; when it is the last child, the
// one before it takes its place (and loses its key).
void MdxImpl::removeChild(Node& p, int index) {
    const int np = p.count();
    const std::size_t item = static_cast<std::size_t>(p.itemLen);
    if (index < np)
        std::memmove(p.slot(index), p.slot(index + 1),
                     static_cast<std::size_t>(np - index - 1) * item + 4);
    std::memset(p.slot(np - 1) + 4, 0, item);
    p.setCount(np - 1);
}

void MdxImpl::fixKey(Tag& t, Node& parent, int index, int childLevel) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(t.info.keyLength));
    if (subtreeMax(t, parent.ptr(index), childLevel, buf.data()) &&
        std::memcmp(parent.key(index), buf.data(), buf.size()) != 0)
        parent.setKey(index, buf.data());
}

// Children a and a+1 of `pb`'s node: merged into a when they fit in one
// node, else evened out. Returns true when merged.
bool MdxImpl::rebalance(Tag& t, Node& p, int a, int childLevel) {
    const std::size_t item = static_cast<std::size_t>(t.itemLen);
    const std::size_t keyLen = static_cast<std::size_t>(t.info.keyLength);
    const std::uint32_t pageA = p.ptr(a);
    const std::uint32_t pageB = p.ptr(a + 1);
    BlockPtr ab = node(t, pageA, childLevel);
    BlockPtr bb = node(t, pageB, childLevel);
    Node na = view(ab, t), nb = view(bb, t);
    const int cA = na.count(), cB = nb.count();
    const bool leaf = childLevel == t.depth - 1;
    touch(ab);
    touch(bb);

    if (leaf) {
        if (cA + cB <= t.maxKeys) {
            std::memcpy(na.slot(cA), nb.slot(0), static_cast<std::size_t>(cB) * item);
            na.setPtr(cA + cB, 0);
            na.setCount(cA + cB);
            removeChild(p, a);
            p.setPtr(a, pageA);
            freeBlock(&t, pageB);
            return true;
        }
        const int target = (cA + cB) / 2;
        if (cA < target) {
            const int k = target - cA;
            std::memcpy(na.slot(cA), nb.slot(0), static_cast<std::size_t>(k) * item);
            na.setPtr(target, 0);
            na.setCount(target);
            std::memmove(nb.slot(0), nb.slot(k), static_cast<std::size_t>(cB - k) * item);
            std::memset(nb.slot(cB - k), 0, static_cast<std::size_t>(k) * item + 4);
            nb.setCount(cB - k);
        } else {
            const int k = cA - target;
            std::memmove(nb.slot(k), nb.slot(0), static_cast<std::size_t>(cB) * item);
            std::memcpy(nb.slot(0), na.slot(target), static_cast<std::size_t>(k) * item);
            nb.setPtr(cB + k, 0);
            nb.setCount(cB + k);
            std::memset(na.slot(target), 0, static_cast<std::size_t>(k) * item + 4);
            na.setCount(target);
        }
        p.setKey(a, na.key(na.count() - 1));
        return false;
    }

    std::vector<std::uint8_t> sep(p.key(a), p.key(a) + keyLen);
    if (cA + 1 + cB <= t.maxKeys) {
        na.setKey(cA, sep.data());
        std::memcpy(na.slot(cA + 1), nb.slot(0), static_cast<std::size_t>(cB) * item + 4);
        na.setCount(cA + 1 + cB);
        removeChild(p, a);
        p.setPtr(a, pageA);
        freeBlock(&t, pageB);
        return true;
    }
    // Lay both out as one list, the separator between them, and cut it in
    // the middle: the key at the cut moves up.
    const int keys = cA + 1 + cB;
    std::vector<std::uint8_t> v(8 + static_cast<std::size_t>(keys + 1) * item + 4, 0);
    Node vn{v.data(), t.itemLen, t.info.keyLength};
    std::memcpy(vn.slot(0), na.slot(0), static_cast<std::size_t>(cA) * item + 4);
    vn.setKey(cA, sep.data());
    std::memcpy(vn.slot(cA + 1), nb.slot(0), static_cast<std::size_t>(cB) * item + 4);
    const int m = keys / 2;
    writeNode(na, blockSize(), vn.slot(0), m, vn.ptr(m));
    writeNode(nb, blockSize(), vn.slot(m + 1), keys - m - 1, vn.ptr(keys));
    p.setKey(a, vn.key(m));
    return false;
}

void MdxImpl::removeAt(Tag& t, Path& path) {
    const int leafLevel = t.depth - 1;
    const std::size_t item = static_cast<std::size_t>(t.itemLen);
    {
        BlockPtr xb = node(t, path[static_cast<std::size_t>(leafLevel)].page, leafLevel);
        Node x = view(xb, t);
        const int n = x.count();
        const int pos = path[static_cast<std::size_t>(leafLevel)].index;
        std::memmove(x.slot(pos), x.slot(pos + 1), static_cast<std::size_t>(n - pos - 1) * item);
        std::memset(x.slot(n - 1), 0, item + 4);
        x.setCount(n - 1);
        touch(xb);
        // The highest key below some ancestors' separator may have gone.
        bool changedMax = pos == n - 1;
        const int minFill = std::max(1, t.maxKeys / 3);

        for (int level = leafLevel; level > 0; --level) {
            PathStep& ps = path[static_cast<std::size_t>(level - 1)];
            BlockPtr pb = node(t, ps.page, level - 1);
            Node p = view(pb, t);
            const int np = p.count();
            const int ci = ps.index;
            BlockPtr cb = node(t, path[static_cast<std::size_t>(level)].page, level);
            const int cn = view(cb, t).count();
            int holder = ci;
            if (level == leafLevel && cn == 0 && np > 0) {
                removeChild(p, ci);
                freeBlock(&t, path[static_cast<std::size_t>(level)].page);
                touch(pb);
                holder = -1;
                changedMax = changedMax && ci == np;
            } else if (cn < minFill && np > 0) {
                if (changedMax && ci < np)
                    fixKey(t, p, ci, level);
                const int a = ci < np ? ci : ci - 1;
                holder = rebalance(t, p, a, level) ? a : ci;
                touch(pb);
            }
            if (changedMax && holder >= 0 && holder < p.count()) {
                fixKey(t, p, holder, level);
                touch(pb);
                changedMax = false;
            }
        }
    }
    // A root left with one child hands over to it.
    while (t.depth > 1) {
        BlockPtr rb = node(t, t.root, 0);
        Node r = view(rb, t);
        if (r.count() > 0)
            break;
        std::uint32_t child = r.ptr(0);
        freeBlock(&t, t.root);
        t.root = child;
        --t.depth;
    }
}

bool MdxImpl::findByRecno(Tag& t, std::uint32_t recno, Path& path) {
    std::uint64_t budget = 0;
    descendEdge(t, path, false);
    while (stepNext(t, path, budget)) {
        const PathStep& leaf = path.back();
        BlockPtr b = node(t, leaf.page, t.depth - 1);
        if (view(b, t).ptr(leaf.index) == recno)
            return true;
    }
    return false;
}

void MdxImpl::insertKey(int tag, const std::uint8_t* key, std::uint32_t recno) {
    requireWritable();
    Tag& t = checkedTag(tag);
    if (recno == 0)
        throw DatabaseError("Record number 0 cannot be indexed", DatabaseError::Kind::InvalidValue);
    UpdateScope scope(*this);
    const std::size_t full = static_cast<std::size_t>(t.info.keyLength);
    Path path;
    descendTo(t, Target{key, full, true, recno}, path);
    {
        const PathStep& leaf = path.back();
        Node n = view(node(t, leaf.page, t.depth - 1), t);
        bool present = leaf.index < n.count() && n.ptr(leaf.index) == recno &&
                       compare(t, n.key(leaf.index), key, full) == 0;
        if (present) {
            scope.commit();
            return;
        }
    }
    if (t.info.unique) {
        // dBASE keeps only the first record of a key in a unique tag.
        Path probe;
        descendTo(t, Target{key, full, false, 0}, probe);
        std::uint64_t budget = 0;
        --probe.back().index;
        if (stepNext(t, probe, budget)) {
            Node n = view(node(t, probe.back().page, t.depth - 1), t);
            if (compare(t, n.key(probe.back().index), key, full) == 0) {
                scope.commit();
                return;
            }
        }
    }
    insertAt(t, path, key, recno);
    syncTagHeader(t);
    ++generation_;
    scope.commit();
}

bool MdxImpl::removeKey(int tag, const std::uint8_t* key, std::uint32_t recno) {
    requireWritable();
    Tag& t = checkedTag(tag);
    UpdateScope scope(*this);
    const std::size_t full = static_cast<std::size_t>(t.info.keyLength);
    Path path;
    descendTo(t, Target{key, full, true, recno}, path);
    std::uint64_t budget = 0;
    --path.back().index;
    bool found = false;
    if (stepNext(t, path, budget)) {
        Node n = view(node(t, path.back().page, t.depth - 1), t);
        found = n.ptr(path.back().index) == recno &&
                compare(t, n.key(path.back().index), key, full) == 0;
    }
    if (!found)
        found = findByRecno(t, recno, path);
    if (found) {
        removeAt(t, path);
        syncTagHeader(t);
        ++generation_;
    }
    scope.commit();
    return found;
}

// --- cursor ---------------------------------------------------------------

namespace {

class MdxCursor final : public MdxFile::Cursor {
public:
    MdxCursor(MdxImpl& mdx, int tag) : mdx_(mdx), tagPage_(mdx.tagAt(tag).headerPage) {
        key_.resize(static_cast<std::size_t>(mdx.tagAt(tag).info.keyLength));
    }

    bool first() override {
        Tag& t = tag();
        mdx_.descendEdge(t, path_, false);
        direction_ = 0;
        return settle(t, mdx_.stepNext(t, path_, budget(1)));
    }

    bool last() override {
        Tag& t = tag();
        mdx_.descendEdge(t, path_, true);
        direction_ = 0;
        return settle(t, mdx_.stepPrior(t, path_, budget(-1)));
    }

    bool next() override {
        if (state_ == State::Before)
            return first();
        if (state_ == State::After)
            return false;
        if (generation_ == mdx_.generation() && leaf_) {
            // Within the leaf at hand nothing needs looking up.
            Node n = leafNode();
            int& i = path_.back().index;
            if (i + 1 < n.count()) {
                ++i;
                take(n, i);
                return true;
            }
        }
        Tag& t = tag();
        if (generation_ != mdx_.generation()) {
            refind(t);
            bool ok = mdx_.stepNext(t, path_, budget(1));
            if (ok && atSaved(t))
                ok = mdx_.stepNext(t, path_, budget(1));
            return settle(t, ok);
        }
        return settle(t, mdx_.stepNext(t, path_, budget(1)));
    }

    bool prior() override {
        if (state_ == State::After)
            return last();
        if (state_ == State::Before)
            return false;
        if (generation_ == mdx_.generation() && leaf_) {
            Node n = leafNode();
            int& i = path_.back().index;
            if (i > 0 && i <= n.count()) {
                --i;
                take(n, i);
                return true;
            }
        }
        Tag& t = tag();
        if (generation_ != mdx_.generation()) {
            refind(t);
            ++path_.back().index;
        }
        bool ok = mdx_.stepPrior(t, path_, budget(-1));
        if (!ok) {
            state_ = State::Before;
            return false;
        }
        return settle(t, true);
    }

    bool seek(const std::uint8_t* key, std::size_t length) override {
        Tag& t = tag();
        mdx_.descendTo(t, Target{key, length, false, 0}, path_);
        --path_.back().index;
        direction_ = 0;
        return settle(t, mdx_.stepNext(t, path_, budget(1)));
    }

    bool seekExact(const std::uint8_t* key, std::uint32_t recno) override {
        Tag& t = tag();
        mdx_.descendTo(t, Target{key, key_.size(), true, recno}, path_);
        --path_.back().index;
        direction_ = 0;
        if (!settle(t, mdx_.stepNext(t, path_, budget(1))))
            return false;
        return recno_ == recno && mdx_.compare(t, key_.data(), key, key_.size()) == 0;
    }

    KeyEntry current() const override {
        if (state_ != State::On)
            return {};
        return {key_.data(), recno_};
    }

private:
    enum class State { Before, On, After };

    Tag& tag() {
        int i = mdx_.tagByHeaderPage(tagPage_);
        if (i < 0)
            throw DatabaseError("The index tag this cursor walked no longer exists");
        return mdx_.tagAt(i);
    }

    // Walking one way never enters more leaves than the file holds; turning
    // round starts the count again.
    std::uint64_t& budget(int direction) {
        if (direction != direction_) {
            direction_ = direction;
            budget_ = 0;
        }
        return budget_;
    }

    // Positions the path on the first entry >= the saved one, index one
    // before it so that stepNext lands there.
    void refind(Tag& t) {
        mdx_.descendTo(t, Target{key_.data(), key_.size(), true, recno_}, path_);
        --path_.back().index;
        direction_ = 0;
    }

    bool atSaved(Tag& t) {
        const PathStep& leaf = path_.back();
        Node n = view(mdx_.node(t, leaf.page, t.depth - 1), t);
        return n.ptr(leaf.index) == recno_ &&
               mdx_.compare(t, n.key(leaf.index), key_.data(), key_.size()) == 0;
    }

    bool settle(Tag& t, bool ok) {
        generation_ = mdx_.generation();
        leaf_.reset();
        if (!ok) {
            state_ = State::After;
            return false;
        }
        const PathStep& leaf = path_.back();
        leaf_ = mdx_.node(t, leaf.page, t.depth - 1);
        itemLen_ = t.itemLen;
        take(leafNode(), leaf.index);
        state_ = State::On;
        return true;
    }

    Node leafNode() const {
        return Node{leaf_->data.data(), itemLen_, static_cast<int>(key_.size())};
    }

    void take(const Node& n, int i) {
        std::memcpy(key_.data(), n.key(i), key_.size());
        recno_ = n.ptr(i);
    }

    MdxImpl& mdx_;
    std::uint32_t tagPage_;
    Path path_;
    State state_ = State::Before;
    std::vector<std::uint8_t> key_;
    std::uint32_t recno_ = 0;
    // The leaf the cursor stands on, valid while the generation holds.
    BlockPtr leaf_;
    int itemLen_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t budget_ = 0;
    int direction_ = 0;
};

} // namespace

std::unique_ptr<MdxFile::Cursor> MdxImpl::cursor(int tag) {
    checkedTag(tag);
    return std::make_unique<MdxCursor>(*this, tag);
}

// --- check ----------------------------------------------------------------

void MdxImpl::checkSubtree(Tag& t, std::uint32_t page, int level, CheckState& seen,
                           std::vector<std::string>& problems, std::vector<std::uint8_t>& prevKey,
                           std::uint32_t& prevRecno, bool& havePrev, std::uint64_t& entries,
                           std::vector<std::uint8_t>& maxOut) {
    const std::string where = "page " + std::to_string(page);
    if (!pageInFile(page))
        checkPage(page, "tag " + t.info.name);
    if (seen.visited[page]) {
        problems.push_back(where + " is reached twice");
        return;
    }
    seen.visited[page] = true;
    seen.pages.push_back(page);
    BlockPtr b = node(t, page, level);
    Node n = view(b, t);
    const int count = n.count();
    const std::size_t keyLen = static_cast<std::size_t>(t.info.keyLength);
    // Readers ignore them: we write 0, other writers the node's own page.
    if (std::uint32_t link = get32(b->data.data() + 4); link != 0 && link != page)
        ++seen.unusualLinks;
    if (level == t.depth - 1) {
        if (count == 0 && page != t.root)
            problems.push_back(where + " is an empty leaf");
        for (int i = 0; i < count; ++i) {
            if (n.ptr(i) == 0)
                problems.push_back(where + " item " + std::to_string(i) + ": record number 0");
            if (havePrev) {
                int c = compare(t, prevKey.data(), n.key(i), keyLen);
                if (c > 0 || (c == 0 && prevRecno >= n.ptr(i)))
                    problems.push_back(where + " item " + std::to_string(i) + " (record " +
                                       std::to_string(n.ptr(i)) + ") is out of order");
            }
            prevKey.assign(n.key(i), n.key(i) + keyLen);
            prevRecno = n.ptr(i);
            havePrev = true;
            ++entries;
        }
        if (count > 0)
            maxOut.assign(n.key(count - 1), n.key(count - 1) + keyLen);
        else
            maxOut.clear();
        return;
    }
    if (count == 0 && page != t.root)
        problems.push_back(where + " is a branch with a single child");
    std::vector<std::uint8_t> childMax;
    for (int i = 0; i <= count; ++i) {
        // Re-read: the walk below may have pushed this block out of the cache.
        Node p = view(node(t, page, level), t);
        std::uint32_t child = p.ptr(i);
        checkSubtree(t, child, level + 1, seen, problems, prevKey, prevRecno, havePrev, entries,
                     childMax);
        p = view(node(t, page, level), t);
        if (i < count && (childMax.empty() || std::memcmp(childMax.data(), p.key(i), keyLen) != 0))
            problems.push_back(where + " item " + std::to_string(i) +
                               ": the key is not the highest key of page " + std::to_string(child));
    }
    maxOut = childMax;
}

std::vector<std::string> MdxImpl::check(int tag, std::vector<std::string>* notes) {
    Tag& t = checkedTag(tag);
    std::vector<std::string> problems;
    try {
        ensureDepth(t);
        CheckState seen;
        seen.visited.assign(endPage_, false);
        std::vector<std::uint8_t> prevKey, maxKey;
        std::uint32_t prevRecno = 0;
        bool havePrev = false;
        std::uint64_t entries = 0;
        checkSubtree(t, t.root, 0, seen, problems, prevKey, prevRecno, havePrev, entries, maxKey);
        const std::size_t treePages = seen.pages.size() * ppb_;
        if (seen.unusualLinks && notes)
            notes->push_back(std::to_string(seen.unusualLinks) +
                             " nodes hold neither 0 nor their own page number in bytes 4-7");
        if (treePages != t.sizePages)
            problems.push_back("the tag header gives " + std::to_string(t.sizePages) +
                               " pages, the tree has " + std::to_string(treePages));
        // The cursor's walk must agree with the tree's.
        std::uint64_t walked = 0;
        auto c = cursor(tag);
        for (bool ok = c->first(); ok; ok = c->next())
            ++walked;
        if (walked != entries)
            problems.push_back("walking gives " + std::to_string(walked) + " keys, the tree " +
                               std::to_string(entries));
        if (freeListUsable_) {
            std::uint32_t page = headerU32(36);
            for (std::uint64_t steps = 0; page != 0; ++steps) {
                if (steps > endPage_ / ppb_) {
                    problems.push_back("the free chain loops");
                    break;
                }
                if (page >= endPage_) {
                    problems.push_back("the free chain leaves the file");
                    break;
                }
                if (seen.visited[page] || page == t.headerPage) {
                    problems.push_back("page " + std::to_string(page) + " is free and in use");
                    break;
                }
                page = get32(loadBlock(page)->data.data() + 4);
            }
        }
    } catch (const DatabaseError& e) {
        problems.push_back(e.what());
    }
    return problems;
}

} // namespace shelvix::db::mdx
