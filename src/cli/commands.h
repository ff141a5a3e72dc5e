#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace shelvix::cli {

// Thrown for a command line that does not make sense; exit status 2.
struct UsageError {
    std::string message;
};

// Runs one command. Returns the exit status: 0 success, 1 failure.
// Database errors propagate as shelvix::db::DatabaseError.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kUsage;

} // namespace shelvix::cli
