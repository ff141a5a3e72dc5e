// Power cuts at random moments during the long work that writes a catalogue
// of thousands of books: generating, importing, replacing, packing and
// restoring (the table with its settings and lists). Each cut keeps a random
// part of what was not synced, in a random order. After it the table must
// open and check whole, and hold everything it held before (replaced or
// packed records in their old or their new state), plus everything the work
// returned as done; each settings or list file holds its old text or its new
// one; the open removes what temporary files the cut left. The settings,
// list and report definitions files are cut at every write of their saves:
// each holds its old text or its new one, whole, and the new one once the
// save returned.
//
// SHELVIX_TRIAL_ROUNDS sets the number of rounds (default 100, shared
// evenly by the five kinds of work), SHELVIX_TRIAL_SEED where they cut.

#include "backup/filecopy.h"
#include "core/text.h"
#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/conversion.h"
#include "db/datalists.h"
#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "db/fieldtable.h"
#include "db/recovery.h"
#include "db/settings.h"
#include "db/sortorder.h"
#include "find/replace.h"
#include "reports/reportdefinition.h"
#include "support/powercut.h"
#include "support/tempdir.h"
#include "transfer/delimited.h"
#include "transfer/importer.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

using namespace shelvix;
using db::OpenMode;
using db::Table;
using test::PowerCutFileSystem;
using test::TempDir;

namespace {

constexpr int kBooks = 2000;
constexpr int kImported = 80;

// Every record as stored, the deletion flag first.
std::vector<std::string> records(Table& t) {
    std::vector<std::string> out;
    const int fields = t.fieldCount();
    for (std::uint32_t r = 1; r <= t.recordCount(); ++r) {
        const db::RecordView v = t.record(r);
        std::string bytes(1, v.deleted() ? '*' : ' ');
        for (int f = 0; f < fields; ++f)
            bytes += v.raw(f);
        out.push_back(std::move(bytes));
    }
    return out;
}

std::vector<std::string> live(const std::vector<std::string>& all) {
    std::vector<std::string> out;
    for (const auto& r : all)
        if (r[0] != '*')
            out.push_back(r);
    return out;
}

enum class Work { Generate, Import, Replace, Pack, Restore };
const char* name(Work w) {
    static const char* names[] = {"generate", "import", "replace", "pack", "restore"};
    return names[int(w)];
}

struct Trial {
    TempDir dir;
    std::filesystem::path table = dir / "MASTER.DBF";
    std::filesystem::path backup = dir / "backup" / "MASTER.DBF";
    std::filesystem::path source = dir / "IMPORT.TXT";
    std::vector<std::string> before;   // the table's records before the work
    std::vector<std::string> backedUp; // the backup's records
    std::string category;              // replaced by "REPLACED"
    struct Companion {
        std::filesystem::path file;
        std::string old, restored;
    };
    std::vector<Companion> companions; // settings and a list, restored with the table

    // The starting files are made once and copied for each round.
    Trial() {
        static const Trial made(0);
        std::filesystem::copy(made.dir.path(), dir.path(),
                              std::filesystem::copy_options::recursive);
        before = made.before;
        backedUp = made.backedUp;
        category = made.category;
        for (const Companion& c : made.companions)
            companions.push_back({dir / c.file.filename(), c.old, c.restored});
    }
    explicit Trial(int) {
        db::createBookTable(table);
        {
            auto t = Table::open(table, OpenMode::Exclusive);
            t->setShowDeleted(true);
            db::appendGeneratedBooks(*t, kBooks, 11);
            for (std::uint32_t r = 3; r <= kBooks; r += 7) {
                t->goToRecord(r);
                t->deleteRecord();
            }
            // Replacing a category moves its keys.
            t->addTag("CATEGORY", "UPPER(CATEGORY)");
            t->goToRecord(1);
            category = std::string(t->text("Category"));
            before = records(*t);
        }
        test::writeFile(dir / "MASTER.INI", "[Sort Order]\r\nPrimary Sort=2\r\n");
        test::writeFile(dir / "MASTER.004", "Poetry\r\n");
        std::filesystem::create_directories(backup.parent_path());
        db::createBookTable(backup);
        {
            auto t = Table::open(backup, OpenMode::Exclusive);
            t->setShowDeleted(true);
            db::appendGeneratedBooks(*t, 400, 99);
            backedUp = records(*t);
        }
        for (const char* companion : {"MASTER.INI", "MASTER.004"}) {
            std::string text = test::readFile(dir / companion);
            text += "; from the backup\r\n";
            test::writeFile(backup.parent_path() / companion, text);
            companions.push_back({dir / companion, test::readFile(dir / companion), text});
        }
        std::string text = "\"Title\",\"Author\",\"YearPub\"\r\n";
        for (int i = 0; i < kImported; ++i)
            text += "\"Imported " + std::to_string(i) + "\",\"Writer\",\"19" +
                    std::to_string(10 + i) + "\"\r\n";
        test::writeFile(source, text);
    }

    // The work through `fs`; throws the injected failure.
    void run(Work work, db::FileSystem& fs) {
        switch (work) {
        case Work::Generate: {
            auto t = Table::open(table, OpenMode::Exclusive, fs);
            db::appendGeneratedBooks(*t, 60, 5);
            break;
        }
        case Work::Import: {
            auto t = Table::open(table, OpenMode::Exclusive, fs);
            transfer::DelimitedReader reader(source);
            ASSERT_EQ(reader.scanFirstLine(), transfer::FirstLine::Ok);
            const db::DisplayFormats formats;
            transfer::Importer importer(*t, formats);
            transfer::ImportStats stats;
            importer.run(reader, transfer::fieldMapFromRows(transfer::initialImportRows(3), 3),
                         true, stats);
            break;
        }
        case Work::Replace: {
            auto t = Table::open(table, OpenMode::Exclusive, fs);
            find::ReplaceValues values;
            values.searchText = QString::fromStdString(category);
            values.replacementText = QStringLiteral("REPLACED");
            find::runReplacePass(*t, db::field::Category - 1, values);
            break;
        }
        case Work::Pack: {
            auto t = Table::open(table, OpenMode::Exclusive, fs);
            t->pack();
            break;
        }
        case Work::Restore: {
            if (!backup::restoreTable(QString::fromStdString(backup.string()),
                                      QString::fromStdString(table.string()), fs))
                throw db::DatabaseError("restore failed", db::DatabaseError::Kind::Io);
            for (const Companion& c : companions)
                if (!backup::copyFile(
                        QString::fromStdString((backup.parent_path() / c.file.filename()).string()),
                        QString::fromStdString(c.file.string()), fs))
                    throw db::DatabaseError("restore failed", db::DatabaseError::Kind::Io);
            auto t = Table::open(table, OpenMode::Exclusive, fs);
            db::applySortTag(*t, "UPPER(AUTHOR)");
            break;
        }
        }
    }

    // What the table may hold after the cut. `done`: the work returned.
    void expectSound(Work work, bool done, const std::string& round) {
        SCOPED_TRACE(round);
        // As the open does: what the cut left half-made goes.
        db::removeLeftovers(table);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
        for (const Companion& c : companions) {
            const std::string now = test::readFile(c.file);
            if (work == Work::Restore && done) {
                EXPECT_EQ(now, c.restored) << c.file;
            } else {
                EXPECT_TRUE(now == c.old || (work == Work::Restore && now == c.restored))
                    << c.file << " torn: " << now.size() << " bytes";
            }
        }
        std::unique_ptr<Table> t;
        ASSERT_NO_THROW(t = Table::open(table, OpenMode::Exclusive)) << "the table does not open";
        const auto problems = t->check();
        ASSERT_TRUE(problems.empty()) << problems.front();
        t->setShowDeleted(true);
        const auto after = records(*t);
        switch (work) {
        case Work::Generate:
        case Work::Import: {
            const std::size_t added = work == Work::Generate ? 60 : kImported;
            ASSERT_GE(after.size(), before.size());
            EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
            EXPECT_LE(after.size(), before.size() + added);
            if (done) {
                EXPECT_EQ(after.size(), before.size() + added);
            }
            break;
        }
        case Work::Replace: {
            ASSERT_EQ(after.size(), before.size());
            const std::string searched = core::toUpperAscii(category);
            for (std::size_t i = 0; i < after.size(); ++i) {
                t->goToRecord(std::uint32_t(i + 1));
                const std::string now(t->text("Category"));
                if (after[i] != before[i]) {
                    EXPECT_EQ(now, "REPLACED") << "record " << i + 1;
                } else if (done && !t->isDeleted()) {
                    EXPECT_NE(core::toUpperAscii(now), searched) << "record " << i + 1;
                }
            }
            break;
        }
        case Work::Pack:
            if (after.size() == before.size() && !done) {
                EXPECT_EQ(after, before);
            } else {
                EXPECT_EQ(after, live(before));
            }
            break;
        case Work::Restore:
            if (done || after.size() == backedUp.size()) {
                EXPECT_EQ(after, backedUp);
            } else {
                EXPECT_EQ(after, before);
            }
            break;
        }
    }
};

int rounds() {
    const char* env = std::getenv("SHELVIX_TRIAL_ROUNDS");
    return env ? std::max(5, std::atoi(env)) : 100;
}

std::uint32_t seed() {
    const char* env = std::getenv("SHELVIX_TRIAL_SEED");
    return env ? std::uint32_t(std::strtoul(env, nullptr, 10)) : 20261207u;
}

TEST(PowerCutTrials, EveryKindOfLongWorkSurvivesACutAnywhere) {
    std::mt19937 random(seed());
    const Work works[] = {Work::Generate, Work::Import, Work::Replace, Work::Pack, Work::Restore};
    const int perWork = rounds() / 5;
    for (Work work : works) {
        // How many writes the whole work makes, to cut anywhere among them.
        int total = 0;
        {
            Trial dry;
            PowerCutFileSystem fs;
            dry.run(work, fs);
            total = fs.writes;
        }
        ASSERT_GT(total, 0) << name(work);
        for (int round = 0; round < perWork; ++round) {
            Trial trial;
            PowerCutFileSystem fs;
            fs.random.seed(random());
            // The last round of each kind cuts just after the work returned.
            const bool afterwards = round == perWork - 1;
            fs.failWriteAt = afterwards ? -1 : 1 + int(random() % std::uint32_t(total));
            bool done = false;
            try {
                trial.run(work, fs);
                done = true;
            } catch (const db::DatabaseError&) {
            }
            fs.cut();
            trial.expectSound(work, done,
                              std::string(name(work)) + " cut at write " +
                                  std::to_string(fs.failWriteAt) + " of " + std::to_string(total));
            if (testing::Test::HasFatalFailure())
                return;
        }
    }
}

// One save of a small file: its text before and after, and the save
// through a file system (false or a throw when it failed).
struct Save {
    const char* name;
    std::filesystem::path file;
    std::function<bool(db::FileSystem&)> run;
};

TEST(PowerCutTrials, SettingsListsAndDefinitionsAreOldOrNewWholeAfterACut) {
    TempDir dir;
    const QString settings = QString::fromStdString((dir / "MASTER.INI").string());
    const QString list = QString::fromStdString((dir / "MASTER.004").string());
    const QString definitions = QString::fromStdString((dir / "SHVBOOK.URP").string());
    db::DatabaseSettings changed;
    changed.fieldNames[0] = QStringLiteral("Book title");
    changed.sortOrder = {db::field::Title, db::field::Author, 0, 0};
    reports::ReportDefinition report = reports::DefaultReports().front();
    report.name = "Saved after the cut";
    const Save saves[] = {
        {"settings", dir / "MASTER.INI",
         [&](db::FileSystem& fs) { return changed.save(settings, nullptr, nullptr, fs); }},
        {"list", dir / "MASTER.004",
         [&](db::FileSystem& fs) {
             return db::SaveList(list, {"Crime", "Poetry", QString::fromUtf8("Réalisme")}, fs);
         }},
        {"definitions", dir / "SHVBOOK.URP",
         [&](db::FileSystem& fs) {
             reports::ReportFile(definitions, fs).save(report);
             return true;
         }},
    };
    for (const Save& save : saves) {
        for (const bool existed : {true, false}) {
            const auto reset = [&] {
                for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                    std::filesystem::remove(entry.path());
                if (!existed)
                    return;
                db::DatabaseSettings().save(settings);
                db::SaveList(list, {"Fiction"});
                reports::WriteDefaultReports(reports::ReportFile(definitions));
            };
            reset();
            const std::string old = existed ? test::readFile(save.file) : "";
            int total = 0;
            {
                PowerCutFileSystem fs;
                ASSERT_TRUE(save.run(fs)) << save.name;
                total = fs.writes;
            }
            const std::string saved = test::readFile(save.file);
            ASSERT_NE(saved, old) << save.name;
            // Cut at every write, then once the save has returned.
            for (int cutAt = 1; cutAt <= total + 1; ++cutAt) {
                SCOPED_TRACE(std::string(save.name) + (existed ? " replaced" : " new") +
                             ", cut at write " + std::to_string(cutAt) + " of " +
                             std::to_string(total));
                reset();
                PowerCutFileSystem fs;
                fs.random.seed(std::uint32_t(cutAt * 7919 + total));
                fs.failWriteAt = cutAt > total ? -1 : cutAt;
                bool done = false;
                try {
                    done = save.run(fs);
                } catch (const std::exception&) {
                }
                fs.cut();
                if (done) {
                    EXPECT_EQ(test::readFile(save.file), saved) << "lost after it was saved";
                } else if (existed) {
                    const std::string now = test::readFile(save.file);
                    EXPECT_TRUE(now == old || now == saved) << "torn: " << now.size() << " bytes";
                } else if (std::filesystem::exists(save.file)) {
                    EXPECT_EQ(test::readFile(save.file), saved);
                }
                // What the cut left half-made goes at the next start.
                db::removeLeftoversOf(dir.path(), {"MASTER.INI", "MASTER.004", "SHVBOOK.URP"});
                for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
            }
        }
    }
}

} // namespace

// A conversion that returned keeps both halves after a cut: the old file's
// records in the book table and the old file gone, so that no later start
// converts it twice.
TEST(PowerCutTrials, AConversionThatReturnedLastsWhole) {
    for (std::uint32_t round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TempDir dir;
        const auto old = dir / "B2LOG.DBF";
        std::filesystem::copy_file(std::filesystem::path(SHELVIX_FIXTURES_DIR) / "B2LOG.DBF", old);
        db::createBookTable(dir / "MASTER.DBF");
        PowerCutFileSystem fs;
        fs.random.seed(round);
        {
            auto target = Table::open(dir / "MASTER.DBF", OpenMode::Exclusive, fs);
            ASSERT_EQ(db::ConvertV2(QString::fromStdString(old.string()), *target), 3u);
        }
        db::removeEarlierVersionFile(QString::fromStdString(old.string()), fs);
        fs.cut();
        EXPECT_FALSE(std::filesystem::exists(old));
        EXPECT_EQ(Table::open(dir / "MASTER.DBF", OpenMode::ReadOnly)->recordCount(), 3u);
    }
}
