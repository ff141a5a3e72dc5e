// The ISBN commands: the records whose ISBN is no ISBN, with their
// cleaning, and the books a catalogue holds twice.
#include "db/isbn.h"

#include "cli/commands.h"
#include "core/codec.h"
#include "db/duplicates.h"
#include "db/engine/table.h"

#include <ostream>
#include <utility>
#include <vector>

namespace shelvix::cli {

namespace {

namespace isbn = db::isbn;

const char* problemText(isbn::Status status) {
    return status == isbn::Status::Malformed ? "malformed" : "check digit does not match";
}

} // namespace

int runIsbn(const Invocation& a, std::ostream& out, std::ostream& err) {
    const bool fix = a.has("--fix");
    const std::string form = a.value("--form", "13");
    if (form != "10" && form != "13")
        throw UsageError{"--form takes 10 or 13, not " + form};
    if (a.has("--form") && !fix)
        throw UsageError{"--form goes with --fix"};

    auto table = fix ? openToWrite(a.arguments[0], err) : openToRead(a.arguments[0], err);
    const int field = table->fieldIndex("ISBN");
    const core::CodePage cp = table->codePage();
    std::uint64_t checked = 0, malformed = 0, wrong = 0;
    std::vector<std::pair<std::uint32_t, std::string>> changes;
    out << "Recno,ISBN,Problem\n";
    table->scanRecords([&](const db::RecordView& r) {
        if (r.deleted())
            return false;
        const std::string_view text = r.text(field);
        const isbn::Status status = isbn::check(text);
        if (status == isbn::Status::Empty)
            return false;
        ++checked;
        if (status != isbn::Status::Valid) {
            ++(status == isbn::Status::Malformed ? malformed : wrong);
            out << r.recno() << ',' << csvField(core::decode(text, cp)) << ','
                << problemText(status) << '\n';
            return false;
        }
        // 979 ISBNs have no 10-character form and keep their 13 digits.
        std::string normal = form == "10" ? isbn::toIsbn10(text).value_or(std::string()) : "";
        if (normal.empty())
            normal = *isbn::toIsbn13(text);
        if (fix && normal != text)
            changes.emplace_back(r.recno(), std::move(normal));
        return false;
    });

    if (fix) {
        // Tags follow every post; the files are synced once, at the end.
        db::Table::Bulk bulk(*table);
        for (const auto& [recno, text] : changes) {
            if (!table->goToRecord(recno))
                continue;
            table->edit();
            try {
                table->setText("ISBN", text);
                table->post();
            } catch (...) {
                table->cancel();
                throw;
            }
        }
        bulk.finish();
    }
    err << "checked: " << checked << "\nmalformed: " << malformed
        << "\ncheck digit does not match: " << wrong << "\n";
    if (fix)
        err << "changed: " << changes.size() << "\n";
    return 0;
}

int runDuplicates(const Invocation& a, std::ostream& out, std::ostream& err) {
    const std::string by = a.value("--by", "isbn");
    if (by != "isbn" && by != "title-author")
        throw UsageError{"--by takes isbn or title-author, not " + by};
    auto table = openToRead(a.arguments[0], err);
    const auto groups = db::duplicateGroups(*table, by == "isbn" ? db::DuplicatesBy::Isbn
                                                                 : db::DuplicatesBy::TitleAuthor);
    const core::CodePage cp = table->codePage();
    const int isbnField = table->fieldIndex("ISBN");
    const int title = table->fieldIndex("TITLE");
    const int author = table->fieldIndex("AUTHOR");
    out << "Group,Recno,ISBN,Title,Author\n";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (const std::uint32_t recno : groups[g]) {
            const db::RecordView r = table->record(recno);
            out << (g + 1) << ',' << recno << ',' << csvField(core::decode(r.text(isbnField), cp))
                << ',' << csvField(core::decode(r.text(title), cp)) << ','
                << csvField(core::decode(r.text(author), cp)) << '\n';
        }
    }
    return 0;
}

} // namespace shelvix::cli
