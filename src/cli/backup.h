#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace shelvix::cli {

// shelvix-tool backup, restore and convert: the backup window's copies and
// the start-up conversion, for scheduled backups and scripted upgrades.
int runBackup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runRestore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kBackupUsage;

} // namespace shelvix::cli
