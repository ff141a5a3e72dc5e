// The program's launch on a large catalogue: from starting the process to the
// viewer grid painted with its first rows, and the peak resident memory by
// then. Each iteration starts this program again as a child, which runs the
// program's own start (shell::runProgram) on the offscreen platform and ends
// the moment the grid has painted a screen of rows; the time is the parent's,
// from fork to the child's exit, so it holds the dynamic linker's work too
// (this program loads what the program does, and Google Benchmark).
//
// The catalogue: SHELVIX_BENCH_DIR/BOOKS.DBF when set (bench/compare-sqlite.sh
// makes one), else SHELVIX_LAUNCH_FILE, else one of SHELVIX_GRID_BOOKS books
// (1,000,000) generated once into build/bench-grid-data as bench_grid does,
// with the author tag the program sorts by. The program's data and settings
// go to a scratch directory (--home), the start tip off; the first launch
// there, which seeds the lists, is not timed.

#include "db/bookgen.h"
#include "db/booktable.h"
#include "db/engine/table.h"
#include "shell/forms/startup.h"
#include "shell/forms/tmain.h"
#include "viewer/forms/viewergrid.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace shelvix;

namespace {

std::string catalogue() {
    if (const char* dir = std::getenv("SHELVIX_BENCH_DIR"))
        return (fs::path(dir) / "BOOKS.DBF").string();
    if (const char* file = std::getenv("SHELVIX_LAUNCH_FILE"))
        return file;
    const char* n = std::getenv("SHELVIX_GRID_BOOKS");
    const std::uint64_t books = n ? std::strtoull(n, nullptr, 10) : 1000000;
    const fs::path dir = fs::path("build") / "bench-grid-data";
    const fs::path file = dir / "BOOKS.DBF";
    const fs::path mark = dir / ("N" + std::to_string(books));
    if (!fs::exists(file) || !fs::exists(mark)) {
        fs::create_directories(dir);
        for (const auto& e : fs::directory_iterator(dir))
            fs::remove(e.path());
        db::createBookTable(file);
        auto table = db::Table::open(file, db::OpenMode::Exclusive);
        db::appendGeneratedBooks(*table, books, 7);
        std::ofstream(mark).put('\n');
    }
    auto table = db::Table::open(file, db::OpenMode::Exclusive);
    bool tagged = false;
    for (const auto& t : table->tags())
        tagged =
            tagged || QString::fromStdString(t.name).compare("NewIndex", Qt::CaseInsensitive) == 0;
    if (!tagged)
        table->addTag("NewIndex", "Upper(Left(Author,80))");
    return file.string();
}

// Ends the process once the grid has painted rows.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(viewer::ViewerGrid* grid) : grid_(grid) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && grid_->model() && grid_->model()->rowCount() > 0)
            QTimer::singleShot(0, [] { _exit(0); }); // after this paint is done
        return false;
    }

private:
    viewer::ViewerGrid* grid_;
};

int child(int argc, char** argv) {
    return shell::runProgram(argc, argv, [](shell::TMain& window) {
        auto* grid = window.findChild<viewer::ViewerGrid*>();
        if (!grid)
            _exit(3);
        grid->viewport()->installEventFilter(new PaintWatch(grid));
    });
}

struct Launch {
    double ms = 0;
    double peakMB = 0;
};

Launch launch(const std::string& home, const std::string& file) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Qt's notes about the offscreen platform would fill the table.
        if (const int null = open("/dev/null", O_WRONLY); null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        const std::string homeArg = "--home=" + home;
        char self[] = "/proc/self/exe";
        char flag[] = "--launch-child";
        std::vector<char*> args{self, flag, const_cast<char*>(homeArg.c_str()),
                                const_cast<char*>(file.c_str()), nullptr};
        execv(self, args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the launch failed (status %d)\n", status);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            double(usage.ru_maxrss) / 1024.0};
}

void BM_LaunchToPaintedGrid(benchmark::State& state) {
    static QTemporaryDir home;
    const std::string file = catalogue();
    const std::string dir = home.path().toStdString();
    std::ofstream(dir + "/SHVBOOK.INI") << "[Misc]\nShow Tips=0\n";
    launch(dir, file); // seeds the data directory, warms the caches
    double peak = 0;
    for (auto _ : state) {
        const Launch l = launch(dir, file);
        state.SetIterationTime(l.ms / 1000.0);
        peak = std::max(peak, l.peakMB);
    }
    state.counters["peak RSS MB"] = peak;
}
BENCHMARK(BM_LaunchToPaintedGrid)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--launch-child") == 0) {
        argv[1] = argv[0];
        return child(argc - 1, argv + 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
