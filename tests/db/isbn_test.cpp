// ISBNs against published examples of both lengths, with the wrappers and
// spellings users and spreadsheets give them.
#include "db/isbn.h"

#include <gtest/gtest.h>

using namespace shelvix::db::isbn;

TEST(Isbn, PublishedExamplesPassTheirCheckInEverySpelling) {
    for (const char* valid :
         {"0-306-40615-2", "0306406152", "0 306 40615 2", "0-8044-2957-X", "080442957x",
          "978-0-306-40615-7", "978-3-16-148410-0", "979-10-90636-07-1", "9780804429573",
          "=\"9780306406157\"", "[0306406152]", "  [0-8044-2957-X]  ", "-0306406152-"}) {
        EXPECT_EQ(check(valid), Status::Valid) << valid;
    }
    for (const char* wrong : {"0-306-40615-3", "0-8044-2957-0", "978-0-306-40615-8",
                              "979-10-90636-07-2", "=\"9780306406158\"", "[030640615X]"})
        EXPECT_EQ(check(wrong), Status::WrongCheckDigit) << wrong;
    for (const char* malformed :
         {"0-306-40615", "03064061521", "X306406152", "977-1234-5678-9", "978030640615X",
          "ISBN 0306406152", "n/a", "0306406152]", "=9780306406157"})
        EXPECT_EQ(check(malformed), Status::Malformed) << malformed;
    for (const char* empty : {"", "   ", " - ", "[]", "=\"\""})
        EXPECT_EQ(check(empty), Status::Empty) << empty;

    EXPECT_EQ(normalise(" =\"978-0-306-40615-7\" "), "9780306406157");
    EXPECT_EQ(normalise("[0 8044 2957 x]"), "080442957X");
}

TEST(Isbn, TenAndThirteenConvertAndMakeOneBook) {
    EXPECT_EQ(toIsbn13("0-306-40615-2"), "9780306406157");
    EXPECT_EQ(toIsbn13("0-8044-2957-X"), "9780804429573");
    EXPECT_EQ(toIsbn10("978-0-306-40615-7"), "0306406152");
    EXPECT_EQ(toIsbn10("9780804429573"), "080442957X");
    EXPECT_EQ(toIsbn10("[080442957x]"), "080442957X");
    // 979 has no 10-character form; nothing converts from a wrong ISBN.
    EXPECT_EQ(toIsbn10("979-10-90636-07-1"), std::nullopt);
    EXPECT_EQ(toIsbn13("0-306-40615-3"), std::nullopt);
    EXPECT_EQ(toIsbn10("978-0-306-40615-8"), std::nullopt);

    EXPECT_EQ(bookKey("0-306-40615-2"), bookKey("=\"9780306406157\""));
    EXPECT_EQ(bookKey("080442957x"), "9780804429573");
    // The same slip twice is the same book; a slip is not the right one.
    EXPECT_EQ(bookKey("0-306-40615-3"), "0306406153");
    EXPECT_NE(bookKey("0-306-40615-3"), bookKey("0306406152"));
    EXPECT_EQ(bookKey("n/a"), std::nullopt);
    EXPECT_EQ(bookKey(""), std::nullopt);

    // The number passes compare by says the same as the key.
    const char* texts[] = {"0-306-40615-2", "9780306406157", "0306406153",  "9780306406153",
                           "080442957X",    "9780804429573", "030640615X",  "979-10-90636-07-1",
                           "9791090636071", "n/a",           "0-306-40615", ""};
    for (const char* a : texts)
        for (const char* b : texts)
            EXPECT_EQ(bookKey(a) == bookKey(b), bookNumber(a) == bookNumber(b)) << a << " " << b;
}
