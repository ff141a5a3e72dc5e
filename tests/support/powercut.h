#pragma once
// A disk that loses power, for tests of what a crash leaves behind.

#include "db/engine/error.h"
#include "db/engine/file.h"
#include "support/forwardingfile.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace shelvix::test {

// A disk that loses power: cut() puts every file back to what it held at its
// last sync, and every name to what its folder held at its last sync, so
// whatever was not synced is gone. Files are followed as inodes, so a rename
// carries the synced bytes along but is itself undone unless the folder was
// synced. The power can fail at the Nth write: that write and everything
// after it is refused.
class PowerCutFileSystem final : public db::FileSystem {
public:
    int failWriteAt = -1; // counted from the start; -1 never
    int writes = 0;

    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode mode) override;
    bool exists(const std::filesystem::path& p) override {
        return live_.count(p) || native().exists(p);
    }
    void remove(const std::filesystem::path& p) override {
        step();
        live_.erase(p);
        native().remove(p);
    }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        step();
        if (!live_.count(b) && native().exists(b))
            inode(b); // what the name held before, back at a cut
        live_[b] = inode(a);
        live_.erase(a);
        native().rename(a, b);
    }
    void syncDirectory(const std::filesystem::path& dir) override {
        step(false);
        for (auto it = durable_.begin(); it != durable_.end();)
            it = it->first.parent_path() == dir && !live_.count(it->first) ? durable_.erase(it)
                                                                           : std::next(it);
        for (const auto& [p, id] : live_)
            if (p.parent_path() == dir)
                durable_[p] = id;
    }

    // Call with every File closed.
    void cut() {
        std::set<std::filesystem::path> paths;
        for (const auto& [p, id] : live_)
            paths.insert(p);
        for (const auto& [p, id] : durable_)
            paths.insert(p);
        for (const auto& p : paths) {
            if (durable_.count(p))
                writeBytes(p, synced_[durable_[p]]);
            else
                std::filesystem::remove(p);
        }
    }

    // A write: refused once the power has failed.
    void step(bool counts = true) {
        if (dead_ || (counts && ++writes == failWriteAt)) {
            dead_ = true;
            throw db::DatabaseError("Injected power failure", db::DatabaseError::Kind::Io);
        }
    }
    void synced(std::size_t id, db::File& f) {
        std::string bytes(f.size(), '\0');
        f.readAt(0, bytes.data(), bytes.size());
        synced_[id] = bytes;
    }

private:
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
    static db::FileSystem& native() { return db::FileSystem::native(); }

    std::vector<std::string> synced_; // by inode
    std::map<std::filesystem::path, std::size_t> live_, durable_;
    bool dead_ = false;
};

} // namespace shelvix::test
