#pragma once

#include "db/engine/file.h"
#include "db/engine/keys.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db {

struct TagInfo {
    std::string name;       // at most 10 characters
    std::string expression; // key expression text as stored
    KeyType type = KeyType::Character;
    int keyLength = 0;
    bool bareField = false; // key is one bare field (tag header byte 480)
    bool descending = false;
    bool unique = false; // only the first record of each key is kept
    // Filter ("FOR") expression of a tag another tool made; keys are kept
    // for every record regardless. Empty for ours.
    std::string forExpression;
};

// One entry of a tag: the encoded key and the record number (1-based).
struct KeyEntry {
    const std::uint8_t* key = nullptr;
    std::uint32_t recno = 0;
};

// What still reads of an index that does not open: the definitions of the
// tags whose entry, name, key type, key length and expressions read whole,
// and the others by name ("" where even the name is gone).
struct SalvagedTags {
    std::vector<TagInfo> tags;
    std::vector<std::string> lost;
};

// A dBASE IV production index. Writes 1024-byte blocks, reads any multiple of
// 512. Pointers are 512-byte page numbers. Knows nothing of the table: keys
// arrive already encoded.
class MdxFile {
public:
    virtual ~MdxFile() = default;

    // A new index with no tags. `tableName` without extension (header 4-19).
    static std::unique_ptr<MdxFile> create(FileSystem& fs, const std::filesystem::path& path,
                                           std::string_view tableName);
    // Validates the header and tag table; throws DatabaseError Corrupt or
    // Unsupported with a clear message.
    static std::unique_ptr<MdxFile> open(FileSystem& fs, const std::filesystem::path& path,
                                         bool writable);
    // Reads what it can of the tag definitions of a damaged or cut index,
    // for building it again. Never throws for what the file holds.
    static SalvagedTags salvage(FileSystem& fs, const std::filesystem::path& path);
    // Why an index that opens was cut short (its header names blocks past
    // the end of the file), or "" when it was not. Only for an index no
    // one is writing: a writer may be between growing it and its header.
    static std::string shortfall(FileSystem& fs, const std::filesystem::path& path);

    virtual const std::vector<TagInfo>& tags() const = 0;
    // Tag index without regard to case, or -1.
    virtual int findTag(std::string_view name) const = 0;

    // Creates the tag (replacing one of the same name) holding every entry the
    // source yields, in any order. `next` fills key (info.keyLength bytes)
    // and recno, and returns false at the end. Returns the tag's index (a
    // replaced tag keeps its index; dropTag moves the tags after it down).
    using KeySource = std::function<bool(std::uint8_t* key, std::uint32_t& recno)>;
    virtual int buildTag(const TagInfo& info, const KeySource& next) = 0;
    // The same from entries gathered already: key i (info.keyLength bytes
    // each) belongs to record recnos[i].
    virtual int buildTagFrom(const TagInfo& info, std::vector<std::uint8_t> keys,
                             std::vector<std::uint32_t> recnos) = 0;
    virtual void dropTag(std::string_view name) = 0;
    // Drops every tag and cuts the file back to its header: the way back from
    // interrupted() is clear() and buildTag for each of the tags() saved
    // before.
    virtual void clear() = 0;

    // Keeps a tag up to date. Equal keys are ordered by record number.
    virtual void insertKey(int tag, const std::uint8_t* key, std::uint32_t recno) = 0;
    // Removes the entry of `recno`. When the key given is not found with that
    // record number (another tool wrote it under other rules) the whole tag
    // is searched for the record number. Returns false when it is not there.
    virtual bool removeKey(int tag, const std::uint8_t* key, std::uint32_t recno) = 0;

    // Walks a tag in key order. After a change to the index (or a refresh that
    // found one) the cursor finds its place again by its current (key,
    // recno): next() goes to the first entry after it, prior() to the last
    // one before it, even when that entry itself was removed.
    class Cursor {
    public:
        virtual ~Cursor() = default;
        virtual bool first() = 0;
        virtual bool last() = 0;
        virtual bool next() = 0;
        virtual bool prior() = 0;
        // Positions on the first entry whose key is >= key (the first
        // `length` bytes compared for a C key prefix); false past the end.
        virtual bool seek(const std::uint8_t* key, std::size_t length) = 0;
        // Positions on the entry (key, recno) itself; false if absent (the
        // cursor then stands on the first entry after it, or past the end).
        virtual bool seekExact(const std::uint8_t* key, std::uint32_t recno) = 0;
        virtual KeyEntry current() const = 0;
    };
    virtual std::unique_ptr<Cursor> cursor(int tag) = 0;

    // Update bracket: beginUpdate marks the file as being changed on disk
    // (open it before writing the table); endUpdate writes every page of the
    // change and then clears the mark. A mark found at open or refresh means
    // a writer died half-way: interrupted() then answers true and the tags
    // must be rebuilt (see clear()). Brackets nest; a change made outside
    // one is bracketed on its own. A change that fails half-way also leaves
    // the index interrupted.
    virtual void beginUpdate() = 0;
    // Inside an update, puts the mark on disk now rather than before the
    // first page: for a caller that writes another file (the table's record)
    // before the keys, so that a crash in between is caught too.
    virtual void markNow() = 0;
    virtual void endUpdate() = 0;
    virtual bool interrupted() const = 0;
    // Asked whether a live writer keeps the mark on across its work: a mark
    // found on disk is then no sign of a writer that died, and an update
    // that ends meanwhile leaves it on.
    virtual void setLiveMark(std::function<bool()> probe) = 0;
    // Outside an update: takes a kept mark off the disk (not one left by a
    // failure of ours).
    virtual void clearMark() = 0;

    // Drops cached pages when another process changed the file since they
    // were read; true when it did. Called under the table's header lock
    // (either kind) and before reads.
    virtual bool refresh() = 0;

    // Writes every changed page and makes the file durable (fsync), without
    // touching the mark: inside an update the mark stays on disk until
    // endUpdate, so a power cut after sync() still shows the change as
    // unfinished.
    virtual void sync() = 0;

    // Structural check of one tag: order, counts, pointers inside the file,
    // no loops. Returns the damage found, empty when sound; what other
    // writers do differently without harm goes to `notes`.
    virtual std::vector<std::string> check(int tag, std::vector<std::string>* notes = nullptr) = 0;
};

} // namespace shelvix::db
