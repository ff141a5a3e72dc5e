#pragma once

#include "cli/plain/invocation.h"

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace shelvix::cli {

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
