// The shape of src/: which room may include which, which Qt modules each
// part of a room may use, and how long a source file may grow. A new folder
// under src/ must be given a floor here before anything builds on it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The floors, bottom up. A file includes files of its own room and of rooms
// on lower floors, never of another room on its own floor or above it: the
// areas never include each other, and the main window (shell) and the tool
// (cli) stand above them all. An area reaches another only through an
// interface on a lower floor (DatabaseView in app) or through the shell.
const std::map<std::string, int> kFloors = {
    {"core", 0}, {"db/engine", 1}, {"db", 2},       {"app", 3},    {"backup", 4}, {"edit", 4},
    {"find", 4}, {"reports", 4},   {"transfer", 4}, {"viewer", 4}, {"cli", 5},    {"shell", 5},
};

// Edges the floors would allow that the house refuses: the tool has no
// windows, no prompter and no application context.
const std::set<std::pair<std::string, std::string>> kRefused = {{"cli", "app"}};

// Within a room: logic (its top-level files) < paint/ (draws without
// widgets, on QtGui alone: Qt's print support loads the widget library, so
// printers belong to forms) < forms/ (widgets). A file includes parts at or
// below its own.
enum Part { Logic = 0, Paint = 1, Forms = 2 };
const char* const kPartNames[] = {"logic", "paint", "forms"};

// The Qt modules each part may include; the engine's rooms none at all.
const std::map<Part, std::set<std::string>> kQtModules = {
    {Logic, {"QtCore"}},
    {Paint, {"QtCore", "QtGui"}},
};
const std::set<std::string> kNoQtRooms = {"core", "db/engine"};

constexpr std::size_t kMaxLines = 800;

const fs::path kSrc = fs::path(SHELVIX_SOURCE_DIR) / "src";

// "find/forms/tmysearch.cpp" -> "find"; "db/engine/table.h" -> "db/engine".
std::string roomOf(const std::string& path) {
    const std::string first = path.substr(0, path.find('/'));
    if (first == "db" && path.rfind("db/engine/", 0) == 0)
        return "db/engine";
    return first;
}

Part partOf(const std::string& path) {
    // The program's main() makes the main window. The tool's own files are
    // logic like any room's: it starts on QtCore alone, and cli/paint/ is
    // its report companion.
    if (path == "shell/main.cpp")
        return Forms;
    if (path.find("/forms/") != std::string::npos)
        return Forms;
    if (path.find("/paint/") != std::string::npos)
        return Paint;
    return Logic;
}

struct Include {
    int line;
    std::string name;
    bool quoted;
};

std::vector<Include> includesOf(const fs::path& file) {
    static const std::regex re(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    std::ifstream in(file);
    std::string text;
    for (int n = 1; std::getline(in, text); ++n) {
        std::smatch m;
        if (std::regex_search(text, m, re))
            out.push_back({n, m[2].str(), m[1].str() == "\""});
    }
    return out;
}

std::size_t lineCount(const fs::path& file) {
    std::ifstream in(file);
    return std::size_t(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// Every source file under `root`, relative to it.
std::vector<std::string> sourceFiles(const fs::path& root = kSrc) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".cpp" || ext == ".h"))
            out.push_back(fs::relative(e.path(), root).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Which Qt module a header such as <QString> or <QtGui/qfont.h> is in; ""
// for a header that is not Qt's.
class QtHeaders {
public:
    explicit QtHeaders(const fs::path& root) {
        for (const auto& module : fs::directory_iterator(root)) {
            const std::string name = module.path().filename().string();
            if (!module.is_directory() || name.rfind("Qt", 0) != 0)
                continue;
            for (const auto& h : fs::directory_iterator(module.path()))
                if (h.is_regular_file())
                    module_.emplace(h.path().filename().string(), name);
        }
    }
    bool empty() const { return module_.empty(); }
    std::string moduleOf(const std::string& header) const {
        if (const auto slash = header.find('/'); slash != std::string::npos)
            return header.rfind("Qt", 0) == 0 ? header.substr(0, slash) : std::string();
        const auto it = module_.find(header);
        return it == module_.end() ? std::string() : it->second;
    }

private:
    std::multimap<std::string, std::string> module_;
};

TEST(House, EveryFolderOfSrcIsARoomWithAFloor) {
    for (const std::string& file : sourceFiles())
        EXPECT_TRUE(kFloors.count(roomOf(file)))
            << "src/" << file << " is in no room of the house: give \"" << roomOf(file)
            << "\" a floor in " << __FILE__;
}

TEST(House, NoIncludeRunsUpAFloorOrAcrossToAnotherRoom) {
    int edges = 0;
    for (const std::string& file : sourceFiles()) {
        const std::string from = roomOf(file);
        if (!kFloors.count(from))
            continue; // named by the test above
        for (const Include& inc : includesOf(kSrc / file)) {
            if (!inc.quoted)
                continue;
            ++edges;
            const std::string where =
                "src/" + file + ":" + std::to_string(inc.line) + " includes \"" + inc.name + "\": ";
            const std::string to = roomOf(inc.name);
            if (!fs::exists(kSrc / inc.name) || !kFloors.count(to)) {
                ADD_FAILURE() << where << "no file of a room under src/";
                continue;
            }
            const int fromFloor = kFloors.at(from);
            const int toFloor = kFloors.at(to);
            if (to != from && toFloor >= fromFloor)
                ADD_FAILURE() << where << from << " (floor " << fromFloor << ") -> " << to
                              << " (floor " << toFloor
                              << "): a room includes only itself and the floors below it";
            if (kRefused.count({from, to}))
                ADD_FAILURE() << where << from << " -> " << to << " is refused";
            const Part fromPart = partOf(file);
            const Part toPart = partOf(inc.name);
            if (toPart > fromPart)
                ADD_FAILURE() << where << kPartNames[fromPart] << " -> " << kPartNames[toPart]
                              << ": logic stands below paint, paint below forms";
        }
    }
    // A reader that found nothing would pass any house.
    EXPECT_GT(edges, 300);
}

TEST(House, EachPartIncludesOnlyItsQtModules) {
    const QtHeaders qt{fs::path(SHELVIX_QT_INCLUDE_DIR)};
    ASSERT_FALSE(qt.empty()) << "no Qt headers under " << SHELVIX_QT_INCLUDE_DIR;
    ASSERT_EQ(qt.moduleOf("QFont"), "QtGui");
    for (const std::string& file : sourceFiles()) {
        const std::string room = roomOf(file);
        const Part part = partOf(file);
        for (const Include& inc : includesOf(kSrc / file)) {
            const std::string module = inc.quoted ? std::string() : qt.moduleOf(inc.name);
            if (module.empty())
                continue;
            const std::string where = "src/" + file + ":" + std::to_string(inc.line) +
                                      " includes <" + inc.name + "> of " + module + ": ";
            if (kNoQtRooms.count(room))
                ADD_FAILURE() << where << room << " builds on standard C++ alone";
            else if (kQtModules.count(part) && !kQtModules.at(part).count(module))
                ADD_FAILURE() << where << kPartNames[part] << " may use only " << [&] {
                    std::string s;
                    for (const std::string& m : kQtModules.at(part))
                        s += (s.empty() ? "" : ", ") + m;
                    return s;
                }();
        }
    }
}

// The tool's own program and what it runs itself start without Qt: they
// build on the engine alone (the rest of the tool is a module it loads).
TEST(House, TheToolsFrontBuildsOnTheEngineAlone) {
    const QtHeaders qt{fs::path(SHELVIX_QT_INCLUDE_DIR)};
    int files = 0;
    for (const std::string& file : sourceFiles()) {
        if (file.rfind("cli/plain/", 0) != 0 && file.rfind("cli/front/", 0) != 0)
            continue;
        ++files;
        for (const Include& inc : includesOf(kSrc / file)) {
            const std::string where =
                "src/" + file + ":" + std::to_string(inc.line) + " includes " + inc.name + ": ";
            if (!inc.quoted && !qt.moduleOf(inc.name).empty())
                ADD_FAILURE() << where << "the tool's front loads no Qt";
            const std::string room = roomOf(inc.name);
            if (inc.quoted && room != "core" && room != "db/engine" &&
                inc.name.rfind("cli/plain/", 0) != 0)
                ADD_FAILURE() << where << "the front reaches only core, db/engine and cli/plain";
        }
    }
    EXPECT_GE(files, 4);
}

TEST(House, OnlyTheQtPrompterOpensQtsStandardDialogs) {
    // Every message, question, file, font, colour and printer choice goes
    // through app::Prompter, so tests can script each answer.
    const std::set<std::string> dialogs = {"QMessageBox",  "QFileDialog",  "QFontDialog",
                                           "QColorDialog", "QPrintDialog", "QInputDialog"};
    const std::set<std::string> prompter = {"app/forms/qtprompter.h", "app/forms/qtprompter.cpp"};
    for (const std::string& file : sourceFiles()) {
        if (prompter.count(file))
            continue;
        for (const Include& inc : includesOf(kSrc / file)) {
            const std::string name = inc.name.substr(inc.name.rfind('/') + 1);
            if (!inc.quoted && dialogs.count(name))
                ADD_FAILURE() << "src/" << file << ":" << inc.line << " includes <" << inc.name
                              << ">: ask through app::Prompter (app/forms/qtprompter.cpp)";
        }
    }
}

TEST(House, NoSourceFileIsOver800LinesWithItsHeader) {
    const fs::path top(SHELVIX_SOURCE_DIR);
    for (const char* dir : {"src", "tests", "bench", "fuzz"}) {
        for (const std::string& file : sourceFiles(top / dir)) {
            const fs::path path = top / dir / file;
            fs::path header = path;
            header.replace_extension(".h");
            fs::path source = path;
            source.replace_extension(".cpp");
            if (path.extension() == ".h" && fs::exists(source))
                continue; // counted with its .cpp
            const bool paired = path.extension() == ".cpp" && fs::exists(header);
            const std::size_t lines = lineCount(path) + (paired ? lineCount(header) : 0);
            EXPECT_LE(lines, kMaxLines) << dir << "/" << file << (paired ? " with its header" : "")
                                        << " has " << lines << " lines: split it by concern";
        }
    }
}

} // namespace
