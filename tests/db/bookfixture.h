#pragma once

#include "db/booktable.h"
#include "db/engine/table.h"
#include "support/tempdir.h"

#include <QString>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace shelvix::test {

using BookValues = std::vector<std::pair<const char*, std::string>>;

// A fresh book table in its own directory, opened shared.
struct BookTable {
    TempDir dir;
    std::filesystem::path path = dir / "BOOKS.DBF";
    std::unique_ptr<db::Table> table;

    BookTable() {
        db::createBookTable(path);
        reopen();
    }
    void reopen() {
        table.reset();
        table = db::Table::open(path, db::OpenMode::Shared);
    }
    // Appends a book (values as the engine takes them) and returns its number.
    std::uint32_t add(const BookValues& values) {
        table->insert();
        for (const auto& [field, value] : values)
            table->setText(field, value);
        table->post();
        return table->recno();
    }
    // Overwrites stored bytes, as another program might have left them.
    void patch(std::uint32_t recno, const char* fieldName, const std::string& bytes) {
        const auto& f = table->field(table->fieldIndex(fieldName));
        std::uint64_t headerLength = 32 + 32 * std::uint64_t(table->fieldCount()) + 1;
        std::uint64_t at = headerLength + (recno - 1) * table->layout().recordLength() + f.offset;
        table.reset();
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(at));
        file.write(bytes.data(), std::streamsize(bytes.size()));
        file.close();
        reopen();
    }
    void setLanguageDriver(std::uint8_t driver) {
        table.reset();
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(29);
        file.put(char(driver));
        file.close();
        reopen();
    }
};

} // namespace shelvix::test

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
