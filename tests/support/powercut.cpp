#include "support/powercut.h"

#include "support/tempdir.h"

namespace shelvix::test {

namespace {

class PowerCutFile final : public ForwardingFile {
public:
    PowerCutFile(std::unique_ptr<db::File> inner, PowerCutFileSystem& fs, std::size_t id)
        : ForwardingFile(std::move(inner)), fs_(fs), id_(id) {}
    void writeAt(std::uint64_t o, const void* data, std::size_t n) override {
        fs_.step();
        in_->writeAt(o, data, n);
    }
    void truncate(std::uint64_t size) override {
        fs_.step();
        in_->truncate(size);
    }
    void sync() override {
        fs_.step(false);
        in_->sync();
        fs_.synced(id_, *in_);
    }

private:
    PowerCutFileSystem& fs_;
    std::size_t id_;
};

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
        return std::make_unique<PowerCutFile>(std::move(file), *this, id);
    }
    if (mode == db::FileMode::Create && !live_.count(p) && !native().exists(p)) {
        step(false);
        synced_.emplace_back();
        id = live_[p] = synced_.size() - 1;
    } else {
        if (mode == db::FileMode::Create)
            step();
        id = inode(p);
    }
    return std::make_unique<PowerCutFile>(native().open(p, mode), *this, id);
}

} // namespace shelvix::test
