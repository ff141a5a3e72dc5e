#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace shelvix::cli {

// `report FILE --name NAME (--text OUT | --pdf OUT) [--definitions PATH] [--level ...]`:
// one report definition rendered over the catalogue, without a window.
int cmdReport(const std::vector<std::string>& args, std::ostream& out);

} // namespace shelvix::cli
