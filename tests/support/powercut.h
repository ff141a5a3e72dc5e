#pragma once
// A disk that loses power, for tests of what a crash leaves behind.

#include "db/engine/error.h"
#include "db/engine/file.h"
#include "support/forwardingfile.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace shelvix::test {

// A disk that loses power. Everything synced stays: a file's bytes at its
// last sync (and each write made durable on its own), a folder's names at its
// last sync. Of what was not synced, a
// random part reaches the disk: for each file a random subset of its
// unsynced writes (with `tearPages`, each cut into the 4 KiB pages it
// touches, so that a write can land in part), applied in a random order; for each folder a random
// number of its unsynced name changes (new files, renames, removals) in the
// order they were made, as a journal keeps them. Files are followed as
// inodes, so a rename carries the bytes along. The power can fail at the Nth
// write: that write and everything after it is refused.
class PowerCutFileSystem final : public db::FileSystem {
public:
    int failWriteAt = -1; // counted from the start; -1 never
    int writes = 0;
    // Chooses what of the unsynced work survives a cut.
    std::mt19937 random{1};
    bool tearPages = false;

    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode mode) override;
    bool exists(const std::filesystem::path& p) override {
        return live_.count(p) || native().exists(p);
    }
    void remove(const std::filesystem::path& p) override {
        step();
        if (!live_.count(p) && native().exists(p))
            inode(p); // what the name held before, back at a cut
        if (auto it = live_.find(p); it != live_.end()) {
            names_.push_back({p, {}, it->second});
            live_.erase(it);
        }
        native().remove(p);
    }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        step();
        if (!live_.count(b) && native().exists(b))
            inode(b); // what the name held before, back at a cut
        const std::size_t id = inode(a);
        names_.push_back({a, b, id});
        live_[b] = id;
        live_.erase(a);
        native().rename(a, b);
    }
    void syncDirectory(const std::filesystem::path& dir) override;

    // Call with every File closed.
    void cut();

    // A write: refused once the power has failed.
    void step(bool counts = true) {
        if (dead_ || (counts && ++writes == failWriteAt)) {
            dead_ = true;
            throw db::DatabaseError("Injected power failure", db::DatabaseError::Kind::Io);
        }
    }
    // What the files report.
    void wrote(std::size_t id, std::uint64_t offset, const void* data, std::size_t n);
    void truncated(std::size_t id, std::uint64_t size);
    // A write made durable with the file's size, its other writes left as they are.
    void wroteDurably(std::size_t id, std::uint64_t offset, const void* data, std::size_t n);
    void synced(std::size_t id);

private:
    // An unsynced write, or a truncation to `offset` when `cut`.
    struct Change {
        bool cut = false;
        std::uint64_t offset = 0;
        std::string bytes;
    };
    // An unsynced name change: made (no `from`), renamed, or removed (no `to`).
    struct NameChange {
        std::filesystem::path from, to;
        std::size_t id = 0;
        std::filesystem::path folder() const { return (to.empty() ? from : to).parent_path(); }
    };

    static std::string readBytes(const std::filesystem::path& p);
    static void writeBytes(const std::filesystem::path& p, const std::string& bytes);
    // The inode behind a name, adopting a file that was there before us.
    std::size_t inode(const std::filesystem::path& p) {
        if (auto it = live_.find(p); it != live_.end())
            return it->second;
        synced_.push_back(readBytes(p));
        live_[p] = durable_[p] = synced_.size() - 1;
        return synced_.size() - 1;
    }
    // The bytes of an inode after a cut.
    std::string survivor(std::size_t id, double keep);
    static db::FileSystem& native() { return db::FileSystem::native(); }

    std::vector<std::string> synced_;                    // by inode
    std::map<std::size_t, std::vector<Change>> pending_; // by inode, in order
    std::vector<NameChange> names_;                      // in order
    std::map<std::filesystem::path, std::size_t> live_, durable_;
    bool dead_ = false;
};

} // namespace shelvix::test
