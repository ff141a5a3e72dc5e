#include "db/bookgen.h"

#include "db/engine/table.h"

#include <array>
#include <cstdio>

namespace shelvix::db {

namespace {

// Windows-1252 bytes: \xE9 é, \xFC ü, \xF1 ñ, \xC9 É, \xF6 ö, \xE7 ç.
constexpr std::array kFirst = {
    "John",   "Mary",      "Robert",      "Patricia", "James",    "Jennifer", "Michael",
    "Linda",  "William",   "Elizabeth",   "David",    "Barbara",  "Richard",  "Susan",
    "Joseph", "Jessica",   "Thomas",      "Sarah",    "Charles",  "Karen",    "Ren\xE9",
    "Zo\xEB", "J\xFCrgen", "Fran\xE7ois", "Agatha",   "Isaac",    "Ursula",   "Leo",
    "Toni",   "Jorge",     "Chinua",      "Haruki",   "Virginia", "Gabriel",  "Doris",
    "Kazuo",  "Octavia",   "Italo",       "Astrid",   "Ng\xFCgi"};
constexpr std::array kLast = {"Smith",
                              "Johnson",
                              "Williams",
                              "Brown",
                              "Jones",
                              "Garcia",
                              "Miller",
                              "Davis",
                              "Rodriguez",
                              "Martinez",
                              "Hern\xE1ndez",
                              "Lopez",
                              "Gonzalez",
                              "Wilson",
                              "Anderson",
                              "Thomas",
                              "Taylor",
                              "Moore",
                              "Jackson",
                              "Martin",
                              "Lee",
                              "Perez",
                              "Thompson",
                              "White",
                              "Harris",
                              "Sanchez",
                              "Clark",
                              "Ramirez",
                              "Lewis",
                              "Robinson",
                              "Walker",
                              "Young",
                              "Allen",
                              "King",
                              "Wright",
                              "Scott",
                              "Torres",
                              "Nguyen",
                              "Hill",
                              "Flores",
                              "Green",
                              "Adams",
                              "Nelson",
                              "Baker",
                              "Hall",
                              "Rivera",
                              "Campbell",
                              "Mitchell",
                              "Carter",
                              "Roberts",
                              "Br\xF6nte",
                              "\xC9luard",
                              "Ca\xF1"
                              "as",
                              "Sch\xFCtz",
                              "Dostoevsky",
                              "Tolstoy",
                              "Austen",
                              "Dickens",
                              "Twain",
                              "Orwell",
                              "Woolf",
                              "Le Guin",
                              "Asimov",
                              "Christie",
                              "Murakami",
                              "Ishiguro",
                              "Achebe",
                              "Calvino",
                              "Lindgren",
                              "Butler"};
constexpr std::array kTitleWords = {
    "War",      "Peace",    "Night",    "Garden",  "River",   "Shadow",  "House",  "Time",
    "Light",    "Stone",    "Winter",   "Summer",  "Dream",   "Letters", "Island", "City",
    "Road",     "Silence",  "Memory",   "Empire",  "Fire",    "Water",   "Glass",  "Wind",
    "Mountain", "Sea",      "Crown",    "Secret",  "History", "Kingdom", "Song",   "Voyage",
    "Caf\xE9",  "Na\xEFve", "Stranger", "Journey", "Forest",  "Machine", "Star",   "Wolf"};
constexpr std::array kPublishers = {"Penguin",
                                    "HarperCollins",
                                    "Random House",
                                    "Simon & Schuster",
                                    "Macmillan",
                                    "Hachette",
                                    "Oxford University Press",
                                    "Vintage",
                                    "Gallimard",
                                    "Faber & Faber",
                                    "Bloomsbury",
                                    "Tor"};
constexpr std::array kCategories = {"Fiction",   "History", "Science",  "Biography",
                                    "Poetry",    "Mystery", "Children", "Travel",
                                    "Reference", "Cooking", "Art",      "Philosophy"};
constexpr std::array kWhere = {"Bookshop", "Online",       "Second-hand",
                               "Gift",     "Library sale", "Flea market"};
constexpr std::array kRatings = {"Excellent", "Very Good", "Good", "Fair", "Poor"};
constexpr std::array kTypes = {"Hardcover", "Paperback",  "Trade Paper",
                               "Book Club", "Audio Book", "E-Book"};
constexpr std::array kConditions = {"Mint", "Fine", "Very Good", "Good", "Fair", "Poor"};
constexpr std::array kLocations = {"Living Room", "Study",   "Bedroom", "Attic",
                                   "Office",      "Shelf A", "Shelf B", "Box 1"};
constexpr std::array kPeople = {"Alice", "Bob", "Carol", "Dan", "Eve", "Frank"};

template <typename Array> const char* pick(const Array& a, std::uint64_t r) {
    return a[r % a.size()];
}

} // namespace

BookGenerator::BookGenerator(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

// splitmix64: fast, and the same sequence on every platform and library.
std::uint64_t BookGenerator::nextRandom() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string BookGenerator::author() {
    // A few prolific authors and a long tail: the square skews towards 0.
    std::uint64_t r = below(1000);
    std::uint64_t id = (r * r) / 1000 * 7 + below(3);
    std::string name = pick(kLast, id);
    name += ", ";
    name += pick(kFirst, id / kLast.size() + id);
    return name;
}

std::string BookGenerator::title() {
    std::string t;
    int words = 1 + static_cast<int>(below(4));
    if (chance(30))
        t = "The ";
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            t += chance(25) ? " and " : (chance(30) ? " of " : " ");
        t += pick(kTitleWords, nextRandom());
    }
    if (chance(10)) {
        t += " ";
        t += std::to_string(2 + below(8));
    }
    return t;
}

std::string BookGenerator::date(int fromYear, int toYear) {
    char buf[16];
    int y = fromYear + static_cast<int>(below(static_cast<std::uint64_t>(toYear - fromYear + 1)));
    int m = 1 + static_cast<int>(below(12));
    int d = 1 + static_cast<int>(below(28));
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
    return buf;
}

std::string BookGenerator::money(int maxWhole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu.%02llu",
                  static_cast<unsigned long long>(below(static_cast<std::uint64_t>(maxWhole))),
                  static_cast<unsigned long long>(below(100)));
    return buf;
}

void BookGenerator::next(Book& book) {
    ++serial_;
    book.values.clear();
    book.deleted = chance(2);
    auto put = [&](const char* field, std::string value) {
        book.values.emplace_back(field, std::move(value));
    };

    put("Title", title());
    if (!chance(3))
        put("Author", author());
    if (!chance(5))
        put("YearPub", std::to_string(1800 + below(227)));
    put("Publisher", pick(kPublishers, nextRandom()));
    put("Category", pick(kCategories, nextRandom()));
    if (chance(70))
        put("WherePurch", pick(kWhere, nextRandom()));
    if (!chance(10))
        put("Cost", money(120));
    if (chance(60))
        put("Value", money(400));
    if (chance(40))
        put("Descriptio", "A " + std::string(pick(kTitleWords, nextRandom())) +
                              " story, first edition with notes.");
    if (!chance(15)) {
        char isbn[24];
        std::snprintf(isbn, sizeof isbn, "978-%010llu",
                      static_cast<unsigned long long>(below(10000000000ull)));
        put("ISBN", isbn);
    }
    put("Rating", pick(kRatings, nextRandom()));
    if (!chance(20))
        put("PurchDate", date(1970, 2026));
    put("BookType", pick(kTypes, nextRandom()));
    put("CatalogNum", "C" + std::to_string(serial_));
    bool out = chance(8);
    put("CheckOut", out ? "Yes" : "No");
    if (out) {
        put("CheckDate", date(2020, 2026));
        put("CheckName", pick(kPeople, nextRandom()));
    }
    if (chance(10))
        put("Volume", std::to_string(1 + below(12)));
    if (chance(20))
        put("Edition", chance(50) ? "First" : "Second");
    if (chance(30))
        put("KeyWords",
            std::string(pick(kTitleWords, nextRandom())) + " " + pick(kTitleWords, nextRandom()));
    if (!chance(10))
        put("Pages", std::to_string(40 + below(1200)));
    put("Location", pick(kLocations, nextRandom()));
    put("Condition", pick(kConditions, nextRandom()));
    if (chance(5))
        put("Editor", author());
    if (chance(25)) {
        char dewey[16];
        std::snprintf(dewey, sizeof dewey, "%03llu.%llu",
                      static_cast<unsigned long long>(below(1000)),
                      static_cast<unsigned long long>(below(100)));
        put("Dewey", dewey);
    }
    if (chance(15)) {
        put("LowMarket", money(50));
        put("HighMarket", money(500));
    }
    if (chance(5))
        put("UserDef1", "Signed copy");
}

void appendGeneratedBooks(Table& table, std::uint64_t count, std::uint64_t seed) {
    BookGenerator gen(seed);
    BookGenerator::Book book;
    table.disableControls();
    try {
        Table::Bulk bulk(table); // one sync at the end, not one per book
        for (std::uint64_t i = 0; i < count; ++i) {
            gen.next(book);
            table.insert();
            for (const auto& [field, value] : book.values)
                table.setText(field, value);
            table.post();
            if (book.deleted)
                table.deleteRecord();
        }
        bulk.finish();
    } catch (...) {
        table.enableControls();
        throw;
    }
    table.enableControls();
}

} // namespace shelvix::db
