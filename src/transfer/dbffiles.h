#pragma once

#include "transfer/convert.h"
#include "transfer/records.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace shelvix::db {
class DisplayFormats;
}

namespace shelvix::db {
class MemoFile;
class Table;
} // namespace shelvix::db

// dBASE tables of any structure as a source, and a new table typed by the
// book fields' kinds as a target, both through our engine.
namespace shelvix::transfer {

// Reads the live records of a table in record order, those past the
// header's count included. Text comes out in Windows-1252 whatever the
// table's code page, numbers in general notation, dates as dates (and as text
// in the transfer date style), memos as their text on one line.
class DbfReader : public RecordReader {
public:
    // Opens the table read-only without its index, and its memo file when it
    // has memo fields; throws DatabaseError when the table cannot be read. A
    // memo file that is missing or cannot be read leaves its memos unread.
    DbfReader(const std::filesystem::path& path, const db::DisplayFormats& formats);
    ~DbfReader() override;

    int fieldCount() const override { return int(names_.size()); }
    std::vector<std::string> fieldNames() const override; // cut to 20 characters
    void rewind() override { recno_ = 0; }
    bool next(SourceRecord& record) override;
    std::uint64_t progressDone() const override { return recno_; }
    std::uint64_t progressTotal() const override { return total_; }
    std::uint32_t recordsPastCount() const override;

private:
    void readMemo(std::string_view raw, SourceValue& value);

    std::unique_ptr<db::Table> table_;
    std::unique_ptr<db::MemoFile> memo_;
    DateStyle dates_;
    core::CodePage codePage_;
    std::vector<std::string> names_;
    std::vector<char> types_;
    std::uint32_t recno_ = 0;
    std::uint32_t total_ = 0;
};

// Creates the target anew: one column per exported field, in export order,
// named by the field's internal name; text keeps its width, whole numbers,
// money and dates take the engine's column types. No index.
class DbfWriter : public RecordWriter {
public:
    explicit DbfWriter(const std::filesystem::path& target);
    ~DbfWriter() override;

    void begin(db::Table& source, const std::vector<ExportColumn>& columns) override;
    void write(const db::RecordView& record) override;
    void commit() override;

private:
    TargetFile file_;
    std::unique_ptr<db::Table> table_;
    std::vector<ExportColumn> columns_;
    std::vector<std::string> names_;
    std::vector<char> sourceTypes_;
    std::vector<int> kinds_;
    core::CodePage codePage_ = core::CodePage::Windows1252;
};

} // namespace shelvix::transfer
