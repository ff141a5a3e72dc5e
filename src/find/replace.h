#pragma once

#include "app/appcontext.h"
#include "db/displayformats.h"
#include "db/engine/table.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace shelvix::app {
class Databases;
}

namespace shelvix::find {

class Search;
class SearchView;

// What was typed, checked against the field's type.
enum class ReplaceProblem {
    None,
    NoField,
    BadSearchNumber,
    BadReplacementNumber,
    BadSearchDate,
    BadReplacementDate,
    BadReplacementText, // longer than the field, or a character its table cannot hold
};
// The message for a problem (empty for None).
QString replaceProblemText(ReplaceProblem problem);

// The two values of a pass, ready to compare and store. Text is compared
// with ASCII capitals folded, on the whole value.
struct ReplaceValues {
    char type = 'C'; // C, N or D
    QString searchText;
    QString replacementText;
    double searchNumber = 0;
    double replacementNumber = 0;
    db::Date searchDate;
    db::Date replacementDate;
};

// Trims both texts and checks them for a field of `type` and `width`: a
// number must read as a decimal number with a point, a date as a date in the
// current format (a blank mask is no date), a text may be empty.
ReplaceProblem prepareReplace(char type, int width, const QString& search,
                              const QString& replacement, const db::DisplayFormats& formats,
                              ReplaceValues& out);

struct ReplaceCounters {
    int processed = 0; // records visited
    int found = 0;     // records whose value equals the search value
    int changed = 0;   // records changed
};

enum class ReplaceAnswer { Yes, No, Stop };

struct ReplaceHooks {
    // Asked before each change when set; the table is on the record.
    std::function<ReplaceAnswer(db::Table& table, std::uint32_t recno)> confirm;
    // After every counter change.
    std::function<void(const ReplaceCounters&)> counted;
    // Polled between records; true stops the pass where it is.
    std::function<bool()> stopRequested;
};

// The pass over `table` in its current order: the matching records are
// listed first and then changed one by one, so a changed value never moves
// the walk. The changes are bulk work, synced once at the end; each record
// is written whole, so a pass cut short leaves every record old or new.
// Throws DatabaseError when a record cannot be written (the ones before it
// stay changed).
ReplaceCounters runReplacePass(db::Table& table, int field, const ReplaceValues& values,
                               const ReplaceHooks& hooks = {});

// The main window's Search and Replace over the open database: sole use,
// the search in force suspended, record order with the sort tag dropped,
// the pass, then the tag rebuilt, the table reopened shared and the search
// back in force, whatever happened during the pass.
class SearchAndReplace {
public:
    enum class Result { Done, Stopped, InUse, NotStarted, Failed };

    SearchAndReplace(app::AppContext& context, app::Databases& databases, Search& search,
                     SearchView& view)
        : ctx_(context), dbs_(databases), search_(search), view_(view) {}

    // `field` is the book field number. On Failed, `error` holds the
    // engine's message.
    Result run(int field, const ReplaceValues& values, const ReplaceHooks& hooks,
               ReplaceCounters& counters, QString& error);

    static const QString kInUseText;
    static const QString kNotStartedText;
    static const QString kCompleteText;

private:
    void reopen();

    app::AppContext& ctx_;
    app::Databases& dbs_;
    Search& search_;
    SearchView& view_;
};

} // namespace shelvix::find
