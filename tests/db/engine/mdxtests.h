#pragma once

// What the production index tests share: reading raw index bytes, walking a
// tag, feeding a build, and reading what other tools make of a file.

#include "db/engine/error.h"
#include "db/engine/mdx.h"
#include "support/tempdir.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace shelvix::test::mdxtest {

using namespace shelvix::db;

using Entry = std::pair<std::string, std::uint32_t>; // key bytes, recno

inline std::uint32_t u32(const std::string& s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}
inline std::uint16_t u16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) |
                                      static_cast<std::uint8_t>(s[at + 1]) << 8);
}
inline void setU32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

inline std::vector<Entry> walk(MdxFile& mdx, int tag) {
    std::vector<Entry> out;
    auto c = mdx.cursor(tag);
    const std::size_t len = static_cast<std::size_t>(mdx.tags()[tag].keyLength);
    for (bool ok = c->first(); ok; ok = c->next()) {
        auto e = c->current();
        out.emplace_back(std::string(reinterpret_cast<const char*>(e.key), len), e.recno);
    }
    return out;
}

inline std::vector<Entry> walkBackwards(MdxFile& mdx, int tag) {
    std::vector<Entry> out;
    auto c = mdx.cursor(tag);
    const std::size_t len = static_cast<std::size_t>(mdx.tags()[tag].keyLength);
    for (bool ok = c->last(); ok; ok = c->prior()) {
        auto e = c->current();
        out.emplace_back(std::string(reinterpret_cast<const char*>(e.key), len), e.recno);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

inline MdxFile::KeySource sourceOf(const std::vector<Entry>& entries) {
    auto at = std::make_shared<std::size_t>(0);
    return [&entries, at](std::uint8_t* key, std::uint32_t& recno) {
        if (*at == entries.size())
            return false;
        const Entry& e = entries[(*at)++];
        std::memcpy(key, e.first.data(), e.first.size());
        recno = e.second;
        return true;
    };
}

inline TagInfo charTag(const std::string& name, int length, const std::string& expr = "TITLE") {
    TagInfo info;
    info.name = name;
    info.expression = expr;
    info.type = KeyType::Character;
    info.keyLength = length;
    return info;
}

inline std::string padded(const std::string& s, std::size_t length) {
    std::string k = s.substr(0, length);
    k.resize(length, ' ');
    return k;
}

inline const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Entries as Perl's XBase::Index reads them (it only knows 1024-byte blocks).
inline std::vector<Entry> perlWalk(const std::filesystem::path& mdx, const std::string& tag) {
    std::string cmd = "/usr/bin/perl " SHELVIX_SOURCE_DIR "/tests/db/engine/mdx_perl_walk.pl '" +
                      mdx.string() + "' " + tag + " 2>&1";
    FILE* pipe = popen(cmd.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::vector<Entry> out;
    if (!pipe)
        return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        auto tab = s.find('\t');
        if (tab == std::string::npos) {
            ADD_FAILURE() << "perl: " << s;
            continue;
        }
        std::string hex = s.substr(tab + 1);
        while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r'))
            hex.pop_back();
        std::string key;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            key.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        out.emplace_back(key, static_cast<std::uint32_t>(std::stoul(s.substr(0, tab))));
    }
    EXPECT_EQ(pclose(pipe), 0);
    return out;
}

// The "tags:" section of a *.perl-dump.txt fixture: "recno<TAB>[key]".
inline std::vector<Entry> dumpedOrder(const std::string& fixture) {
    std::istringstream in(readFile(shelvix::test::fixturePath(fixture)));
    std::vector<Entry> out;
    std::string line;
    bool inTags = false;
    while (std::getline(in, line)) {
        if (line.rfind("tags:", 0) == 0) {
            inTags = true;
            continue;
        }
        auto tab = line.find('\t');
        if (!inTags || tab == std::string::npos || line.size() < tab + 3)
            continue;
        out.emplace_back(line.substr(tab + 2, line.size() - tab - 3),
                         static_cast<std::uint32_t>(std::stoul(line.substr(0, tab))));
    }
    return out;
}

inline DatabaseError::Kind errorKind(const std::function<void()>& f) {
    try {
        f();
    } catch (const DatabaseError& e) {
        return e.kind();
    }
    return DatabaseError::Kind::General;
}

} // namespace shelvix::test::mdxtest
