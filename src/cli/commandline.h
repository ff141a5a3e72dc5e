#pragma once

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
    std::string value(const std::string& option, const std::string& fallback = {}) const;
    std::vector<std::string> values(const std::string& option) const;
};

struct OptionDef {
    const char* name;  // "--tag"
    const char* value; // "NAME"; nullptr for a flag
    const char* help;
    bool required = false;
    bool repeated = false;
};

// One command: what it takes, what it does, and the function that does it.
struct CommandDef {
    const char* name;
    std::vector<const char*> arguments;
    std::vector<OptionDef> options;
    const char* help; // what it does, unwrapped
    int (*run)(const Invocation& a, std::ostream& out, std::ostream& err);
    // Overrides the synopsis made from the arguments and options.
    const char* synopsis = nullptr;
};

const std::vector<CommandDef>& commandTable();

std::string toolHelpText();                             // shelvix-tool --help
std::string commandHelpText(const CommandDef& command); // shelvix-tool CMD --help
std::string toolVersionText();                          // shelvix-tool --version

// The whole command line without the program name: runs the command and
// answers its exit status, 0 success, 1 failure, 2 usage mistake. Every
// failure and mistake is one line on `err`; a mistake adds where to look.
int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace shelvix::cli
