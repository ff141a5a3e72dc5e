#include "db/booktable.h"
#include "db/fieldtable.h"
#include "find/replace.h"
#include "support/tempdir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace shelvix;
using namespace shelvix::find;

namespace {

class ReplaceTest : public ::testing::Test {
protected:
    ReplaceTest() {
        formats.setDateFormat(7);
        path = dir / "BOOKS.DBF";
        db::createBookTable(path);
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        const std::vector<std::vector<std::pair<const char*, const char*>>> books = {
            {{"Title", "One"}, {"Author", "Smith"}, {"Cost", "10"}, {"PurchDate", "19970315"}},
            {{"Title", "Two"}, {"Author", "SMITH"}, {"Cost", "10.0001"}},
            {{"Title", "Three"}, {"Author", "Smithson"}, {"Cost", "10.00"}},
            {{"Title", "Four"}, {"Cost", "9"}, {"PurchDate", "19970315"}},
            {{"Title", "Five"}, {"Author", " smith"}},
        };
        for (const auto& b : books) {
            t->insert();
            for (const auto& [field, value] : b)
                t->setText(field, value);
            t->post();
        }
    }

    ReplaceCounters replace(int field, const char* search, const char* with,
                            const ReplaceHooks& hooks = {}) {
        const db::FieldInfo& f = db::fieldInfo(field);
        ReplaceValues v;
        const char type = f.kind == db::FieldKind::Text   ? 'C'
                          : f.kind == db::FieldKind::Date ? 'D'
                                                          : 'N';
        EXPECT_EQ(prepareReplace(type, f.width, QString::fromUtf8(search), QString::fromUtf8(with),
                                 formats, v),
                  ReplaceProblem::None);
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        return runReplacePass(*t, t->fieldIndex(f.name), v, hooks);
    }
    std::vector<std::string> column(const char* field) {
        auto t = db::Table::open(path, db::OpenMode::ReadOnly);
        std::vector<std::string> out;
        t->scan([&](const db::RecordView& r) {
            out.emplace_back(r.text(field));
            return false;
        });
        return out;
    }

    test::TempDir dir;
    std::filesystem::path path;
    db::DisplayFormats formats;
};

TEST_F(ReplaceTest, TypedValuesAreCheckedByTheFieldsType) {
    ReplaceValues v;
    const auto check = [&](char type, const char* s, const char* r) {
        return prepareReplace(type, 5, QString::fromLatin1(s), QString::fromLatin1(r), formats, v);
    };
    EXPECT_EQ(check('C', "", "x"), ReplaceProblem::None);
    EXPECT_EQ(check('C', "a", "toolong"), ReplaceProblem::BadReplacementText);
    EXPECT_EQ(check('N', "", "1"), ReplaceProblem::BadSearchNumber);
    EXPECT_EQ(check('N', "12,5", "1"), ReplaceProblem::BadSearchNumber);
    EXPECT_EQ(check('N', " 10 ", "x"), ReplaceProblem::BadReplacementNumber);
    EXPECT_EQ(check('N', "10", "12.5"), ReplaceProblem::None);
    EXPECT_EQ(v.searchNumber, 10.0);
    EXPECT_EQ(check('D', "  /  /    ", "03/15/1997"), ReplaceProblem::BadSearchDate);
    EXPECT_EQ(replaceProblemText(ReplaceProblem::BadSearchDate),
              QStringLiteral("Invalid search date entered.  Please correct."));
}

TEST_F(ReplaceTest, WholeValuesMatchInAnyCapitals) {
    const ReplaceCounters n = replace(db::field::Author, "smith", "Jones");
    EXPECT_EQ(n.processed, 5);
    EXPECT_EQ(n.found, 2);
    EXPECT_EQ(n.changed, 2);
    EXPECT_EQ(column("Author"),
              (std::vector<std::string>{"Jones", "Jones", "Smithson", "", " smith"}));
    // An empty search value stands for the empty values.
    EXPECT_EQ(replace(db::field::Author, "", "Anon").changed, 1);
    EXPECT_EQ(column("Author")[3], "Anon");
    auto t = db::Table::open(path, db::OpenMode::ReadOnly);
    EXPECT_TRUE(t->check().empty());
}

TEST_F(ReplaceTest, NumbersAndDatesMatchByValue) {
    EXPECT_EQ(replace(db::field::Cost, "10", "12.5").changed, 2);
    EXPECT_EQ(column("Cost"),
              (std::vector<std::string>{"12.5000", "10.0001", "12.5000", "9.0000", ""}));
    EXPECT_EQ(replace(db::field::PurchDate, "03/15/1997", "12/01/2001").changed, 2);
    EXPECT_EQ(column("PurchDate")[3], "20011201");
}

TEST_F(ReplaceTest, APassWithNothingToChangeLeavesTheFilesAsTheyWere) {
    const std::string before = test::readFile(path);
    EXPECT_EQ(replace(db::field::Author, "nobody", "Jones").found, 0);
    EXPECT_EQ(test::readFile(path), before);
}

// The writer killed half-way: the table opens, checks clean, and each
// record holds its old value or the new one, whole.
TEST(ReplaceKilled, LeavesEveryRecordOldOrNew) {
    test::TempDir dir;
    const auto path = dir / "BIG.DBF";
    db::createBookTable(path);
    const std::string oldValue(40, 'o'), newValue = "New";
    {
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        t->addTag("NewIndex", "Upper(Left(AUTHOR,80))");
        db::Table::Bulk bulk(*t);
        for (int i = 0; i < 3000; ++i) {
            t->insert();
            t->setText("Author", i % 2 ? oldValue : "Other");
            t->setText("Title", std::to_string(i));
            t->post();
        }
        bulk.finish();
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ReplaceValues v;
        db::DisplayFormats formats;
        prepareReplace('C', 50, QString::fromStdString(oldValue), QString::fromStdString(newValue),
                       formats, v);
        auto t = db::Table::open(path, db::OpenMode::Exclusive);
        ReplaceHooks hooks;
        hooks.counted = [](const ReplaceCounters& n) {
            if (n.changed == 700)
                raise(SIGKILL);
        };
        runReplacePass(*t, t->fieldIndex("AUTHOR"), v, hooks);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto t = db::Table::open(path, db::OpenMode::Exclusive);
    EXPECT_TRUE(t->check().empty());
    int changed = 0, count = 0;
    t->scan([&](const db::RecordView& r) {
        const std::string_view a = r.text("AUTHOR");
        const bool odd = std::stoi(std::string(r.text("TITLE"))) % 2;
        EXPECT_TRUE(odd ? (a == oldValue || a == newValue) : a == "Other") << a;
        changed += a == newValue;
        ++count;
        return false;
    });
    EXPECT_EQ(count, 3000);
    EXPECT_EQ(changed, 700);
}

} // namespace
