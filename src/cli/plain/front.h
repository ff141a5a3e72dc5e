#pragma once

// shelvix-tool itself loads no Qt: it runs `info` and `dump` on the engine
// alone and hands every other command line, as given, to the module that
// knows them all (shelvix-commands.so), which answers as it always has.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace shelvix::cli {

// The exit status of a command line run here; nothing when it is not one of
// the plain commands in a plain form (no help, no option spelt otherwise),
// and nothing has been written.
std::optional<int> runPlain(const std::vector<std::string>& args, std::ostream& out,
                            std::ostream& err);

// A companion program: beside this one in a build, under libexec once
// installed.
std::filesystem::path companionProgram(const char* name);
// The module of the commands: beside this program in a build, under the
// library folder once installed.
std::filesystem::path companionModule(const char* name);

} // namespace shelvix::cli
