// The same book twice, by ISBN, through a tag or a scan (the groups are the
// duplicates command's, tests/cli/isbn_tool_test.cpp).
#include "db/bookfixture.h"
#include "db/duplicates.h"
#include "db/isbn.h"
#include "support/forwardingfile.h"

#include <gtest/gtest.h>

using namespace shelvix;
using shelvix::test::BookTable;

namespace {

// Counts the bytes read from tables, so a test can tell a seek from a scan.
class CountingFileSystem final : public test::NativeNamesFileSystem {
public:
    std::uint64_t tableBytes = 0;

    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode mode) override {
        auto file = native().open(p, mode);
        if (p.extension() != ".DBF")
            return file;
        return std::make_unique<Counting>(std::move(file), tableBytes);
    }

private:
    // Never mapped: every byte comes through readAt.
    class Counting final : public test::ForwardingFile {
    public:
        Counting(std::unique_ptr<db::File> in, std::uint64_t& bytes)
            : ForwardingFile(std::move(in)), bytes_(bytes) {}
        std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override {
            const std::size_t got = ForwardingFile::readAt(o, b, n);
            bytes_ += got;
            return got;
        }

    private:
        std::uint64_t& bytes_;
    };
};

} // namespace

// Every spelling of one book is found, deleted books and slips are not the
// book, and a tag that begins with ISBN answers the same without reading the
// table through.
TEST(Duplicates, SameIsbnThroughATagOrAScan) {
    BookTable books;
    for (int i = 0; i < 3000; ++i)
        books.add({{"Title", "Filler " + std::to_string(i)},
                   {"ISBN", "978-" + std::to_string(1000000000 + i)}});
    const auto dune = books.add({{"Title", "Dune"}, {"ISBN", "0-306-40615-2"}});
    books.add({{"Title", "Dune again"}, {"ISBN", "978 0 306 40615 7"}});
    books.add({{"Title", "Gone"}, {"ISBN", "=\"0804429570\""}});
    books.table->deleteRecord();
    const auto wrapped = books.add({{"Title", "Wrapped"}, {"ISBN", "[080442957x]"}});
    const auto slip = books.add({{"Title", "Slip"}, {"ISBN", "0-306-40615-3"}});
    const auto isbn979 = books.add({{"Title", "Late"}, {"ISBN", "979-10-90636-07-1"}});

    const std::vector<std::pair<const char*, std::uint32_t>> cases = {
        {"9780306406157", dune},
        {"0306406152", dune},
        {"[0-306-40615-2]", dune},
        {"080442957X", wrapped},
        {"978-0-8044-2957-3", wrapped},
        {"0306406153", slip},
        {"9791090636071", isbn979},
        {"9780306406153", 0},
        {"n/a", 0},
        {"", 0},
        {"0-8044-2957-0", 0}};
    const auto answers = [&](const char* how) {
        for (const auto& [isbn, expected] : cases)
            EXPECT_EQ(db::findSameIsbn(*books.table, isbn), expected) << how << " " << isbn;
    };

    // What an import starts from: every book's key once, deleted books none.
    db::IsbnNumbers numbers = db::isbnNumbers(*books.table);
    EXPECT_EQ(numbers.size(), 3004u);
    EXPECT_FALSE(numbers.insert(*db::isbn::bookNumber("978-0-306-40615-7")));
    EXPECT_TRUE(numbers.insert(*db::isbn::bookNumber("=\"0804429570\"")));

    CountingFileSystem fs;
    books.table.reset();
    books.table = db::Table::open(books.path, db::OpenMode::Shared, fs);
    const std::uint64_t wholeTable = std::filesystem::file_size(books.path);
    fs.tableBytes = 0;
    answers("scan");
    EXPECT_GE(fs.tableBytes, wholeTable); // read through at least once

    for (const char* expression :
         {"ISBN", "Upper(Left(ISBN,20))", "Upper(Left(ISBN,20))+Upper(Left(Title,20))"}) {
        books.table->addTag("BYISBN", expression);
        books.table->selectTag("");
        fs.tableBytes = 0;
        answers(expression);
        EXPECT_LT(fs.tableBytes, 64u * books.table->layout().recordLength()) << expression;
        books.table->deleteTag("BYISBN");
    }
}
