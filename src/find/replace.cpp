#include "find/replace.h"

#include "app/databases.h"
#include "core/text.h"
#include "db/engine/error.h"
#include "db/fieldtable.h"
#include "db/sortorder.h"
#include "db/textcodec.h"
#include "find/search.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <vector>

namespace shelvix::find {

const QString SearchAndReplace::kInUseText = QStringLiteral(
    "Search and Replace requires exclusive use of the DBase File.  Make sure that the DBase "
    "File is not in use by another program  or that no other users are running the software or "
    "that no other copies of the software are in use.");
const QString SearchAndReplace::kNotStartedText =
    QStringLiteral("Error in running search and replace.  Search and replace will be aborted.");
const QString SearchAndReplace::kCompleteText =
    QStringLiteral("Global Search and Replace Complete.");

QString replaceProblemText(ReplaceProblem problem) {
    switch (problem) {
    case ReplaceProblem::None:
        return {};
    case ReplaceProblem::NoField:
        return QStringLiteral("No field has been selected.");
    case ReplaceProblem::BadSearchNumber:
        return QStringLiteral("Invalid search value entered.  Please correct.");
    case ReplaceProblem::BadReplacementNumber:
    case ReplaceProblem::BadReplacementText:
        return QStringLiteral("Invalid replacement value entered.  Please correct.");
    case ReplaceProblem::BadSearchDate:
        return QStringLiteral("Invalid search date entered.  Please correct.");
    case ReplaceProblem::BadReplacementDate:
        return QStringLiteral("Invalid replacement date entered.  Please correct.");
    }
    return {};
}

namespace {

std::optional<double> decimalNumber(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok); // C locale: the point is the decimal separator
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<db::Date> typedDate(const QString& text, const db::DisplayFormats& formats) {
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[ /.-]")));
    if (digits.isEmpty()) // a blank mask
        return std::nullopt;
    const QDate d = formats.parseDate(text);
    if (!d.isValid())
        return std::nullopt;
    return db::Date{d.year(), d.month(), d.day()};
}

} // namespace

ReplaceProblem prepareReplace(char type, int width, const QString& search,
                              const QString& replacement, const db::DisplayFormats& formats,
                              ReplaceValues& out) {
    out = ReplaceValues();
    out.type = type == 'F' ? 'N' : type;
    out.searchText = search.trimmed();
    out.replacementText = replacement.trimmed();
    switch (out.type) {
    case 'N': {
        const auto s = decimalNumber(out.searchText);
        if (!s)
            return ReplaceProblem::BadSearchNumber;
        const auto r = decimalNumber(out.replacementText);
        if (!r)
            return ReplaceProblem::BadReplacementNumber;
        out.searchNumber = *s;
        out.replacementNumber = *r;
        return ReplaceProblem::None;
    }
    case 'D': {
        const auto s = typedDate(out.searchText, formats);
        if (!s)
            return ReplaceProblem::BadSearchDate;
        const auto r = typedDate(out.replacementText, formats);
        if (!r)
            return ReplaceProblem::BadReplacementDate;
        out.searchDate = *s;
        out.replacementDate = *r;
        return ReplaceProblem::None;
    }
    default:
        // A longer text would be cut when stored: refused rather than cut.
        if (out.replacementText.size() > width)
            return ReplaceProblem::BadReplacementText;
        return ReplaceProblem::None;
    }
}

ReplaceCounters runReplacePass(db::Table& table, int field, const ReplaceValues& values,
                               const ReplaceHooks& hooks) {
    ReplaceCounters n;
    const auto counted = [&] {
        if (hooks.counted)
            hooks.counted(n);
    };
    const auto stop = [&] { return hooks.stopRequested && hooks.stopRequested(); };

    const core::CodePage cp = table.codePage();
    // A search text the table cannot hold matches nothing; a replacement it
    // cannot hold is refused before anything is written.
    const auto searched = db::encodeField(values.searchText, cp);
    const bool searchable = searched.has_value();
    std::string search = searched.value_or(std::string());
    std::string replacement;
    if (values.type == 'C') {
        if (auto bytes = db::encodeField(values.replacementText, cp))
            replacement = std::move(*bytes);
        else
            throw db::DatabaseError("'" + values.replacementText.toStdString() +
                                        "' cannot be stored in this table",
                                    db::DatabaseError::Kind::InvalidValue);
    }
    for (char& c : search)
        c = core::toUpperAscii(c);

    const auto matches = [&](const db::RecordView& r) {
        switch (values.type) {
        case 'N': {
            const auto v = r.number(field);
            return v && *v == values.searchNumber;
        }
        case 'D': {
            const auto v = r.date(field);
            return v && *v == values.searchDate;
        }
        default: {
            if (!searchable)
                return false;
            // Most values differ at once: no trimming for them.
            const std::string_view raw = r.raw(field);
            if (!search.empty() && (raw.empty() || core::toUpperAscii(raw[0]) != search[0]))
                return false;
            const std::string_view v = r.text(field);
            if (v.size() != search.size())
                return false;
            for (std::size_t i = 0; i < v.size(); ++i)
                if (core::toUpperAscii(v[i]) != search[i])
                    return false;
            return true;
        }
        }
    };

    // The records to change, listed before any changes.
    std::vector<std::uint32_t> hits;
    bool stopped = false;
    table.scan([&](const db::RecordView& r) {
        if (matches(r))
            hits.push_back(r.recno());
        if (++n.processed % 4096 == 0) {
            counted();
            stopped = stop();
        }
        return stopped;
    });
    counted();
    if (stopped)
        return n;

    const std::string name = table.field(field).name;
    db::Table::Bulk bulk(table);
    for (std::uint32_t recno : hits) {
        if (stop())
            break;
        if (!table.goToRecord(recno))
            continue;
        if (hooks.confirm) {
            const ReplaceAnswer answer = hooks.confirm(table, recno);
            if (answer == ReplaceAnswer::Stop)
                break;
            if (answer == ReplaceAnswer::No) {
                ++n.found;
                counted();
                continue;
            }
        }
        table.edit();
        try {
            switch (values.type) {
            case 'N':
                table.setNumber(name, values.replacementNumber);
                break;
            case 'D':
                table.setDate(name, values.replacementDate);
                break;
            default:
                table.setText(name, replacement);
                break;
            }
            table.post();
        } catch (...) {
            table.cancel();
            throw;
        }
        ++n.found;
        ++n.changed;
        counted();
    }
    bulk.finish();
    return n;
}

void SearchAndReplace::reopen() {
    dbs_.openMyTable(db::OpenMode::Shared);
    view_.SetViewerOptions();
    view_.DisplayCount();
}

SearchAndReplace::Result SearchAndReplace::run(int field, const ReplaceValues& values,
                                               const ReplaceHooks& hooks, ReplaceCounters& counters,
                                               QString& error) {
    counters = ReplaceCounters();
    dbs_.closeMyTable();
    if (app::Databases::DBaseInUse(ctx_.current.current)) {
        reopen();
        return Result::InUse;
    }

    std::unique_ptr<db::Table> sole;
    try {
        sole = db::Table::open(db::toPath(ctx_.current.current), db::OpenMode::Exclusive);
        sole->selectTag("");
        for (const db::TagInfo& tag : sole->tags())
            if (core::equalsNoCase(tag.name, db::kSortTagName))
                sole->deleteTag(tag.name);
    } catch (const db::DatabaseError&) {
        sole.reset();
        reopen();
        return Result::NotStarted;
    }

    const bool searchWasOn = ctx_.SearchOn;
    if (searchWasOn)
        search_.DisableEndSearch();

    Result result = Result::Done;
    try {
        bool stopped = false;
        ReplaceHooks h = hooks;
        h.stopRequested = [&] {
            stopped = stopped || (hooks.stopRequested && hooks.stopRequested());
            return stopped;
        };
        h.confirm = hooks.confirm ? std::function([&](db::Table& t, std::uint32_t recno) {
            const ReplaceAnswer a = hooks.confirm(t, recno);
            stopped = stopped || a == ReplaceAnswer::Stop;
            return a;
        })
                                  : nullptr;
        h.counted = [&](const ReplaceCounters& c) {
            counters = c;
            if (hooks.counted)
                hooks.counted(c);
        };
        runReplacePass(*sole, sole->fieldIndex(db::fieldInfo(field).name), values, h);
        if (stopped)
            result = Result::Stopped;
    } catch (const db::DatabaseError& e) {
        error = db::errorText(e);
        result = Result::Failed;
    }

    // The sort order back, whatever the pass did.
    try {
        ctx_.sortTag = db::applySortTag(*sole, ctx_.sortExpression);
    } catch (const db::DatabaseError& e) {
        ctx_.sortTag.clear();
        if (result != Result::Failed) {
            error = db::errorText(e);
            result = Result::Failed;
        }
    }
    sole.reset();
    if (searchWasOn)
        search_.EnableEndSearch();
    reopen();
    return result;
}

} // namespace shelvix::find
