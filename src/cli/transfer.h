#pragma once

#include "cli/commandline.h"

#include <iosfwd>

namespace shelvix::cli {

// shelvix-tool import and export: the import and export windows' logic.
int runImport(const Invocation& a, std::ostream& out, std::ostream& err);
int runExport(const Invocation& a, std::ostream& out, std::ostream& err);

} // namespace shelvix::cli
