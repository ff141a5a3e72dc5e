#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace shelvix::cli {

// Thrown for a command line that does not make sense; exit status 2.
struct UsageError {
    std::string message;
};

// One command's command line once it has been read against its entry in
// the command table.
class Invocation {
public:
    std::string command;
    // The positional arguments, exactly as many as the command takes.
    std::vector<std::string> arguments;
    // Each option given ("--tag"), with its values in order (none for a flag).
    std::map<std::string, std::vector<std::string>> options;
    // The command line as given, the command first.
    std::vector<std::string> given;

    bool has(const std::string& option) const { return options.count(option) != 0; }
    // The last value given, else `fallback`.
    std::string value(const std::string& option, const std::string& fallback = {}) const {
        const auto it = options.find(option);
        return it == options.end() || it->second.empty() ? fallback : it->second.back();
    }
    std::vector<std::string> values(const std::string& option) const {
        const auto it = options.find(option);
        return it == options.end() ? std::vector<std::string>() : it->second;
    }
};

// How the tool answers, whichever part of it runs a command line.
// A usage mistake: one line naming it and one telling where to look; 2.
int reportMistake(const std::string& message, const std::string& command, std::ostream& err);
// `run`'s status, with the refusals of settings read on the way as warnings;
// a UsageError as a mistake of `command`, any other failure in one line (1).
int runReporting(const std::string& command, const std::function<int()>& run, std::ostream& err);

} // namespace shelvix::cli
