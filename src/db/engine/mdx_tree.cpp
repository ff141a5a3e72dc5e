// B-tree navigation: descent, stepping from entry to entry, and the cursor.

#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <algorithm>
#include <cstring>

namespace shelvix::db::mdx {

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

} // namespace shelvix::db::mdx
