#pragma once

#include "db/engine/file.h"
#include "find/criteria.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace shelvix::core {
class Profile;
}
namespace shelvix::db {
struct DatabaseSettings;
}

// Searches kept under a name in a catalogue's settings file, and the two
// built in: the books on loan, and those on loan too long. The window's
// Navigate menu and `shelvix-tool search --saved` both read them.
namespace shelvix::find {

inline const QString kOnLoanName = QStringLiteral("On Loan");
inline const QString kOverdueName = QStringLiteral("Overdue");
inline constexpr int kDefaultLoanPeriod = 28; // days
inline constexpr int kMaxLoanPeriod = 3650;

// Checked Out holds "Yes".
std::vector<SearchItem> onLoanSearch();
// On loan, with a check-out date earlier than `today` less `loanPeriod`
// days. A loan without a date is not overdue: an empty date would read as
// the first day of the scale and pass every "earlier than".
std::vector<SearchItem> overdueSearch(const QDate& today, int loanPeriod);
bool isBuiltInName(const QString& name);

// A search as one line: levels joined by " | ", a level's criteria by "; ",
// each "FIELD OP VALUE" with the field's internal name, OP one of = > <
// contains any, dates as yyyy-mm-dd. A "\" in a value escapes the next
// character. parseSearchText answers nothing (and why) for a text that is
// not such a search.
QString searchText(const std::vector<SearchItem>& items);
std::optional<std::vector<SearchItem>> parseSearchText(const QString& text, QString* why = nullptr);

struct SavedSearch {
    QString name;
    std::vector<SearchItem> items;
    // An entry whose search does not read (edited by hand) keeps its stored
    // text, written back as it was; it can be deleted but not run.
    bool readable = true;
    std::string stored;
};

// The section "Saved Searches" of a catalogue's settings file: the loan
// period and the user's searches, in the order they were first saved.
class SavedSearches {
public:
    static SavedSearches read(const core::Profile& ini);
    // Replaces the section, leaving every other one as it was.
    void write(core::Profile& ini) const;

    // A missing file holds none.
    static SavedSearches load(const QString& settingsFile);
    // Into the settings file, keeping the rest of it. When the file does not
    // exist yet, `databaseSettings` go in first: a file holding only this
    // section would hide the defaults the catalogue reads until it has one.
    bool save(const QString& settingsFile, const db::DatabaseSettings& databaseSettings,
              QString* error = nullptr, db::FileSystem& fs = db::FileSystem::native()) const;

    const std::vector<SavedSearch>& entries() const { return entries_; }
    QStringList names() const;
    // Names match without regard to case.
    const SavedSearch* find(const QString& name) const;
    // Replaces the search of that name, or adds it at the end.
    void put(const QString& name, const std::vector<SearchItem>& items);
    bool remove(const QString& name);

    int loanPeriod() const { return loanPeriod_; }
    void setLoanPeriod(int days);

    // What the name stands for on `today`: a built-in search, or a saved one
    // that reads; nothing otherwise.
    std::optional<std::vector<SearchItem>> itemsOf(const QString& name, const QDate& today) const;

private:
    std::vector<SavedSearch> entries_;
    int loanPeriod_ = kDefaultLoanPeriod;
};

} // namespace shelvix::find
