#include "support/exportfiles.h"

#include <algorithm>
#include <map>

namespace shelvix::test {

std::string sheetLine(const std::vector<std::string>& cells, char delimiter,
                      const std::string& end) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += delimiter;
        const std::string& c = cells[i];
        if (c.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos) {
            line += c;
            continue;
        }
        line += '"';
        for (char ch : c)
            line += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        line += '"';
    }
    return line + end;
}

namespace {

using Book = std::map<std::string, std::string>;

std::string table(const std::vector<std::string>& columns, const std::vector<Book>& books,
                  char delimiter) {
    std::string out = sheetLine(columns, delimiter);
    for (const Book& b : books) {
        std::vector<std::string> cells;
        for (const std::string& c : columns) {
            const auto it = b.find(c);
            cells.push_back(it == b.end() ? std::string() : it->second);
        }
        out += sheetLine(cells, delimiter);
    }
    return out;
}

} // namespace

std::string goodreadsExport(int columns) {
    std::vector<std::string> names{"Book Id",
                                   "Title",
                                   "Author",
                                   "Author l-f",
                                   "Additional Authors",
                                   "ISBN",
                                   "ISBN13",
                                   "My Rating",
                                   "Average Rating",
                                   "Publisher",
                                   "Binding",
                                   "Number of Pages",
                                   "Year Published",
                                   "Original Publication Year",
                                   "Date Read",
                                   "Date Added",
                                   "Bookshelves",
                                   "Bookshelves with positions",
                                   "Exclusive Shelf",
                                   "My Review",
                                   "Spoiler",
                                   "Private Notes",
                                   "Read Count",
                                   "Owned Copies"};
    if (columns == 23)
        names.erase(std::find(names.begin(), names.end(), "Average Rating"));
    if (columns == 31) {
        names.pop_back();
        for (const char* n :
             {"Recommended For", "Recommended By", "Owned Copies", "Original Purchase Date",
              "Original Purchase Location", "Condition", "Condition Description", "BCID"})
            names.emplace_back(n);
    }
    const std::vector<Book> books{
        {{"Book Id", "320"},
         {"Title", "Cien a\xC3\xB1os de soledad"},
         {"Author", "Gabriel Garc\xC3\xAD"
                    "a M\xC3\xA1rquez"},
         {"Author l-f", "Garc\xC3\xAD"
                        "a M\xC3\xA1rquez, Gabriel"},
         {"ISBN", "=\"0060883286\""},
         {"ISBN13", "=\"9780060883287\""},
         {"My Rating", "5"},
         {"Average Rating", "4.11"},
         {"Publisher", "Harper Perennial"},
         {"Binding", "Paperback"},
         {"Number of Pages", "417"},
         {"Year Published", "2006"},
         {"Original Publication Year", "1967"},
         {"Date Read", "2021/08/01"},
         {"Date Added", "2021/07/30"},
         {"Bookshelves", "favorites, classics"},
         {"Bookshelves with positions", "favorites (#1), classics (#4)"},
         {"Exclusive Shelf", "read"},
         {"My Review", "Macondo.\nA \"must\"."},
         {"Private Notes", "Signed, first printing"},
         {"Read Count", "1"},
         {"Owned Copies", "1"},
         {"Condition", "Fine"}},
        {{"Book Id", "2767052"},
         {"Title", "The Hunger Games (The Hunger Games, #1)"},
         {"Author", "Suzanne Collins"},
         {"ISBN", "=\"0439023483\""},
         {"ISBN13", "=\"\""},
         {"My Rating", "0"},
         {"Publisher", "Scholastic Press"},
         {"Binding", "Hardcover"},
         {"Number of Pages", "374"},
         {"Original Publication Year", "2008"},
         {"Date Added", "2019/01/05"},
         {"Bookshelves", "to-read"},
         {"Exclusive Shelf", "to-read"}},
    };
    return table(names, books, ',');
}

std::string libraryThingExport() {
    const std::vector<std::string> names{"Book Id",
                                         "Title",
                                         "Sort Character",
                                         "Primary Author",
                                         "Primary Author Role",
                                         "Secondary Author",
                                         "Secondary Author Roles",
                                         "Publication",
                                         "Date",
                                         "Review",
                                         "Rating",
                                         "Comment",
                                         "Private Comment",
                                         "Summary",
                                         "Media",
                                         "Physical Description",
                                         "Weight",
                                         "Height",
                                         "Thickness",
                                         "Length",
                                         "Dimensions",
                                         "Page Count",
                                         "LCCN",
                                         "Acquired",
                                         "Date Started",
                                         "Date Read",
                                         "Barcode",
                                         "BCID",
                                         "Tags",
                                         "Collections",
                                         "Languages",
                                         "Original Languages",
                                         "LC Classification",
                                         "ISBN",
                                         "ISBNs",
                                         "Subjects",
                                         "Dewey Decimal",
                                         "Dewey Wording",
                                         "Other Call Number",
                                         "Copies",
                                         "Source",
                                         "Entry Date",
                                         "From Where",
                                         "OCLC",
                                         "Work id",
                                         "Lending Patron",
                                         "Lending Status",
                                         "Lending Start",
                                         "Lending End"};
    const std::vector<Book> books{
        {{"Book Id", "101"},
         {"Title", "L'\xC3\x89tranger"},
         {"Sort Character", "3"},
         {"Primary Author", "Camus, Albert"},
         {"Publication", "Gallimard (1942), Edition: 1, Paperback, 159 pages"},
         {"Date", "1942"},
         {"Rating", "4.5"},
         {"Comment", "Relu en \xC3\xA9t\xC3\xA9"},
         {"Media", "Paperback"},
         {"Page Count", "159"},
         {"Tags", "roman, fran\xC3\xA7"
                  "ais"},
         {"ISBN", "[2070360024]"},
         {"ISBNs", "2070360024, 9782070360024"},
         {"Dewey Decimal", "843.914"},
         {"Entry Date", "[2021-07-30]"},
         {"Lending Patron", "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m"},
         {"Lending Status", "On loan"}},
        {{"Book Id", "102"},
         {"Title", "Head First \"Java\""},
         {"Primary Author", "Sierra, Kathy"},
         {"Publication", "O'Reilly Media, 2005"},
         {"Date", "c2005"},
         {"Media", "Ebook"},
         {"Page Count", "688"},
         {"ISBN", "[0596009208]"},
         {"Entry Date", "[2019-01-05]"}},
    };
    return "\xEF\xBB\xBF" + table(names, books, '\t');
}

} // namespace shelvix::test
