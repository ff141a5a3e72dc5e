#pragma once

#include "db/engine/file.h"

#include <memory>

namespace shelvix::test {

// A file that passes everything to another; fault-injecting files override
// what they intercept.
class ForwardingFile : public db::File {
public:
    explicit ForwardingFile(std::unique_ptr<db::File> inner) : in_(std::move(inner)) {}
    std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override {
        return in_->readAt(o, b, n);
    }
    void writeAt(std::uint64_t o, const void* data, std::size_t n) override {
        in_->writeAt(o, data, n);
    }
    std::uint64_t size() override { return in_->size(); }
    void truncate(std::uint64_t size) override { in_->truncate(size); }
    void sync() override { in_->sync(); }
    void setPermissions(unsigned mode) override { in_->setPermissions(mode); }
    bool tryLockFile(OpenLock kind) override { return in_->tryLockFile(kind); }
    void lockRange(std::uint64_t o, std::uint64_t l) override { in_->lockRange(o, l); }
    void unlockRange(std::uint64_t o, std::uint64_t l) override { in_->unlockRange(o, l); }
    void lockRangeShared(std::uint64_t o, std::uint64_t l) override { in_->lockRangeShared(o, l); }
    bool isAt(const std::filesystem::path& p) override { return in_->isAt(p); }
    bool lockedByOthers(std::uint64_t o, std::uint64_t l) override {
        return in_->lockedByOthers(o, l);
    }
    bool tryLockRange(std::uint64_t o, std::uint64_t l, bool exclusive) override {
        return in_->tryLockRange(o, l, exclusive);
    }

protected:
    std::unique_ptr<db::File> in_;
};

// The native file system, for test file systems that change only what their
// files do: names, removals and folder syncs pass straight through.
class NativeNamesFileSystem : public db::FileSystem {
public:
    bool exists(const std::filesystem::path& p) override { return native().exists(p); }
    void remove(const std::filesystem::path& p) override { native().remove(p); }
    void rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        native().rename(a, b);
    }
    void syncDirectory(const std::filesystem::path& d) override { native().syncDirectory(d); }

protected:
    static db::FileSystem& native() { return db::FileSystem::native(); }
};

} // namespace shelvix::test
