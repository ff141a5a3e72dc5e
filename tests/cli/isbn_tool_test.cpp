// shelvix-tool isbn, duplicates and import's ISBN counts, through the built
// tool.
#include "support/tempdir.h"
#include "support/tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using shelvix::test::TempDir;
using ::testing::HasSubstr;

namespace {

shelvix::test::ToolResult tool(const TempDir& dir, const std::string& args) {
    return shelvix::test::runTool(dir, args);
}

// BOOKS.DBF with the books of a text file of title, author and ISBN.
void catalogue(const TempDir& dir, const std::string& lines) {
    shelvix::test::writeFile(dir / "IN.TXT", lines);
    ASSERT_EQ(tool(dir, "create BOOKS.DBF --force").status, 0);
    ASSERT_EQ(tool(dir, "import BOOKS.DBF IN.TXT --map 1=Title,2=Author,3=ISBN").status, 0);
}

} // namespace

TEST(ToolIsbn, ListsWhatIsNoIsbnAndFixesTheRestInOneFormKeepingTags) {
    TempDir dir;
    catalogue(dir, "\"Dune\",\"Herbert\",\"0-306-40615-2\"\r\n"
                   "\"Slip\",\"Nobody\",\"0-306-40615-3\"\r\n"
                   "\"Late\",\"Nobody\",\"979-10-90636-07-1\"\r\n"
                   "\"Odd\",\"Nobody\",\"n/a\"\r\n"
                   "\"Blank\",\"Nobody\",\"\"\r\n"
                   "\"Done\",\"Nobody\",\"9780804429573\"\r\n");
    ASSERT_EQ(tool(dir, "index BOOKS.DBF --tag BYISBN --expr ISBN").status, 0);

    auto r = tool(dir, "isbn BOOKS.DBF");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Recno,ISBN,Problem\n2,0-306-40615-3,check digit does not match\n"
                     "4,n/a,malformed\n");
    EXPECT_EQ(r.err, "checked: 5\nmalformed: 1\ncheck digit does not match: 1\n");

    r = tool(dir, "isbn BOOKS.DBF --fix");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("changed: 2\n"));
    EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields ISBN").out,
              "Recno,Deleted,ISBN\n1,,9780306406157\n2,,0-306-40615-3\n3,,9791090636071\n"
              "4,,n/a\n5,,\n6,,9780804429573\n");
    r = tool(dir, "isbn BOOKS.DBF --fix --form 10");
    EXPECT_THAT(r.err, HasSubstr("changed: 2\n"));
    EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields ISBN").out,
              "Recno,Deleted,ISBN\n1,,0306406152\n2,,0-306-40615-3\n3,,9791090636071\n"
              "4,,n/a\n5,,\n6,,080442957X\n");
    // The tag followed every change.
    EXPECT_EQ(tool(dir, "check BOOKS.DBF").out, "ok\n");
    EXPECT_EQ(tool(dir, "dump BOOKS.DBF --tag BYISBN --fields ISBN").out,
              "Recno,Deleted,ISBN\n5,,\n2,,0-306-40615-3\n1,,0306406152\n6,,080442957X\n"
              "3,,9791090636071\n4,,n/a\n");

    EXPECT_EQ(tool(dir, "isbn BOOKS.DBF --form 10").status, 2);
    EXPECT_EQ(tool(dir, "isbn BOOKS.DBF --fix --form 12").status, 2);
}

TEST(ToolIsbn, DuplicatesAreListedInGroupsByIsbnOrByTitleAndAuthor) {
    TempDir dir;
    catalogue(dir, "\"Dune\",\"Herbert\",\"0-306-40615-2\"\r\n"
                   "\"Emma\",\"Austen\",\"\"\r\n"
                   "\"DUNE\",\"herbert\",\"=\"\"9780306406157\"\"\"\r\n"
                   "\"\xC3\x89 mma\",\"AUSTEN\",\"0-8044-2957-X\"\r\n"
                   "\"Emma\",\"Austen\",\"9780804429573\"\r\n");
    auto r = tool(dir, "duplicates BOOKS.DBF");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Group,Recno,ISBN,Title,Author\n1,1,0-306-40615-2,Dune,Herbert\n"
                     "1,3,\"=\"\"9780306406157\"\"\",DUNE,herbert\n"
                     "2,4,0-8044-2957-X,\xC3\x89 mma,AUSTEN\n2,5,9780804429573,Emma,Austen\n");
    // Title and author without case, blanks and accents.
    r = tool(dir, "duplicates BOOKS.DBF --by title-author");
    EXPECT_EQ(r.out, "Group,Recno,ISBN,Title,Author\n1,1,0-306-40615-2,Dune,Herbert\n"
                     "1,3,\"=\"\"9780306406157\"\"\",DUNE,herbert\n2,2,,Emma,Austen\n"
                     "2,4,0-8044-2957-X,\xC3\x89 mma,AUSTEN\n2,5,9780804429573,Emma,Austen\n");
    EXPECT_EQ(tool(dir, "duplicates BOOKS.DBF --by author").status, 2);
}

// Import counts ISBNs that fail their check and books already there, keeps
// them by default and leaves them out with --duplicates skip.
TEST(ToolIsbn, ImportCountsIsbnsAndKeepsOrSkipsDuplicates) {
    TempDir dir;
    catalogue(dir, "\"Dune\",\"Herbert\",\"0-306-40615-2\"\r\n");
    shelvix::test::writeFile(dir / "MORE.TXT", "\"Dune\",\"Herbert\",\"9780306406157\"\r\n"
                                               "\"Slip\",\"A\",\"0-306-40615-3\"\r\n"
                                               "\"Odd\",\"B\",\"n/a\"\r\n"
                                               "\"Kim\",\"C\",\"080442957X\"\r\n"
                                               "\"Kim\",\"C\",\"0-8044-2957-X\"\r\n");
    const std::string import = "import BOOKS.DBF MORE.TXT --map 1=Title,2=Author,3=ISBN";
    auto r = tool(dir, import);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 5 records\n");
    EXPECT_EQ(r.err, "1 ISBN(s) whose check digit does not match were stored as they stood.\n"
                     "1 ISBN(s) that are neither 10 nor 13 characters of an ISBN were stored as "
                     "they stood.\n"
                     "2 book(s) with an ISBN already in the catalogue were added all the same.\n");

    catalogue(dir, "\"Dune\",\"Herbert\",\"0-306-40615-2\"\r\n");
    r = tool(dir, import + " --duplicates skip");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported 3 records\n");
    EXPECT_THAT(r.err, HasSubstr("\n2 book(s) with an ISBN already in the catalogue were left "
                                 "out.\n"));
    EXPECT_EQ(tool(dir, "dump BOOKS.DBF --fields Title").out,
              "Recno,Deleted,TITLE\n1,,Dune\n2,,Slip\n3,,Odd\n4,,Kim\n");
    EXPECT_EQ(tool(dir, import + " --duplicates maybe").status, 2);
}
