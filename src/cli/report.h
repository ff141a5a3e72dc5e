#pragma once

#include "cli/commandline.h"

#include <iosfwd>

namespace shelvix::cli {

// `report FILE --name NAME (--text OUT | --pdf OUT) [--definitions PATH] [--level ...]`:
// one report definition rendered over the catalogue, without a window.
// Laying out pages takes QtGui, which the tool does not load: it hands its
// whole command line to the companion program shelvix-report, which has
// installed paintReport and runs the command itself.
int cmdReport(const Invocation& a, std::ostream& out, std::ostream& err);
int paintReport(const Invocation& a, std::ostream& out, std::ostream& err);
void installReportPainter(int (*paint)(const Invocation&, std::ostream&, std::ostream&));

} // namespace shelvix::cli
