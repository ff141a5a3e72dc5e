#pragma once

#include <string>
#include <vector>

// Files in the shapes other programs export, built in the tests: every
// column present, UTF-8 with accented names.
namespace shelvix::test {

// One line of delimited text, each cell quoted only when it must be, as
// spreadsheets write it; `end` closes the line.
std::string sheetLine(const std::vector<std::string>& cells, char delimiter = ',',
                      const std::string& end = "\n");

// A reading-site library export: CSV, LF, quoted only when needed, ISBNs as
// ="...". `columns` is 23 (today), 24 (with "Average Rating") or 31 (older
// files). Two books: the first with every value, the second with an empty
// ISBN13 and Year Published (their fallbacks hold values).
std::string goodreadsExport(int columns);

// A cataloguing-site export: 49 tab-separated columns, a byte-order mark,
// ISBNs and entry dates in brackets. Two books: the first lent out.
std::string libraryThingExport();

} // namespace shelvix::test
