#include "cli/plain/front.h"

#include "cli/plain/readers.h"
#include "core/wholefile.h"

#include <exception>
#include <ostream>
#include <system_error>

namespace fs = std::filesystem;

namespace shelvix::cli {

namespace {

// A word the full command line reader would take as itself: not an option,
// not empty (an empty value reads as none there).
bool plainWord(const std::string& w) {
    return !w.empty() && w[0] != '-';
}

// `args` read as COMMAND FILE [--VALUED V | --VALUED=V | --FLAG]..., each
// option at most once; nothing when anything else is there.
std::optional<Invocation> readPlain(const std::vector<std::string>& args,
                                    const std::vector<std::string>& valued,
                                    const std::vector<std::string>& flags) {
    Invocation a;
    a.command = args[0];
    a.given = args;
    const auto known = [](const std::vector<std::string>& list, const std::string& name) {
        for (const std::string& n : list)
            if (n == name)
                return true;
        return false;
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& w = args[i];
        if (plainWord(w)) {
            a.arguments.push_back(w);
            continue;
        }
        const std::size_t eq = w.find('=');
        const std::string name = w.substr(0, eq);
        if (a.has(name))
            return std::nullopt;
        if (known(flags, name) && eq == std::string::npos) {
            a.options[name];
        } else if (known(valued, name) && eq != std::string::npos) {
            if (!plainWord(w.substr(eq + 1)))
                return std::nullopt;
            a.options[name].push_back(w.substr(eq + 1));
        } else if (known(valued, name) && i + 1 < args.size() && plainWord(args[i + 1])) {
            a.options[name].push_back(args[++i]);
        } else {
            return std::nullopt;
        }
    }
    if (a.arguments.size() != 1)
        return std::nullopt;
    return a;
}

} // namespace

std::optional<int> runPlain(const std::vector<std::string>& args, std::ostream& out,
                            std::ostream& err) {
    if (args.empty())
        return std::nullopt;
    std::optional<Invocation> a;
    int (*run)(const Invocation&, std::ostream&, std::ostream&) = nullptr;
    if (args[0] == "info") {
        a = readPlain(args, {}, {});
        run = runInfo;
    } else if (args[0] == "dump") {
        a = readPlain(args, {"--tag", "--fields"}, {"--deleted"});
        run = runDump;
    }
    if (!a)
        return std::nullopt;
    return runReporting(
        a->command, [&] { return run(*a, out, err); }, err);
}

int reportMistake(const std::string& message, const std::string& command, std::ostream& err) {
    err << "shelvix-tool: " << (command.empty() ? "" : command + ": ") << message << "\n"
        << "try 'shelvix-tool " << (command.empty() ? "" : command + " ") << "--help'\n";
    return 2;
}

int runReporting(const std::string& command, const std::function<int()>& run, std::ostream& err) {
    try {
        const int status = run();
        // Settings refused as they were read: the work went on without them.
        for (const std::string& line : core::takeRefusals())
            err << "shelvix-tool: warning: " << line << "\n";
        return status;
    } catch (const UsageError& e) {
        return reportMistake(e.message, command, err);
    } catch (const std::exception& e) {
        err << "shelvix-tool: " << e.what() << "\n";
        return 1;
    }
}

namespace {

fs::path besideOrUnder(const char* name, const char* fromBin) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        throw std::runtime_error(std::string("cannot find ") + name + ": " + ec.message());
    const fs::path beside = self.parent_path() / name;
    if (fs::exists(beside, ec))
        return beside;
    return (self.parent_path() / fromBin / name).lexically_normal();
}

} // namespace

fs::path companionProgram(const char* name) {
    return besideOrUnder(name, SHELVIX_LIBEXEC_FROM_BIN);
}

fs::path companionModule(const char* name) {
    return besideOrUnder(name, SHELVIX_MODULES_FROM_BIN);
}

} // namespace shelvix::cli
