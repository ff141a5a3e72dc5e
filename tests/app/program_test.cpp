// The built program run as a user runs it, in a child process: its command
// line and its ending on a signal.
#include "core/profile.h"
#include "db/booktable.h"
#include "support/tempdir.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace shelvix;
namespace fs = std::filesystem;

extern char** environ;

namespace {

struct Child {
    pid_t pid = -1;
    fs::path out;
    fs::path err;
};

// Starts the program in `dir` with nothing of the user's: no display (unless
// `platform` gives one), HOME and the XDG directories inside `dir`.
Child spawn(const test::TempDir& dir, const std::vector<std::string>& args,
            const std::string& platform = "offscreen") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        const std::string name = var.substr(0, var.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "SHELVIX_HOME" &&
            name != "HOME" && name != "QT_QPA_PLATFORM" && name.rfind("XDG_", 0) != 0)
            env.push_back(var);
    }
    fs::create_directories(dir / "user");
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    env.push_back("HOME=" + (dir / "user").string());
    env.push_back("XDG_RUNTIME_DIR=" + (dir / "runtime").string());
    env.push_back("QT_QPA_PLATFORM=" + platform);

    std::vector<std::string> argv = {SHELVIX_PROGRAM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp, envp;
    for (auto& a : argv)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    Child c{-1, dir / "runtime/out.txt", dir / "runtime/err.txt"};
    const std::string where = dir.path().string(), out = c.out.string(), err = c.err.string();
    c.pid = ::fork();
    if (c.pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || e < 0 || ::chdir(where.c_str()) != 0)
            ::_exit(127);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    return c;
}

// The exit status, or -1 for a program that was killed or hung (it is
// killed after `seconds`).
int finish(const Child& c, int seconds = 120) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (::waitpid(c.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(c.pid, SIGKILL);
            ::waitpid(c.pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the process handles `signal` itself (/proc's SigCgt mask).
bool catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

std::vector<std::string> filesUnder(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string ini(const fs::path& file, const char* key) {
    return core::Profile::load(file).readString("Misc", key, "<missing>", 1000);
}

// Answered before any window exists: the xcb platform without a display
// would end the program at once if it tried to make one.
TEST(Program, HelpAndVersionPrintWithoutADisplayAndTouchNoFile) {
    struct Case {
        std::vector<std::string> args;
        std::string start;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: shelvix [--home DIR] [/BROWSE] [FILE.DBF]\n"},
        {{"-h"}, "Usage: shelvix"},
        {{"--home", "h", "BOOKS.DBF", "--help"}, "Usage: shelvix"},
        {{"--version"}, "shelvix (Shelvix Books 97) " SHELVIX_VERSION "\n"},
        {{"/BROWSE", "--version", "--home=h"}, "shelvix (Shelvix Books 97)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        test::TempDir dir;
        const Child child = spawn(dir, c.args, "xcb");
        ASSERT_EQ(finish(child), 0) << test::readFile(child.err);
        EXPECT_EQ(test::readFile(child.out).rfind(c.start, 0), 0u) << test::readFile(child.out);
        EXPECT_EQ(test::readFile(child.err), "");
        EXPECT_EQ(filesUnder(dir.path()), (std::vector<std::string>{"runtime", "runtime/err.txt",
                                                                    "runtime/out.txt", "user"}));
    }
}

TEST(Program, AUsageMistakeIsOneLineAndAHint) {
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus"}, "unknown option --bogus"},
             {{"A.DBF", "B.DBF"}, "one catalogue at a time: A.DBF and B.DBF"},
             {{"--home"}, "--home needs a directory"}}) {
        SCOPED_TRACE(message);
        test::TempDir dir;
        const Child child = spawn(dir, args);
        EXPECT_EQ(finish(child), 2);
        EXPECT_EQ(test::readFile(child.err), "shelvix: " + message + "\ntry 'shelvix --help'\n");
        EXPECT_TRUE(fs::is_empty(dir / "user"));
    }
}

// `shelvix --home H BOOKS.DBF`, then the signal a logout or `kill` sends:
// the catalogue was opened in place of the last one and the settings say so.
TEST(Program, TheNamedCatalogueOpensAndASignalEndsAsExitDoes) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        test::TempDir dir;
        const fs::path home = dir / "h";
        fs::create_directories(home);
        db::createBookTable(home / "MASTER.DBF");
        test::writeFile(home / "SHVBOOK.INI",
                        "[Misc]\r\nLast Database=" + (home / "MASTER.DBF").string() + "\r\n");
        db::createBookTable(dir / "BOOKS.DBF");

        const Child child = spawn(dir, {"--home", "h", "BOOKS.DBF"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!catches(child.pid, signal) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(catches(child.pid, signal)) << test::readFile(child.err);
        ::kill(child.pid, signal);
        ASSERT_EQ(finish(child), 0) << test::readFile(child.err);

        EXPECT_EQ(ini(home / "SHVBOOK.INI", "Last Database"), (dir / "BOOKS.DBF").string());
        EXPECT_EQ(ini(home / "SHVBOOK.INI", "Last File 1"), (home / "MASTER.DBF").string());
        EXPECT_EQ(ini(home / "SHVBOOK.INI", "Main Window Width"), "640");
        EXPECT_TRUE(fs::exists(dir / "BOOKS.INI"));
    }
}

} // namespace
