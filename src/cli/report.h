#pragma once

#include "cli/commandline.h"

#include <iosfwd>

namespace shelvix::cli {

// `report FILE --name NAME (--text OUT | --pdf OUT) [--definitions PATH] [--level ...]`:
// one report definition rendered over the catalogue, without a window.
int cmdReport(const Invocation& a, std::ostream& out, std::ostream& err);

} // namespace shelvix::cli
