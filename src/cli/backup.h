#pragma once

#include "cli/commandline.h"

#include <iosfwd>

namespace shelvix::cli {

// shelvix-tool backup, restore and convert: the backup window's copies and
// the start-up conversion, for scheduled backups and scripted upgrades.
int runBackup(const Invocation& a, std::ostream& out, std::ostream& err);
int runRestore(const Invocation& a, std::ostream& out, std::ostream& err);
int runConvert(const Invocation& a, std::ostream& out, std::ostream& err);

} // namespace shelvix::cli
