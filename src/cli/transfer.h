#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace shelvix::cli {

// shelvix-tool import and export: the import and export windows' logic.
int runImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kTransferUsage;

} // namespace shelvix::cli
