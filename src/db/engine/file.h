#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace shelvix::db {

// Every byte the engine reads or writes goes through File, so that tests can
// inject short reads, failed writes and crashes. Offsets are absolute.
// All failures throw DatabaseError (Kind::Io).
class File {
public:
    virtual ~File() = default;

    // Reads up to n bytes; returns the count read (less only at end of file).
    virtual std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
    virtual void writeAt(std::uint64_t offset, const void* data, std::size_t n) = 0;
    virtual std::uint64_t size() = 0;
    virtual void truncate(std::uint64_t size) = 0;
    virtual void sync() = 0;
    // Writes [offset, offset + n) and makes those bytes, and the file's size,
    // durable; the file's other unsynced writes may stay unsynced.
    virtual void writeDurably(std::uint64_t offset, const void* data, std::size_t n) {
        writeAt(offset, data, n);
        sync();
    }
    // Sets the permission bits exactly (no umask).
    virtual void setPermissions(unsigned mode) = 0;

    // Whole-file lock held for as long as the table is open: shared for a
    // shared open, exclusive for an exclusive one. Never waits; false when
    // another holder prevents it. Another File object on the same path counts
    // as another holder, even in the same process.
    enum class OpenLock { Shared, Exclusive };
    virtual bool tryLockFile(OpenLock kind) = 0;

    // Byte-range write lock used to serialise writers (the header lock while
    // appending or updating an index). Waits until granted.
    virtual void lockRange(std::uint64_t offset, std::uint64_t length) = 0;
    // The read lock of the same range: readers share it, a writer waits for
    // them and they for the writer. Waits until granted.
    virtual void lockRangeShared(std::uint64_t offset, std::uint64_t length) {
        lockRange(offset, length);
    }
    virtual void unlockRange(std::uint64_t offset, std::uint64_t length) = 0;
    // Like lockRange but never waits: false when another holder has it. A
    // shared (read) lock lets others share it; asking for the other kind on a
    // range this File already holds converts it atomically, and a refused
    // conversion keeps the lock held before.
    virtual bool tryLockRange(std::uint64_t offset, std::uint64_t length, bool exclusive = true) {
        if (exclusive)
            lockRange(offset, length);
        return true;
    }

    // Whether another holder has any lock on the range. Asks only, so a file
    // open for reading can ask about write locks too.
    virtual bool lockedByOthers(std::uint64_t /*offset*/, std::uint64_t /*length*/) {
        return false;
    }

    // Whether `path` still names this file: another user may have renamed
    // a new file into its place since it was opened.
    virtual bool isAt(const std::filesystem::path&) { return true; }

    // Reads exactly n bytes or throws a Corrupt error naming `what`.
    void readExact(std::uint64_t offset, void* buffer, std::size_t n, const char* what);

    // A read-only view of the bytes [offset, offset + length) that follows
    // the file as it changes. Reading a byte past the end of the file is
    // fatal (SIGBUS), so a reader keeps within what a count read under the
    // header lock names: no writer of ours shrinks a table in place.
    class Mapping {
    public:
        virtual ~Mapping() = default;
        const std::uint8_t* data = nullptr; // the byte at `offset`
        std::uint64_t length = 0;
    };
    // `populate` reads the pages in now (a window about to be scanned);
    // otherwise they come as touched, and the view may reach past the end of
    // the file to leave room for growth. Null where the file cannot be
    // mapped: the caller reads instead.
    virtual std::unique_ptr<Mapping> map(std::uint64_t, std::uint64_t, bool /*populate*/) {
        return nullptr;
    }
    // Tells the system that [offset, offset + length) will be read soon, in
    // order, so it can read ahead.
    virtual void adviseWillRead(std::uint64_t, std::uint64_t) {}
    // Bytes read for the last time: their cached pages may go.
    virtual void adviseDone(std::uint64_t, std::uint64_t) {}
    // Starts writing [offset, offset + length) to the disk without waiting,
    // so that a sync later has little left to wait for.
    virtual void startWriteBack(std::uint64_t, std::uint64_t) {}
};

enum class FileMode {
    ReadOnly,
    ReadWrite,
    Create, // read-write, truncated or created
    // Read-write, a file that did not exist: a name already taken, even by a
    // link, fails with Kind::Exists. Private (0600) until setPermissions().
    CreateNew,
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<File> open(const std::filesystem::path& path, FileMode mode) = 0;
    virtual bool exists(const std::filesystem::path& path) = 0;
    virtual void remove(const std::filesystem::path& path) = 0;
    // Atomic replacement of `to` by `from` (rename(2)).
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Makes the directory's entries durable (after a create or a rename).
    virtual void syncDirectory(const std::filesystem::path& dir) = 0;

    // The process-wide POSIX file system.
    static FileSystem& native();
};

// Finds a companion file (the .MDX of a table, say) without regard to the case
// of its extension: BOOKS.MDX, BOOKS.mdx, BOOKS.Mdx. Returns the preferred
// spelling `dir/stem + ext` when none exists.
std::filesystem::path findCompanion(const std::filesystem::path& tablePath, const std::string& ext,
                                    bool* found = nullptr);
// `dir`/`name`, or the regular file of `dir` whose name differs from `name`
// only in the (ASCII) case of its extension; `dir`/`name` when there is none.
// The one rule for every companion: index, settings, lists.
std::filesystem::path findCompanionFile(const std::filesystem::path& dir, const std::string& name,
                                        bool* found = nullptr);

} // namespace shelvix::db
