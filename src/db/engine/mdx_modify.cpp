// Adding and removing keys: page splits on the way in, merging and evening
// out of neighbours on the way out.

#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cstring>

namespace shelvix::db::mdx {

namespace {

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

} // namespace shelvix::db::mdx
