#pragma once

#include "db/settings.h"
#include "transfer/importer.h"
#include "transfer/records.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How an import first lines up a source's fields with the book fields: by a
// preset for the exports book collectors bring, by the names its header line
// gives, or by place.
namespace shelvix::transfer {

// The book field (1 to 36) a header cell names, 0 for none: its internal
// name or its label (the database's own, when given, or the default), in any
// capitals, blanks ignored. A cell written as a spreadsheet writes a dBASE
// header ("TITLE,C,90", "PURCHDATE,D") names the field before its first
// comma. Cells are Windows-1252.
int fieldNamedBy(std::string_view cell, const db::PerField<QString>* labels = nullptr);

// The map a header line gives: each cell that names a field goes to it (the
// first of two cells naming one field wins), every other cell to none. Empty
// when no cell names a field.
FieldMap headerFieldMap(const std::vector<std::string>& headers,
                        const db::PerField<QString>* labels = nullptr);

// Grid rows showing a map: each mapped source field in its book field's row,
// marked Yes; the others in the free rows from the top, marked No. An empty
// map gives the rows by place (initialImportRows).
std::vector<ImportRow> importRowsForMap(const FieldMap& map, int sourceFields);

enum class Preset { None, Goodreads, LibraryThing };

// "goodreads" or "librarything", in any capitals.
std::optional<Preset> presetNamed(std::string_view name);
QString presetCaption(Preset preset);
// The preset whose columns a header line holds; None when it is no export
// we know.
Preset detectPreset(const std::vector<std::string>& headers);

// A source as a preset reads it: the source's own fields, the values of the
// columns the preset takes rewritten as the book fields want them (wrappers
// such as ="..." and [...] dropped, dates in the export's own form read,
// an empty column replaced by its fallback), and after them the fields the
// preset makes (Checked Out from a lending patron). Columns are found by
// name, never by place.
class PresetReader : public RecordReader {
public:
    PresetReader(RecordReader& source, Preset preset);

    Preset preset() const { return preset_; }
    // The preset's map over fieldNames(): each column it takes to its field.
    const FieldMap& fieldMap() const { return map_; }

    int fieldCount() const override { return int(names_.size()); }
    std::vector<std::string> fieldNames() const override { return names_; }
    std::vector<std::string> headerTexts() const override { return headers_; }
    void rewind() override { source_.rewind(); }
    bool next(SourceRecord& record) override;
    std::uint64_t progressDone() const override { return source_.progressDone(); }
    std::uint64_t progressTotal() const override { return source_.progressTotal(); }
    std::uint32_t recordsPastCount() const override { return source_.recordsPastCount(); }
    void deliverIn(core::CodePage codePage) override { source_.deliverIn(codePage); }
    core::CodePage valueCodePage() const override { return source_.valueCodePage(); }

    enum class Rule {
        Plain,     // as it stands
        Unwrapped, // ="..." loses its wrapper
        Bracketed, // [...] loses its brackets
        Publisher, // the text before the first comma or parenthesis
        Year,      // the first four-digit year
        IsoDate,   // a date written year first (2021/07/30, [2021-07-30])
        Flag,      // "Yes" when the column is not empty
    };

private:
    struct Take {
        int column = -1;   // the source column read
        int fallback = -1; // read when the column is empty
        int into = -1;     // the field written: the column itself, or one the preset adds
        Rule rule = Rule::Plain;
    };

    RecordReader& source_;
    Preset preset_;
    int sourceCount_ = 0;
    std::vector<std::string> names_;
    std::vector<std::string> headers_;
    std::vector<Take> takes_;
    FieldMap map_;
};

} // namespace shelvix::transfer
