#pragma once

// A dBASE III/IV table (.DBF) with its production index (.MDX): records,
// fields, tags, a filtered cursor in record or tag order, and row access for
// a grid. All failures throw DatabaseError. Not thread-safe: one thread uses
// a Table; other processes and other Table objects may use the same file.

#include "core/codec.h"
#include "db/engine/error.h"
#include "db/engine/expr.h"
#include "db/engine/file.h"
#include "db/engine/keys.h"
#include "db/engine/mdx.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::db {

// A column for Table::create. The factories give the types the program uses.
struct FieldDef {
    std::string name; // 1-10 letters, digits, _; stored in capitals
    char type = 'C';  // C N F D L
    int length = 0;
    int decimals = 0;

    static FieldDef text(std::string name, int width) { return {std::move(name), 'C', width, 0}; }
    static FieldDef integer(std::string name) { return {std::move(name), 'N', 11, 0}; }
    static FieldDef floating(std::string name) { return {std::move(name), 'N', 20, 4}; }
    static FieldDef date(std::string name) { return {std::move(name), 'D', 8, 0}; }
    static FieldDef logical(std::string name) { return {std::move(name), 'L', 1, 0}; }
};

enum class OpenMode {
    Shared,    // others may read and write at the same time
    Exclusive, // fails with Kind::InUse unless no one else has the file open
    ReadOnly,  // shared, never writes
};

// The 8-bit code page the language driver byte names. The layer above decodes.
using CodePage = core::CodePage;

// One record as the filter and scans see it. Valid only during the callback.
class RecordView {
public:
    RecordView(const std::uint8_t* record, const RecordLayout* layout, std::uint32_t recno)
        : record_(record), layout_(layout), recno_(recno) {}

    std::uint32_t recno() const { return recno_; }
    bool deleted() const { return record_[0] == '*'; }
    // Field index without regard to case; throws DatabaseError for an unknown name.
    int fieldIndex(std::string_view name) const;
    // The field's bytes as stored (fast: no copy).
    std::string_view raw(int field) const;
    // Trailing blanks removed (leading ones too for non-text fields).
    std::string_view text(int field) const;
    std::optional<double> number(int field) const; // empty when blank or not a number
    std::optional<Date> date(int field) const;     // empty when blank or not a valid date
    bool isEmpty(int field) const;
    std::string_view raw(std::string_view name) const { return raw(fieldIndex(name)); }
    std::string_view text(std::string_view name) const { return text(fieldIndex(name)); }
    std::optional<double> number(std::string_view name) const { return number(fieldIndex(name)); }
    std::optional<Date> date(std::string_view name) const { return date(fieldIndex(name)); }

private:
    const std::uint8_t* record_;
    const RecordLayout* layout_;
    std::uint32_t recno_;
};

// Passes (true) or hides (false) a record from moves, counts and rows.
using RecordFilter = std::function<bool(const RecordView&)>;

// A run of a tag's keys: from `low` to `high`, both included, each bound
// compared over its own length (a prefix of the key); an empty bound is
// open.
struct KeyRange {
    int tag = -1;
    std::vector<std::uint8_t> low, high;
};
// Progress of pack and regenerate: work done so far out of total.
using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// What a grid model listens to. Nothing is reported while controls are disabled.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    // Rows changed: contents, count, order or the filter. Re-read everything.
    virtual void tableDataChanged() {}
    // The current record moved.
    virtual void tableCurrentChanged() {}
    // Tags came or went, or pack renumbered the records: bookmarks, rows and
    // the sort order kept by the listener are void.
    virtual void tableStructureChanged() {}
};

// A tag to build when nothing of an index can be read (the sort tag a
// catalogue's settings describe).
struct TagDefinition {
    std::string name;
    std::string expression;
};

// What Table::recoverIndex() did. Nothing when the index was sound.
struct IndexRecovery {
    std::string damage;                    // why it could not be read
    std::vector<std::string> rebuilt;      // tags built again from their own definitions
    std::vector<std::string> fromFallback; // tags built from the definitions handed in
    std::vector<std::string> lost;         // tags not built; "" where the name is gone too
};

class Table {
public:
    // A record position that survives moves. Record number based; 0 = none.
    struct Bookmark {
        std::uint32_t recno = 0;
        friend bool operator==(const Bookmark&, const Bookmark&) = default;
    };
    enum class State { Browse, Edit, Insert };

    // Creates (or replaces) an empty table: version 3, language driver 0x57,
    // no index. Throws InvalidValue for bad field definitions, InUse when the
    // table to replace is open somewhere.
    static void create(const std::filesystem::path& path, const std::vector<FieldDef>& fields,
                       FileSystem& fs = FileSystem::native());
    // Opens the table and its production index. An index left half-written by
    // a killed writer is rebuilt when no one else has the table open, else
    // the table refuses writes until it is rebuilt (needsRebuild()).
    static std::unique_ptr<Table> open(const std::filesystem::path& path, OpenMode mode,
                                       FileSystem& fs = FileSystem::native());
    // Opens a table brought from elsewhere that is only read from: read-only,
    // without its production index (a table copied alone keeps the flag of an
    // index it no longer has), and with the complete records that lie past
    // the header's count read as records, as check() counts them. The count
    // is the one found at open.
    static std::unique_ptr<Table> openSource(const std::filesystem::path& path,
                                             FileSystem& fs = FileSystem::native());
    // Holds the file at `path` as an exclusive open holds it, without
    // reading it (a damaged table, or one that is no table, is held too), for
    // work that replaces the file whole: no one opens it until the hold is
    // dropped. Throws InUse when another user has it open.
    static std::unique_ptr<File> hold(const std::filesystem::path& path,
                                      FileSystem& fs = FileSystem::native());
    // Takes the locks of an exclusive open on `file`, a new table about to be
    // renamed into another's place, so that it is held from the moment it is
    // there. False when someone else holds it.
    static bool holdNew(File& file);
    // Opens, exclusively, the table that `held` (from holdNew, after the
    // rename) holds at `path`: no one comes between the work and the open.
    static std::unique_ptr<Table> openHeld(std::unique_ptr<File> held,
                                           const std::filesystem::path& path,
                                           FileSystem& fs = FileSystem::native());
    // Opens the table alone, for work that reads only its records and leaves
    // its index be (a backup copies the table without it): the production
    // index is not read, not even when it is damaged, and nothing is
    // repaired. Nothing can be written through it while the header names an
    // index.
    static std::unique_ptr<Table> openTableOnly(const std::filesystem::path& path, OpenMode mode,
                                                FileSystem& fs = FileSystem::native());
    // Builds a production index that cannot be read (its header damaged,
    // the file cut short or missing) again from the table: every tag whose
    // definition still reads and whose expression this engine evaluates;
    // when there is none, the `fallback` tags instead; with nothing to build,
    // the index goes and the header stops naming it. The records are not
    // touched. An index that reads is left to the open (an empty result).
    // Needs sole use: InUse when another user has the table open.
    static IndexRecovery recoverIndex(const std::filesystem::path& path,
                                      const std::vector<TagDefinition>& fallback,
                                      FileSystem& fs = FileSystem::native());
    // Clears the "production index exists" header byte of a table whose .MDX
    // is missing; silently does nothing when the file cannot be opened, is in
    // use, or does not read as a dBASE table.
    static void removeMdxByte(const std::filesystem::path& path);

    ~Table(); // cancels a pending edit or insert
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Structure.
    const std::filesystem::path& path() const;
    OpenMode mode() const;
    int fieldCount() const;
    const FieldLayout& field(int index) const; // name, type, length, decimals
    const RecordLayout& layout() const;
    int fieldIndex(std::string_view name) const; // throws NotFound naming it
    std::uint8_t languageDriver() const;
    CodePage codePage() const;
    // The header's version byte: 0x03, or 0x83 / 0x8B with a dBASE III / IV memo file.
    std::uint8_t version() const;
    // The complete records openSource() found past the header's count.
    std::uint32_t recordsPastCount() const;

    // Tags of the production index. Adding, deleting and regenerating need
    // sole use (exclusive mode, or shared with no other user).
    std::vector<TagInfo> tags() const;
    void addTag(std::string_view name, std::string_view expression);
    void deleteTag(std::string_view name);
    void selectTag(std::string_view name); // "" = record order; goes to the first record
    std::string selectedTag() const;
    void regenerateIndexes(const Progress& progress = {});
    // Removes deleted records and rebuilds the tags; crash-safe (the old or
    // the new table, never a mix).
    void pack(const Progress& progress = {});
    // Why writes are refused (an index that needs rebuilding, a tag this
    // engine cannot evaluate), or empty.
    std::string writeBlockedReason() const;
    bool needsRebuild() const;
    // What the open put right: records past the header's count taken back,
    // an end mark, an index a writer left half-updated. One line each, for
    // the user.
    const std::vector<std::string>& repairsAtOpen() const;

    // Cursor. Moves skip records the filter rejects and, unless showDeleted,
    // deleted records. Delphi-style ends: first() sets bof, next() past the
    // last sets eof and stays; with nothing to show both are set. A large
    // table is counted on two threads at once: a filter only reads.
    void setFilter(RecordFilter filter); // takes effect at the next move
    // A filter that passes no record outside the ranges: counts, rows and
    // scans in record order then read the records the ranges hold rather
    // than the table.
    void setFilter(RecordFilter filter, std::vector<KeyRange> within);
    // The keys of a tag led by `field` that every record holds whose value
    // lies from `low` to `high` (both included; empty is open), the field
    // read as keys read it: a blank or unreadable number as 0. Nothing when
    // no tag serves (or the index cannot be trusted now).
    std::optional<std::vector<KeyRange>> rangeOfNumbers(int field, std::optional<double> low,
                                                        std::optional<double> high) const;
    // The same for a date field; `blanks` adds the records whose date is
    // blank or impossible.
    std::optional<std::vector<KeyRange>> rangeOfDates(int field, std::optional<Date> low,
                                                      std::optional<Date> high, bool blanks) const;
    // A tag whose keys begin with all of a text field's characters, as
    // stored or in capitals (`upper`): the field alone, or under UPPER() and
    // a LEFT() as wide as the field, first in a chain of '+' or alone.
    // Nothing when no tag serves (or the index cannot be trusted now).
    struct TextTag {
        int tag = -1;
        bool upper = false;
    };
    std::optional<TextTag> textTag(int field) const;
    // Walks `tag` in key order from the first key at or after `prefix`
    // (compared over its length) until `visit` returns true; the cursor
    // stays. Reads what other users changed first. False, having visited
    // nothing, when the index cannot answer now.
    bool walkKeys(int tag, std::string_view prefix,
                  const std::function<bool(std::string_view key, std::uint32_t recno)>& visit);
    // Every record in record order, deleted ones too, whatever the filter
    // and the order; the cursor stays.
    void scanRecords(const std::function<bool(const RecordView&)>& visit);
    void setShowDeleted(bool show);
    bool showDeleted() const;
    void first();
    void last();
    void next();
    void prior();
    bool bof() const;
    bool eof() const;
    std::uint32_t recno() const; // current record number, 0 when none
    bool goToRecord(std::uint32_t recno);
    // Re-reads what other users changed; reports dataChanged when needed.
    void refresh();
    // Re-reads the count and the index when other users changed them since
    // dataChanged was last reported, and then reports it: the cheap catch-up
    // of a window coming back to the front. True when it reported.
    bool catchUp();

    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark& mark); // false when it no longer passes

    // Nearest key in the selected tag (first key >= the value, a text is a
    // prefix); goes to it, or to the last record when every key is less.
    // Returns true when positioned on a record at or after the value.
    bool findNearest(std::string_view text);
    bool findNearest(double number);
    bool findNearest(const Date& date);
    bool findNearestKey(const std::vector<std::uint8_t>& encodedKey);

    // Reads the records that follow the current one in the current order
    // (filter applied) without moving; stops when `visit` returns true and
    // answers that record number, else 0.
    std::uint32_t scanAfterCurrent(const std::function<bool(const RecordView&)>& visit);
    // Every visible record in the current order.
    void scan(const std::function<bool(const RecordView&)>& visit);

    // Records the filter passes (deleted ones left out unless shown).
    std::uint32_t recordCount();
    // Grid access in the current order with the filter applied.
    std::uint32_t rowCount();
    std::uint32_t recordAtRow(std::uint32_t row);
    std::optional<std::uint32_t> currentRow();
    bool moveToRow(std::uint32_t row);
    // A record by number without moving (cached).
    RecordView record(std::uint32_t recno);

    // The current record's fields (the edit buffer while editing).
    std::string raw(std::string_view name) const;
    std::string text(std::string_view name) const;
    std::optional<double> number(std::string_view name) const;
    std::optional<Date> date(std::string_view name) const;
    bool isEmpty(std::string_view name) const;
    bool isDeleted() const;
    void setText(std::string_view name, std::string_view value);
    void setNumber(std::string_view name, std::optional<double> value);
    void setDate(std::string_view name, std::optional<Date> value);
    void clear(std::string_view name);

    // Editing. edit() locks the record for other users until post or cancel.
    State state() const;
    void edit();
    void insert(); // a blank record, appended at post
    void post();
    void cancel();
    void deleteRecord(); // marks it deleted; it stays until pack
    void recall();

    // Durability. A post, delete or recall is on disk when it returns: the
    // table and its index are synced, so a power cut cannot take it back.
    // Bulk work (generating, importing, replacing) defers that between
    // beginBulk() and the matching endBulk(), which syncs both files once;
    // until then a power cut may lose any of its changes, but never leaves
    // the index disagreeing with the table unnoticed. Adding a tag, pack and
    // regenerate sync once at their end.
    void beginBulk();
    void endBulk();
    // Syncs the index and takes off the mark durable changes keep on, and
    // syncs the record count durable appends leave behind, so a power cut
    // while nothing changes costs no rebuild and no repair. Cheap when there
    // is none; outside bulk work and edits only.
    void settle();
    // beginBulk() for the time it lives. finish() ends it and reports a
    // failed sync; the destructor ends it quietly (work that threw).
    class Bulk {
    public:
        explicit Bulk(Table& table);
        ~Bulk();
        Bulk(const Bulk&) = delete;
        Bulk& operator=(const Bulk&) = delete;
        void finish();

    private:
        Table* table_;
    };

    void addObserver(TableObserver* observer);
    void removeObserver(TableObserver* observer);
    void disableControls();
    void enableControls(); // one dataChanged when the last disable ends
    bool controlsDisabled() const;

    // Verifies the table and every tag without changing anything. Returns
    // the damage, what makes a reader go wrong (keys out of order, a key no
    // ordering could give for its record, pointers out of range, wrong
    // counts): an empty list when sound. Differences of convention between
    // writers, which do no harm, go to `notes`. `indexDamaged` tells whether
    // any of the damage lies in the index alone, which a rebuild mends.
    std::vector<std::string> check(std::vector<std::string>* notes = nullptr,
                                   bool* indexDamaged = nullptr);

private:
    struct Impl;
    explicit Table(std::unique_ptr<Impl> impl);
    static std::unique_ptr<Table> openFile(const std::filesystem::path& path, OpenMode mode,
                                           FileSystem& fs, bool source, bool tableOnly = false,
                                           std::unique_ptr<File> held = nullptr);
    std::unique_ptr<Impl> d;
};

} // namespace shelvix::db
