#pragma once

// Reading the small files of ours that are read whole: settings, data lists,
// report definitions. A hostile or mistaken file is refused in one line that
// names it, before anything waits on it or is allocated for it: what is not
// an ordinary file (a pipe, a device such as /dev/zero behind a link, a
// folder), and a size far beyond what its format holds.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace shelvix::core {

struct WholeFile {
    std::string bytes;
    std::string refusal; // why it was not read, naming the file; "" when read
    bool missing = false;
};

// `path` whole, links followed; `kind` ("settings file") names what it
// should be in the refusal. A missing file is no refusal.
WholeFile readWholeFile(const std::filesystem::path& path, std::uint64_t limit,
                        std::string_view kind);

// A descriptor open for reading on `path` when it is an ordinary file, for a
// reader that streams it; -1 with `refusal` (naming the file) when it is not,
// or with errno set and `refusal` empty when it cannot be opened.
int openOrdinaryFile(const std::filesystem::path& path, std::string& refusal);

// Refusals made while settings and lists were read, which have no way of
// their own to the user: kept here, one line each, until the program
// shows them.
void noteRefusal(const std::string& line);
std::vector<std::string> takeRefusals();

} // namespace shelvix::core
