#include "find/locate.h"

#include "core/text.h"
#include "db/engine/error.h"
#include "db/engine/expr.h"
#include "db/textcodec.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>

namespace shelvix::find {

namespace {

std::uint8_t fold(char c) {
    return db::upperCase(std::uint8_t(c));
}

bool equalFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != std::uint8_t(b[i]))
            return false;
    return true;
}

// Digits and full stops with an optional leading minus, as a number.
std::optional<double> plainNumber(const QString& s) {
    static const QRegularExpression kPlain(QStringLiteral("^-?[0-9.]*[0-9][0-9.]*$"));
    if (!kPlain.match(s).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = s.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

int findField(const db::Table& table, std::string_view name) {
    for (int i = 0; i < table.fieldCount(); ++i)
        if (core::equalsNoCase(table.field(i).name, name))
            return i;
    return -1;
}

} // namespace

LocateMatcher::LocateMatcher(const LocateQuery& query, const db::Table& table,
                             const db::DisplayFormats& formats)
    : field_(table.fieldIndex(query.field)), type_(table.field(field_).type), match_(query.match),
      fold_(!query.caseSensitive), formats_(&formats) {
    const bool numeric = type_ == 'N' || type_ == 'F';
    if (numeric && match_ == TMyLocateMatchType::mtExactMatch) {
        const auto n = plainNumber(query.text);
        never_ = !n;
        number_ = n.value_or(0);
        return;
    }
    const auto bytes = db::encodeField(query.text, table.codePage());
    if (!bytes) {
        never_ = true; // the table cannot hold it, so it occurs nowhere
        return;
    }
    needle_ = *bytes;
    if (fold_)
        for (char& c : needle_)
            c = char(fold(c));
}

bool LocateMatcher::testText(std::string_view v) const {
    const std::string_view s = needle_;
    switch (match_) {
    case TMyLocateMatchType::mtExactMatch:
        return fold_ ? equalFolded(v, s) : v == s;
    case TMyLocateMatchType::mtPartialMatchStart:
        if (s.empty() || v.size() < s.size())
            return false;
        return fold_ ? equalFolded(v.substr(0, s.size()), s) : v.substr(0, s.size()) == s;
    case TMyLocateMatchType::mtPartialMatchAny:
        if (s.empty() || v.size() < s.size())
            return false;
        if (!fold_)
            return v.find(s) != std::string_view::npos;
        for (std::size_t i = 0; i + s.size() <= v.size(); ++i)
            if (fold(v[i]) == std::uint8_t(s[0]) && equalFolded(v.substr(i, s.size()), s))
                return true;
        return false;
    }
    return false;
}

bool LocateMatcher::operator()(const db::RecordView& record) const {
    if (never_)
        return false;
    switch (type_) {
    case 'N':
    case 'F': {
        const auto n = record.number(field_);
        if (match_ == TMyLocateMatchType::mtExactMatch)
            return n && *n == number_;
        return testText(n ? QString::number(*n, 'g', 15).toStdString() : std::string());
    }
    case 'D': {
        const auto d = record.date(field_);
        return testText(d ? formats_->formatDate(QDate(d->year, d->month, d->day)).toStdString()
                          : std::string());
    }
    case 'L': {
        const std::string_view raw = record.raw(field_);
        const bool yes = !raw.empty() && std::strchr("TtYy", raw[0]) != nullptr;
        return testText(yes ? "True" : "False");
    }
    default:
        return testText(record.text(field_));
    }
}

int leadingKeyLength(const db::Table& table, int field, bool& folded) {
    const std::string tagName = table.selectedTag();
    if (tagName.empty() || table.field(field).type != 'C')
        return 0;
    for (const db::TagInfo& tag : table.tags()) {
        if (!core::equalsNoCase(tag.name, tagName))
            continue;
        if (tag.type != db::KeyType::Character || tag.descending || tag.unique ||
            !tag.forExpression.empty())
            return 0;
        // FIELD, UPPER(FIELD), LEFT(FIELD,n) or UPPER(LEFT(FIELD,n)) first.
        static const QRegularExpression kLead(
            QStringLiteral(R"(^(UPPER\()?(LEFT\()?([A-Z0-9_]+)(,([0-9]+)\))?(\))?(\+|$))"),
            QRegularExpression::CaseInsensitiveOption);
        QString expr = db::fromWindows1252(tag.expression);
        expr.remove(u' ');
        const auto m = kLead.match(expr);
        if (!m.hasMatch() || !m.captured(1).isEmpty() != !m.captured(6).isEmpty() ||
            !m.captured(2).isEmpty() != !m.captured(4).isEmpty() ||
            !core::equalsNoCase(m.captured(3).toStdString(), table.field(field).name))
            return 0;
        folded = !m.captured(1).isEmpty();
        int length = table.field(field).length;
        if (!m.captured(5).isEmpty())
            length = std::min(length, m.captured(5).toInt());
        return std::min(length, tag.keyLength);
    }
    return 0;
}

namespace {

// The first record from `from` on (the current one tested too when asked)
// that matches, while the records still lie in the run of keys that begin
// with `prefix`; 0 when none.
std::uint32_t scanRun(db::Table& table, const LocateMatcher& matches, int field,
                      const std::string& prefix, bool folded, bool testCurrent) {
    // < 0 before the run, 0 inside it, > 0 past it.
    const auto place = [&](const db::RecordView& r) {
        const std::string_view raw = r.raw(field);
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            const std::uint8_t c =
                i < raw.size() ? (folded ? fold(raw[i]) : std::uint8_t(raw[i])) : ' ';
            if (c != std::uint8_t(prefix[i]))
                return c < std::uint8_t(prefix[i]) ? -1 : 1;
        }
        return 0;
    };
    if (testCurrent && table.recno()) {
        const db::RecordView r = table.record(table.recno());
        const int p = place(r);
        if (p > 0)
            return 0;
        if (p == 0 && matches(r))
            return table.recno();
    }
    bool past = false;
    const std::uint32_t found = table.scanAfterCurrent([&](const db::RecordView& r) {
        const int p = place(r);
        if (p > 0) {
            past = true;
            return true;
        }
        return p == 0 && matches(r);
    });
    return past ? 0 : found;
}

} // namespace

LocateOutcome locateRecord(db::Table& table, bool fromStart, const LocateQuery& query,
                           const db::DisplayFormats& formats, LocateMethod method) {
    if (table.state() != db::Table::State::Browse)
        table.post();
    const int field = findField(table, query.field);
    if (field < 0)
        return LocateOutcome::NoField;
    const LocateMatcher matches(query, table, formats);

    bool folded = false;
    const int keyLength = method == LocateMethod::Auto ? leadingKeyLength(table, field, folded) : 0;
    std::string needle;
    if (keyLength > 0 && folded != query.caseSensitive &&
        query.match != TMyLocateMatchType::mtPartialMatchAny) {
        // Matches lie in one run of the tag's keys: those that begin with the
        // text (cut to the key), compared as the tag stores them.
        needle =
            db::encodeField(query.text.left(keyLength), table.codePage()).value_or(std::string());
        if (folded)
            for (char& c : needle)
                c = char(fold(c));
    }

    std::uint32_t found = 0;
    if (!needle.empty()) {
        const db::Table::Bookmark mark = table.bookmark();
        int place = -1;
        if (!fromStart && table.recno()) {
            const std::string_view raw = table.record(table.recno()).raw(field);
            for (std::size_t i = 0; i < needle.size() && place == -1; ++i) {
                const std::uint8_t c = i < raw.size() ? (folded ? fold(raw[i]) : raw[i]) : ' ';
                if (c != std::uint8_t(needle[i]))
                    place = c < std::uint8_t(needle[i]) ? -2 : 1;
            }
            if (place == -1)
                place = 0;
        }
        if (!fromStart && place >= 0) {
            found = place > 0 ? 0 : scanRun(table, matches, field, needle, folded, false);
        } else {
            // Seek to the run; the grid hears of the move only if it stays.
            table.disableControls();
            try {
                const std::vector<std::uint8_t> key(needle.begin(), needle.end());
                if (table.findNearestKey(key))
                    found = scanRun(table, matches, field, needle, folded, true);
                if (!found && mark.recno)
                    table.gotoBookmark(mark);
            } catch (...) {
                if (mark.recno)
                    table.gotoBookmark(mark);
                table.enableControls();
                throw;
            }
            table.enableControls();
        }
    } else if (fromStart) {
        table.scan([&](const db::RecordView& r) {
            if (!matches(r))
                return false;
            found = r.recno();
            return true;
        });
    } else {
        found = table.scanAfterCurrent(matches);
    }
    if (found && found != table.recno())
        table.goToRecord(found);
    return found ? LocateOutcome::Found : LocateOutcome::NotFound;
}

} // namespace shelvix::find
