// The tree check: order, separators, page counts and the free chain.

#include "db/engine/error.h"
#include "db/engine/mdx_impl.h"

#include <cstring>

namespace shelvix::db::mdx {

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
