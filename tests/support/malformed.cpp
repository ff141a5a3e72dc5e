#include "support/malformed.h"

#include "support/tempdir.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace shelvix::test {

namespace {

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
std::uint32_t get32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
    return v;
}

// A pipe in place of `path`: a reader that opens it waits for a writer.
void pipeAt(const std::filesystem::path& path) {
    std::filesystem::remove(path);
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make a pipe at " + path.string());
}

struct Case {
    const char* name;
    std::function<void(const std::filesystem::path& data)> spoil;
};

} // namespace

const std::vector<MalformedCase>& malformedCases() {
    static const std::vector<MalformedCase> cases = {
        {"header cut inside its descriptors",
         [](const auto& d) {
             writeFile(d / "BOOKS.DBF", readFile(d / "BOOKS.DBF").substr(0, 200));
         }},
        {"header cut before its first descriptor",
         [](const auto& d) {
             writeFile(d / "BOOKS.DBF", readFile(d / "BOOKS.DBF").substr(0, 20));
         }},
        {"a record count far past the end",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.DBF");
             put32(b, 4, 0x7FFFFFF0);
             writeFile(d / "BOOKS.DBF", b);
         }},
        {"a header length past the end",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.DBF");
             b[8] = char(0xFF);
             b[9] = char(0xFF);
             writeFile(d / "BOOKS.DBF", b);
         }},
        {"field descriptors past the header length",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.DBF");
             b[8] = char(32 + 32 * 3 + 1); // three fields' room; 36 descriptors follow
             b[9] = 0;
             writeFile(d / "BOOKS.DBF", b);
         }},
        {"a record length that is not the fields' sum",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.DBF");
             b[10] = char(std::uint8_t(b[10]) + 7);
             writeFile(d / "BOOKS.DBF", b);
         }},
        {"an index root page out of range",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.MDX");
             const std::uint32_t tagHeader = get32(b, 544);
             put32(b, std::size_t(tagHeader) * 512, 0x00FFFFFF);
             writeFile(d / "BOOKS.MDX", b);
         }},
        {"an index node that is its own child",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.MDX");
             const std::uint32_t tagHeader = get32(b, 544);
             const std::uint32_t root = get32(b, std::size_t(tagHeader) * 512);
             put32(b, std::size_t(root) * 512 + 8, root);
             writeFile(d / "BOOKS.MDX", b);
         }},
        {"an index block size that contradicts itself",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.MDX");
             b[20] = 0; // pages a block; the bytes a block stay 1024
             writeFile(d / "BOOKS.MDX", b);
         }},
        {"an index tag on a field the table no longer has",
         [](const auto& d) {
             std::string b = readFile(d / "BOOKS.DBF");
             b.replace(b.find(std::string("AUTHOR\0", 7)), 6, "WRITER");
             writeFile(d / "BOOKS.DBF", b);
         }},
        {"settings of binary junk",
         [](const auto& d) {
             std::string junk;
             for (int i = 0; i < 5000; ++i)
                 junk += char((i * 7919) & 0xFF);
             writeFile(d / "BOOKS.INI", junk);
         }},
        {"report definitions of the wrong length",
         [](const auto& d) { writeFile(d / "SHVBOOK.URP", std::string(20622 * 2 + 5, 'A')); }},
        {"an import source with NUL bytes and a 10 MB line",
         [](const auto& d) {
             std::string text = "\"Title\",\"Author\"\r\n\"A\0B\",\"C\0\"\r\n";
             text.append(std::size_t(10) << 20, 'x');
             text += "\r\n\"last\",\"line\"\r\n";
             writeFile(d / "SOURCE.TXT", text);
         }},
        {"settings that are a pipe no one writes to",
         [](const auto& d) { pipeAt(d / "BOOKS.INI"); }},
        {"report definitions that are a link to /dev/zero",
         [](const auto& d) {
             std::filesystem::remove(d / "SHVBOOK.URP");
             std::filesystem::create_symlink("/dev/zero", d / "SHVBOOK.URP");
         }},
        {"an import source that is a pipe", [](const auto& d) { pipeAt(d / "SOURCE.TXT"); }},
    };
    return cases;
}

} // namespace shelvix::test
