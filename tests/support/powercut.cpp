#include "support/powercut.h"

#include "support/tempdir.h"

#include <algorithm>

namespace shelvix::test {

namespace {

constexpr std::uint64_t kPage = 4096;

class PowerCutFile final : public ForwardingFile {
public:
    PowerCutFile(std::unique_ptr<db::File> inner, PowerCutFileSystem& fs, std::size_t id)
        : ForwardingFile(std::move(inner)), fs_(fs), id_(id) {}
    void writeAt(std::uint64_t o, const void* data, std::size_t n) override {
        fs_.step();
        in_->writeAt(o, data, n);
        fs_.wrote(id_, o, data, n);
    }
    void truncate(std::uint64_t size) override {
        fs_.step();
        in_->truncate(size);
        fs_.truncated(id_, size);
    }
    void writeDurably(std::uint64_t o, const void* data, std::size_t n) override {
        fs_.step();
        in_->writeAt(o, data, n);
        fs_.wroteDurably(id_, o, data, n);
    }
    // What survives is the simulation's to say: the real disk is not asked.
    void sync() override {
        fs_.step(false);
        fs_.synced(id_);
    }

private:
    PowerCutFileSystem& fs_;
    std::size_t id_;
};

void apply(std::string& bytes, std::uint64_t offset, const std::string& data, bool cut) {
    if (cut) {
        bytes.resize(std::size_t(offset));
        return;
    }
    if (bytes.size() < offset + data.size())
        bytes.resize(std::size_t(offset + data.size()), '\0');
    std::copy(data.begin(), data.end(), bytes.begin() + std::ptrdiff_t(offset));
}

} // namespace

std::string PowerCutFileSystem::readBytes(const std::filesystem::path& p) {
    return readFile(p);
}

void PowerCutFileSystem::writeBytes(const std::filesystem::path& p, const std::string& bytes) {
    writeFile(p, bytes);
}

std::unique_ptr<db::File> PowerCutFileSystem::open(const std::filesystem::path& p,
                                                   db::FileMode mode) {
    std::size_t id = 0;
    if (mode == db::FileMode::CreateNew) {
        step(false);
        auto file = native().open(p, mode); // refused when the name is taken
        synced_.emplace_back();
        id = live_[p] = synced_.size() - 1;
        names_.push_back({{}, p, id});
        return std::make_unique<PowerCutFile>(std::move(file), *this, id);
    }
    if (mode == db::FileMode::Create && !live_.count(p) && !native().exists(p)) {
        step(false);
        synced_.emplace_back();
        id = live_[p] = synced_.size() - 1;
        names_.push_back({{}, p, id});
    } else {
        if (mode == db::FileMode::Create)
            step();
        id = inode(p);
        if (mode == db::FileMode::Create)
            truncated(id, 0);
    }
    return std::make_unique<PowerCutFile>(native().open(p, mode), *this, id);
}

void PowerCutFileSystem::syncDirectory(const std::filesystem::path& dir) {
    step(false);
    for (auto it = durable_.begin(); it != durable_.end();)
        it = it->first.parent_path() == dir && !live_.count(it->first) ? durable_.erase(it)
                                                                       : std::next(it);
    for (const auto& [p, id] : live_)
        if (p.parent_path() == dir)
            durable_[p] = id;
    std::erase_if(names_, [&](const NameChange& c) { return c.folder() == dir; });
}

void PowerCutFileSystem::wrote(std::size_t id, std::uint64_t offset, const void* data,
                               std::size_t n) {
    const auto* bytes = static_cast<const char*>(data);
    auto& changes = pending_[id];
    if (!tearPages) {
        changes.push_back({false, offset, std::string(bytes, n)});
        return;
    }
    for (std::uint64_t at = offset; at < offset + n;) {
        const std::uint64_t end = std::min(offset + n, (at / kPage + 1) * kPage);
        changes.push_back({false, at, std::string(bytes + (at - offset), std::size_t(end - at))});
        at = end;
    }
}

void PowerCutFileSystem::wroteDurably(std::size_t id, std::uint64_t offset, const void* data,
                                      std::size_t n) {
    // Those bytes and the size are on the disk; the file's other unsynced
    // writes still may or may not be. Earlier ones inside the range are
    // overwritten by it, so none can come back over it at a cut.
    std::erase_if(pending_[id], [&](const Change& c) {
        return !c.cut && c.offset >= offset && c.offset + c.bytes.size() <= offset + n;
    });
    apply(synced_[id], offset, std::string(static_cast<const char*>(data), n), false);
}

void PowerCutFileSystem::truncated(std::size_t id, std::uint64_t size) {
    pending_[id].push_back({true, size, {}});
}

void PowerCutFileSystem::synced(std::size_t id) {
    auto it = pending_.find(id);
    if (it == pending_.end())
        return;
    for (const Change& c : it->second)
        apply(synced_[id], c.offset, c.bytes, c.cut);
    pending_.erase(it);
}

std::string PowerCutFileSystem::survivor(std::size_t id, double keep) {
    std::string bytes = synced_[id];
    auto it = pending_.find(id);
    if (it == pending_.end())
        return bytes;
    std::vector<const Change*> kept;
    std::bernoulli_distribution coin(keep);
    for (const Change& c : it->second)
        if (coin(random))
            kept.push_back(&c);
    std::shuffle(kept.begin(), kept.end(), random);
    for (const Change* c : kept)
        apply(bytes, c->offset, c->bytes, c->cut);
    return bytes;
}

void PowerCutFileSystem::cut() {
    // Each folder keeps a random number of its unsynced name changes, the
    // earliest first.
    std::map<std::filesystem::path, std::size_t> made, kept;
    for (const NameChange& c : names_)
        ++made[c.folder()];
    for (const auto& [folder, n] : made)
        kept[folder] = std::uniform_int_distribution<std::size_t>(0, n)(random);
    std::map<std::filesystem::path, std::size_t> names = durable_;
    for (const NameChange& c : names_) {
        std::size_t& left = kept[c.folder()];
        if (left == 0)
            continue;
        --left;
        if (!c.from.empty())
            names.erase(c.from);
        if (!c.to.empty())
            names[c.to] = c.id;
    }
    // How much of the unsynced writing reaches the disk this time.
    const double keep = std::uniform_real_distribution<double>(0, 1)(random);
    std::map<std::size_t, std::string> bytes;
    std::set<std::filesystem::path> paths;
    for (const auto* m : {&live_, &durable_, &names})
        for (const auto& [p, id] : *m)
            paths.insert(p);
    for (const auto& p : paths) {
        auto it = names.find(p);
        if (it == names.end()) {
            std::filesystem::remove(p);
            continue;
        }
        if (!bytes.count(it->second))
            bytes[it->second] = survivor(it->second, keep);
        writeBytes(p, bytes[it->second]);
    }
}

} // namespace shelvix::test
