// The record edit form's post, as the window makes it, driven in a process of
// its own for the trials: opens the catalogue shared as the window does,
// stores a few new books through the form's write logic, lets the table go,
// and again, until it has stored COUNT books or SECONDS have passed (or
// STOPFILE exists, looked for before each open).
//
//   trial_window_poster CATALOGUE PREFIX COUNT SECONDS [STOPFILE]
//
// Prints one line per event, as it happens:
//   stored PREFIX-N     the post returned: the book is on disk
//   refused             the open was refused, the table in another's use
//   failed PREFIX-N: …  the post reported an error (nothing stored)
//   replaced PREFIX-N   the post returned into a table that was no longer the
//                       catalogue: another program had put a new file in its
//                       place while this one held it open (a lost book)

#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/table.h"
#include "edit/recordedit.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>

using namespace shelvix;

namespace {

ino_t inodeOf(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 ? st.st_ino : 0;
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "usage: trial_window_poster CATALOGUE PREFIX COUNT SECONDS [STOPFILE]\n");
        return 2;
    }
    const char* path = argv[1];
    const std::string prefix = argv[2];
    const int count = std::stoi(argv[3]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::stoi(argv[4]));
    std::mt19937 rng(std::random_device{}());
    const db::DisplayFormats formats;
    int stored = 0, n = 0;
    const char* stop = argc == 6 ? argv[5] : nullptr;
    struct stat st {};
    while (stored < count && std::chrono::steady_clock::now() < until &&
           !(stop && ::stat(stop, &st) == 0)) {
        // The inode the path names on both sides of the open: the table held
        // is that file (a replacement in between is simply tried again).
        const ino_t before = inodeOf(path);
        std::unique_ptr<db::Table> table;
        try {
            table = db::Table::open(path, db::OpenMode::Shared);
        } catch (const db::DatabaseError& e) {
            if (e.kind() != db::DatabaseError::Kind::InUse) {
                std::printf("error: %s\n", e.what());
                return 1;
            }
            std::printf("refused\n");
            std::fflush(stdout);
            sleepMs(int(rng() % 8));
            continue;
        }
        if (inodeOf(path) != before)
            continue;
        for (int k = 1 + int(rng() % 3); k > 0 && stored < count; --k) {
            const std::string title = prefix + "-" + std::to_string(++n);
            edit::RecordValues values;
            values[1] = QString::fromStdString(title);
            values[2] = QStringLiteral("Trial, Poster");
            if (auto error = edit::writeRecord(*table, values, true, formats)) {
                std::printf("failed %s: %s\n", title.c_str(), error->toUtf8().constData());
            } else {
                ++stored;
                std::printf(inodeOf(path) == before ? "stored %s\n" : "replaced %s\n",
                            title.c_str());
            }
            std::fflush(stdout);
            sleepMs(int(rng() % 6));
        }
        table.reset();
        sleepMs(int(rng() % 10));
    }
    return 0;
}
